"""Runs killed at random moments (as a power loss, a closed console or a forced task kill ends
them) while they clean a tree of every variant, each followed by one plain re-run of the same
command. Over all trials: no encrypted content is lost, nothing half-written ever has a real
name, and after the re-run every file is cleaned byte for byte, with nothing left beside the
outputs but their backups. BRISTOKE_KILL_TRIALS and BRISTOKE_KILL_SEED choose other trials."""
import glob
import hashlib
import os
import random
import re
import shutil
import signal
import subprocess
import sys
import time

from harness import ToolTestCase, command, main, wine_env, win_path
from decryption import DEMO_KEY_LIST, WORK_FILE, read
from samples import run_writer

MIB = 1024 * 1024
TRIALS = int(os.environ.get("BRISTOKE_KILL_TRIALS", "20"))
SEED = int(os.environ.get("BRISTOKE_KILL_SEED", "20261210"))
BACKUP = re.compile(r"\.backup_(\d+_)?by_ovix$")
# What each encrypted file carries beside its data: permissions for its owner alone (Wine's
# access list without Everyone) and a last write long ago. Its decrypted file must carry them
# from the moment it has its name.
MODE = 0o600
WRITTEN = 1577963045  # 2020-01-02 11:04:05 UTC
IN_PROGRESS = re.compile(r"\.cleaning_(-?\d+_)?by_ovix$")


def sha(data):
    return hashlib.sha256(data).hexdigest()


class Item:
    """One file of the tree: its encrypted name, what it decrypts to, and, for a file encrypted
    twice, the layer between."""

    def __init__(self, relative, plain, options, twice=None):
        self.relative = relative
        self.plain = plain
        self.options = options
        self.twice = twice
        self.encrypted = None
        self.middle = None

    @property
    def output(self):
        name = os.path.splitext(self.relative)[0]
        return os.path.splitext(name)[0] if self.twice else name


class KillTrialTests(ToolTestCase):
    def make_tree(self, pristine):
        rng = random.Random(SEED)
        items = [
            Item("big.xlsx.BRSK", rng.randbytes(24 * MIB + 3), ["--variant", "1"]),
            Item("docs/mid.doc.QOVE", rng.randbytes(9 * MIB + 5),
                 ["--variant", "3", "--ext", ".QOVE"]),
            Item("video.mp4.QOVY", rng.randbytes(22 * MIB), ["--variant", "4"]),
            Item("docs/db.mdb.K7Q2WZ", rng.randbytes(16 * MIB),
                 ["--variant", "5", "--ext", ".K7Q2WZ", "--factors", "%d,3" % (4 * MIB)]),
            Item("docs/" + "l" * 243 + ".pdf.BRSK", rng.randbytes(3 * MIB), ["--variant", "1"]),
            Item("small.txt.BRSK", rng.randbytes(100), ["--variant", "1"]),
            Item("twice.txt.BRSK.QOVY", rng.randbytes(2 * MIB), ["--variant", "4"],
                 twice=["--variant", "1"]),
        ]
        work = os.path.join(self.tmp, "writer")
        for index, item in enumerate(items):
            source = os.path.join(work, str(index), "plain")
            os.makedirs(os.path.dirname(source))
            with open(source, "wb") as f:
                f.write(item.plain)
            name = os.path.basename(item.relative)
            if item.twice:
                middle = os.path.join(work, str(index), "middle")
                os.makedirs(middle)
                rc, written, err = run_writer(DEMO_KEY_LIST, middle, [source], "--name",
                                              os.path.splitext(name)[0], *item.twice)
                self.assertEqual((rc, len(written)), (0, 1), err)
                [source] = written
                item.middle = read(source)
            target = os.path.join(pristine, os.path.dirname(item.relative))
            os.makedirs(target, exist_ok=True)
            rc, written, err = run_writer(DEMO_KEY_LIST, target, [source], "--name", name,
                                          *item.options)
            self.assertEqual((rc, len(written)), (0, 1), err)
            item.encrypted = read(written[0])
            os.chmod(written[0], MODE)
            os.utime(written[0], (WRITTEN, WRITTEN))
        return items

    def start(self, tree):
        return subprocess.Popen(command(self.exe, win_path(tree)), cwd=self.cwd,
                                stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                                stderr=subprocess.DEVNULL, env=wine_env())

    def files(self, tree):
        """{relative path: sha256} of every file in the tree."""
        found = {}
        for directory, _, names in os.walk(tree):
            for name in names:
                path = os.path.join(directory, name)
                found[os.path.relpath(path, tree)] = sha(read(path))
        return found

    def assert_carried(self, tree, relative):
        # Wine writes an access list without Everyone as a mode without rights for others; its
        # group bits follow its own mapping.
        status = os.stat(os.path.join(tree, relative))
        self.assertEqual((status.st_mode & 0o007, int(status.st_mtime)), (0, WRITTEN), relative)

    def check_after_kill(self, tree, items, states):
        found = self.files(tree)
        allowed = {}
        for item in items:
            allowed[item.relative] = sha(item.encrypted)
            allowed[item.output] = sha(item.plain)
            if item.twice:
                allowed[os.path.splitext(item.relative)[0]] = sha(item.middle)
        for path, digest in found.items():
            name = os.path.basename(path)
            if WORK_FILE.search(name) or BACKUP.search(name):
                continue
            self.assertEqual(digest, allowed.get(path), "%s: half-written or foreign" % path)
        for item in items:
            # The encrypted content is under its own name or under a backup name.
            holders = [p for p, d in found.items() if d == sha(item.encrypted)]
            self.assertTrue(holders, "%s: encrypted content lost" % item.relative)
            layers = {sha(item.encrypted)} | ({sha(item.middle)} if item.twice else set())
            if found.get(item.output) == sha(item.plain):
                self.assert_carried(tree, item.output)
                states["cleaned"] += 1
            elif any(IN_PROGRESS.search(p) and d in layers for p, d in found.items()):
                states["interrupted"] += 1
            else:
                states["untouched"] += 1

    def check_after_rerun(self, tree, items):
        found = self.files(tree)
        expected_names = set()
        for item in items:
            self.assertEqual(found.get(item.output), sha(item.plain), item.output)
            self.assert_carried(tree, item.output)
            self.assertNotIn(item.relative, found)
            directory = os.path.dirname(item.relative)
            layers = [item.encrypted] + ([item.middle] if item.twice else [])
            for layer in layers:
                backups = [p for p, d in found.items() if d == sha(layer) and
                           os.path.dirname(p) == directory and BACKUP.search(p)]
                self.assertEqual(len(backups), 1, "%s: backups %s" % (item.relative, backups))
                expected_names.update(backups)
            expected_names.add(item.output)
        self.assertEqual(sorted(found), sorted(expected_names))

    def test_KilledAtRandomMoments_ReRunFinishesEveryFile(self):
        pristine = os.path.join(self.tmp, "pristine")
        items = self.make_tree(pristine)
        tree = os.path.join(self.tmp, "tree")
        self.exe = self.tool_copy()
        rng = random.Random(SEED)

        # A whole run first, for when its walk starts and ends: kills are spread over that
        # time, and a little before it.
        shutil.copytree(pristine, tree)
        began = time.monotonic()
        process = self.start(tree)
        walk = None
        while process.poll() is None:
            logs = glob.glob(os.path.join(self.cwd, "*.log"))
            if walk is None and logs and "Looking for infected files" in read(logs[0]).decode(
                    "utf-16-le", "replace"):
                walk = time.monotonic() - began
            time.sleep(0.01)
        self.assertEqual(process.returncode, 0)
        length = time.monotonic() - began
        self.assertIsNotNone(walk)
        self.check_after_rerun(tree, items)

        states = {"cleaned": 0, "interrupted": 0, "untouched": 0}
        finished_before_kill = 0
        for trial in range(TRIALS):
            shutil.rmtree(tree)
            shutil.copytree(pristine, tree)
            delay = rng.uniform(walk - 0.1, length)
            with self.subTest(trial=trial, delay=round(delay, 3)):
                process = self.start(tree)
                time.sleep(delay)
                if process.poll() is None:
                    os.kill(process.pid, signal.SIGKILL)
                else:
                    finished_before_kill += 1
                process.wait(timeout=60)
                # Wine lets go of the killed process's objects (its mutex among them).
                time.sleep(0.5)
                self.check_after_kill(tree, items, states)
                rerun = self.start(tree)
                self.assertEqual(rerun.wait(timeout=600), 0)
                self.check_after_rerun(tree, items)
        print("\nkill trials: %d (seed %d), whole run %.2f s with its walk from %.2f s, %d finished "
              "before their kill; "
              "files at the kill: %d cleaned, %d interrupted, %d untouched" %
              (TRIALS, SEED, length, walk, finished_before_kill, states["cleaned"],
               states["interrupted"], states["untouched"]), file=sys.stderr)
        self.assertGreater(states["interrupted"], 0, "no kill landed inside a cleaning")


if __name__ == "__main__":
    main()
