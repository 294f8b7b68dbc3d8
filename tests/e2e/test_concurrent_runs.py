"""Two copies of the tool under different names (which the single-instance rule does not keep
apart) on one tree: the second starts while the first decrypts a large file, and names that file,
or its folder. One cleaning at a time per file: the second run leaves the file alone with one
line, the first cleans it, and nothing is ever written over a wrong output."""
import filecmp
import glob
import os
import subprocess
import sys
import time

from harness import Run, ToolTestCase, command, main, read_log, wine_env, win_path
from decryption import DEMO_KEY_LIST, leftovers, read, run_counter, summary
from samples import run_writer

MIB = 1024 * 1024
BUSY = "INFO: File [%s] is being cleaned by another run."


class ConcurrentRunTests(ToolTestCase):
    def big_sample(self, folder, mebibytes):
        """A plain file of random bytes and its encryption (variant 1) in folder: their paths
        and the encrypted content."""
        plain_dir = os.path.join(self.tmp, "plain")
        os.makedirs(plain_dir)
        plain = os.path.join(plain_dir, "big.doc")
        with open(plain, "wb") as f:
            for _ in range(mebibytes // 10):
                f.write(os.urandom(10 * MIB))
        os.makedirs(folder)
        rc, [encrypted], err = run_writer(DEMO_KEY_LIST, folder, [plain], "--variant", "1")
        self.assertEqual(rc, 0, err)
        return plain, encrypted, read(encrypted)

    def test_SecondCopyWhileTheFirstDecrypts_OneCleaningNothingWrong(self):
        plain, encrypted, content = self.big_sample(os.path.join(self.tmp, "pristine"), 300)
        first_exe = self.tool_copy("BristokeDecryptor.exe")
        second_exe = self.tool_copy("BristokeDecryptor (1).exe")
        # (what the second run names, seconds after the first began decrypting)
        rounds = [("the file", 0.0), ("the file", 0.5), ("the folder", 0.2), ("the file", 1.0)]
        busy = 0
        for index, (given, delay) in enumerate(rounds):
            with self.subTest(round=index, given=given, delay=delay):
                tree = os.path.join(self.tmp, "tree-%d" % index)
                os.makedirs(tree)
                victim = os.path.join(tree, os.path.basename(encrypted))
                with open(victim, "wb") as f:
                    f.write(content)
                first_cwd = os.path.join(self.tmp, "first-%d" % index)
                second_cwd = os.path.join(self.tmp, "second-%d" % index)
                os.makedirs(first_cwd)
                os.makedirs(second_cwd)
                first = subprocess.Popen(command(first_exe, "/s", win_path(tree)), cwd=first_cwd,
                                         stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                                         stderr=subprocess.DEVNULL, env=wine_env())
                self.wait_for_line(first, first_cwd, "INFO: Decrypting [")
                time.sleep(delay)
                argument = victim if given == "the file" else tree
                second = subprocess.run(command(second_exe, "/s", win_path(argument)),
                                        cwd=second_cwd, stdin=subprocess.DEVNULL,
                                        stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                                        env=wine_env(), timeout=300)
                self.assertEqual(first.wait(timeout=300), 0)
                [first_log] = glob.glob(os.path.join(first_cwd, "*.log"))
                [second_log] = glob.glob(os.path.join(second_cwd, "*.log"))
                first_run = Run(first.returncode, "", [read_log(first_log)])
                second_run = Run(second.returncode, "", [read_log(second_log)])
                first_texts = first_run.texts()
                second_texts = second_run.texts()

                output = os.path.splitext(victim)[0]
                self.assertTrue(filecmp.cmp(output, plain, shallow=False))
                self.assertIn("INFO: Cleaned", first_texts)
                self.assertEqual(summary(first_run), (1, 1))
                # The second run met the file while the first held it, or after the first was
                # done with it; either way it wrote nothing.
                self.assertNotIn("INFO: Cleaned", second_texts)
                self.assertNotIn("INFO: Decrypting [%s]" % win_path(victim), second_texts)
                # Its exit code says whether it left the file not cleaned, or was given a name
                # that the first run's cleaning had taken away.
                not_done = [t for t in second_texts
                            if t == "ERROR: Not cleaned" or t.startswith("WARNING: Invalid Path [")]
                self.assertEqual(second.returncode, 2 if not_done else 0, second_texts)
                if BUSY % win_path(victim) in second_texts:
                    busy += 1
                    self.assertEqual(summary(second_run), (1, 0))
                    self.assertEqual(second.returncode, 2)
                backup = victim + ".backup_%d_by_ovix" % run_counter(first_run)
                self.assertEqual(leftovers(tree), [backup])
                self.assertEqual(read(backup), content)
                self.assertFalse(os.path.exists(victim))
        print("\nconcurrent runs: the second met the file being cleaned in %d of %d rounds"
              % (busy, len(rounds)), file=sys.stderr)
        self.assertGreater(busy, 0, "no second run started while the first was cleaning")

    def test_ACutOffCleaningAndANewCopyCleanedAtOnce_NoOutputMixedNothingLost(self):
        # A run cut off left the file under its in-progress name; the encrypted file came back
        # (from a copy); one copy of the tool cleans the folder while another names the
        # in-progress file. Each cleaning writes a partial output of its own, so the output is
        # one of them whole, whichever places it first.
        tree = os.path.join(self.tmp, "tree")
        plain, encrypted, content = self.big_sample(tree, 200)
        in_progress = encrypted + ".cleaning_7_by_ovix"
        with open(in_progress, "wb") as f:
            f.write(content)
        first_cwd = os.path.join(self.tmp, "first")
        second_cwd = os.path.join(self.tmp, "second")
        os.makedirs(first_cwd)
        os.makedirs(second_cwd)
        first = subprocess.Popen(command(self.tool_copy("BristokeDecryptor.exe"), "/s",
                                         win_path(encrypted)),
                                 cwd=first_cwd, stdin=subprocess.DEVNULL,
                                 stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                                 env=wine_env())
        self.wait_for_line(first, first_cwd, "INFO: Decrypting [")
        second = subprocess.run(command(self.tool_copy("BristokeDecryptor (1).exe"), "/s",
                                        win_path(tree)),
                                cwd=second_cwd, stdin=subprocess.DEVNULL,
                                stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                                env=wine_env(), timeout=300)
        self.assertEqual(first.wait(timeout=300), 0)
        # One of the second run's two files was being cleaned by the first.
        self.assertEqual(second.returncode, 2)
        output = os.path.splitext(encrypted)[0]
        self.assertTrue(filecmp.cmp(output, plain, shallow=False))
        cleaned = 0
        for cwd in (first_cwd, second_cwd):
            [log] = glob.glob(os.path.join(cwd, "*.log"))
            cleaned += Run(0, "", [read_log(log)]).texts().count("INFO: Cleaned")
        # Every file left is the output, or the encrypted content under its own name or a
        # backup's: no partial output, no cleaning left half done.
        left = sorted(os.listdir(tree))
        for name in left:
            if name != os.path.basename(output):
                self.assertEqual(read(os.path.join(tree, name)), content, name)
                self.assertRegex(name, r"^big\.doc\.BRSK(\.backup_\d+_by_ovix)?$")
        self.assertEqual(len(left), 3)
        self.assertGreaterEqual(cleaned, 1)

    def wait_for_line(self, process, cwd, head):
        deadline = time.time() + 120
        while time.time() < deadline:
            for log in glob.glob(os.path.join(cwd, "*.log")):
                with open(log, "rb") as f:
                    text = f.read().decode("utf-16-le", "replace")
                if head in text:
                    return
            self.assertIsNone(process.poll(), "the first run ended before it decrypted")
            time.sleep(0.02)
        self.fail("the first run never began decrypting")


if __name__ == "__main__":
    main()
