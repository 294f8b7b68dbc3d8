"""Files and directories that appear and vanish while the tool walks and cleans: another process
keeps adding and deleting them. The run ends normally, every file is either cleaned (output and
backup), left as it was, or deleted by the other process, and nothing is left half-written."""
import os
import random
import shutil
import threading

from decryption import CLEANED, backup_suffix, read, work_files
from harness import ToolTestCase, main, win_path
from planting import Planted, assert_cleaned, plant, verdicts

OTHERS = 6000
STABLE = 12


class Churn(threading.Thread):
    """Adds and deletes files (the family's among them) and whole directories until stopped."""

    def __init__(self, directories, samples, seed):
        super().__init__(daemon=True)
        self.directories = directories
        self.samples = samples
        self.rng = random.Random(seed)
        self.stop = threading.Event()
        self.created = {}   # path -> (content, the sample it copies or None)
        self.deleted = set()
        self.operations = 0

    def run(self):
        serial = 0
        while not self.stop.is_set():
            serial += 1
            directory = self.rng.choice(self.directories)
            action = self.rng.random()
            if action < 0.45:
                self.add(directory, serial)
            elif action < 0.85:
                self.delete()
            else:
                self.vanishing_directory(directory, serial)
            self.operations += 1

    def add(self, directory, serial):
        if self.rng.random() < 0.3:
            sample = self.rng.choice(self.samples)
            path = os.path.join(directory, "churn%06d.doc%s" % (
                serial, os.path.splitext(sample.path)[1]))
            content = sample.encrypted
        else:
            sample = None
            path = os.path.join(directory, "churn%06d.%s" % (serial, self.rng.choice(
                ["txt", "jpg", "dat", ""])))
            content = os.urandom(self.rng.choice([0, 100, 1000]))
        with open(path, "wb") as f:
            f.write(content)
        self.created[path] = (content, sample)

    def delete(self):
        alive = [p for p in self.created if p not in self.deleted]
        if not alive:
            return
        path = self.rng.choice(alive)
        try:
            os.remove(path)
            self.deleted.add(path)
        except FileNotFoundError:
            pass  # The tool moved it to its backup name first.

    def vanishing_directory(self, directory, serial):
        # Not the family's files: deleting a directory takes whatever the tool wrote in it.
        path = os.path.join(directory, "gone%06d" % serial)
        os.makedirs(path)
        for n in range(self.rng.randint(1, 20)):
            with open(os.path.join(path, "x%d.txt" % n), "wb") as f:
                f.write(b"x" * self.rng.choice([0, 600]))
        shutil.rmtree(path, ignore_errors=True)


class ChangingTreeTests(ToolTestCase):
    def test_FilesComingAndGoingDuringTheRun_NoCrashNothingLostNothingHalfWritten(self):
        root = os.path.join(self.tmp, "tree")
        directories = [os.path.join(root, "d%02d" % (n // 10), "e%d" % (n % 10))
                       for n in range(30)]
        for index in range(OTHERS):
            directory = directories[index % len(directories)]
            os.makedirs(directory, exist_ok=True)
            with open(os.path.join(directory, "f%05d.txt" % index), "wb") as f:
                f.write(b"y" * (700 if index % 5 == 0 else 0))
        variants = [1, 3, 4, 5]
        extensions = {1: ".BRSK", 3: ".BRSK", 4: ".QOVY", 5: ".w8Rt5e"}
        stable = plant(self.tmp, [
            Planted(os.path.join(directories[(7 * n) % len(directories)], "stable%02d.xls%s" % (
                n, extensions[variants[n % 4]])), os.urandom(900 + n), variants[n % 4])
            for n in range(STABLE)])

        churn = Churn(directories, stable, seed=7)
        churn.start()
        try:
            run = self.run_tool("/s", win_path(root), timeout=900)
        finally:
            churn.stop.set()
            churn.join()
        self.assertGreater(churn.operations, 100, "the tree hardly changed during the run")

        # A file the churn took away or changed while it was being cleaned ends "Not cleaned",
        # and the exit code says so.
        self.assertEqual(run.rc, 2 if "ERROR: Not cleaned" in run.texts() else 0)
        self.assertEqual(run.texts()[-1], "End")
        self.assertFalse([t for t in run.texts() if "Internal error" in t])
        suffix = backup_suffix(run)
        seen = verdicts(run)
        for item in stable:
            self.assertEqual(seen.get(win_path(item.path)), CLEANED, item.path)
        assert_cleaned(self, stable, suffix)
        for path, (content, sample) in sorted(churn.created.items()):
            with self.subTest(path=path):
                output = os.path.splitext(path)[0]
                if os.path.exists(path + suffix):
                    self.assertEqual(read(path + suffix), content)
                    self.assertEqual(read(output), sample.plain)
                    continue
                if os.path.exists(path):
                    # Left as it was: not reached, or refused while it was changing.
                    self.assertEqual(read(path), content)
                else:
                    self.assertIn(path, churn.deleted, "lost")
                self.assertFalse(os.path.exists(output))
        self.assertEqual(work_files(root), [])


if __name__ == "__main__":
    main()
