"""Hostile footers and key databases: thousands of seeded mutations through the tool's own code in
one process (tests/mutation, mutation_runner.exe), and some of the same cases through full runs of
the tool. No case may crash or hang; a file is either cleaned (its backup is the input, untouched)
or refused (the input unchanged and nothing beside it).

BRISTOKE_MUTATION_SEED, BRISTOKE_FOOTER_CASES and BRISTOKE_KEY_CASES choose other cases."""
import os
import shutil
import subprocess
import tempfile

from harness import BUILD, ToolTestCase, command, main, wine_env, win_path
from key_resources import give_resource
from decryption import DEMO_KEY_LIST, backup_suffix, read, work_files
from samples import run_writer

RUNNER = os.path.join(BUILD, "tests", "mutation_runner.exe")
SEED = int(os.environ.get("BRISTOKE_MUTATION_SEED", "1"))
FOOTER_CASES = int(os.environ.get("BRISTOKE_FOOTER_CASES", "2000"))
KEY_CASES = int(os.environ.get("BRISTOKE_KEY_CASES", "3000"))
# The seed samples: (variant, plain size, writer options). Sizes of whole and partial AES
# blocks, empty files, and variant 5 with a leading part, with no part and with all of it.
SEEDS = [(1, 0, []), (1, 1, []), (1, 96, []), (1, 100, ["--key", "1"]), (1, 4103, ["--key", "2"]),
         (3, 100, []), (3, 4096, ["--key", "2"]), (4, 0, []), (4, 100, ["--key", "1"]),
         (4, 3000, []), (5, 100, []), (5, 3000, ["--factors", "10,10", "--key", "1"]),
         (5, 2000, ["--factors", "0,5"])]


def make_seeds(directory, scratch):
    os.makedirs(directory)
    for index, (variant, size, options) in enumerate(SEEDS):
        plain = os.path.join(scratch, "s%d.dat" % index)
        with open(plain, "wb") as f:
            f.write(os.urandom(size))
        rc, written, stderr = run_writer(DEMO_KEY_LIST, directory, [plain], "--variant", str(variant),
                                         *options)
        if rc != 0:
            raise AssertionError("sample writer: " + stderr)


class HostileInputTests(ToolTestCase):
    @classmethod
    def setUpClass(cls):
        cls.samples = tempfile.mkdtemp(prefix="bristoke-seeds-")
        cls.seeds = os.path.join(cls.samples, "seeds")
        make_seeds(cls.seeds, cls.samples)

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.samples, ignore_errors=True)

    def runner(self, *args, timeout=600):
        """Runs mutation_runner; returns its report lines. A crash or a hang names its case."""
        log = os.path.join(self.tmp, "runner-%s.log" % args[0])
        try:
            proc = subprocess.run(command(RUNNER, args[0], win_path(log), *args[1:]), stdout=subprocess.DEVNULL, stderr=subprocess.PIPE,
                                  env=wine_env(), timeout=timeout)
        except subprocess.TimeoutExpired as e:
            lines = (e.stderr or b"").decode("utf-8", "replace").splitlines()
            self.fail("hung (seed %d) after: %s" % (SEED, lines[-1:]))
        lines = proc.stderr.decode("utf-8", "replace").splitlines()
        violations = [line for line in lines if line.startswith("VIOLATION")]
        self.assertEqual(violations[:20], [], "seed %d" % SEED)
        self.assertEqual(proc.returncode, 0,
                         "seed %d, exit code %d after: %s" % (SEED, proc.returncode, lines[-2:]))
        return lines

    def test_MutatedFooters_InProcess_EveryCaseCleanedOrRefusedWithoutATrace(self):
        work = os.path.join(self.tmp, "work")
        os.makedirs(work)
        lines = self.runner("footers", win_path(self.seeds), win_path(work), str(SEED), "0",
                            str(FOOTER_CASES))
        summary = lines[-1].split()
        # footer cases N: A not recognised, B refused, C cleaned, 0 violations
        self.assertEqual(summary[2], "%d:" % FOOTER_CASES, lines[-1])
        not_recognised, refused, cleaned = int(summary[3]), int(summary[6]), int(summary[8])
        # The mutations reach every way a file can go, or they test little.
        self.assertGreater(min(not_recognised, refused, cleaned), FOOTER_CASES // 20, lines[-1])

    def test_MutatedKeyDatabases_InProcess_OnlyUsableKeysAndNoMoreThanRecords(self):
        lines = self.runner("keys", str(SEED), "0", str(KEY_CASES))
        summary = lines[-1].split()
        # key database cases N: K gave keys, 0 violations
        self.assertEqual(summary[3], "%d:" % KEY_CASES, lines[-1])
        self.assertTrue(KEY_CASES // 20 < int(summary[4]) < KEY_CASES, lines[-1])

    def test_MutatedFooters_OneToolRun_EachCleanedOrLeftAsItWas(self):
        cases = os.path.join(self.tmp, "cases")
        os.makedirs(cases)
        self.runner("write-footers", win_path(self.seeds), win_path(cases), str(SEED),
                    str(FOOTER_CASES), "150")
        before = {d: {n: read(os.path.join(cases, d, n)) for n in os.listdir(os.path.join(cases, d))}
                  for d in os.listdir(cases)}
        run = self.run_tool("/s", win_path(cases))
        # Most mutations leave a file that no key opens.
        self.assertEqual(run.rc, 2)
        self.assertEqual(run.texts()[-1], "End")
        cleaned = 0
        for case, files in sorted(before.items()):
            [(name, content)] = files.items()
            after = sorted(os.listdir(os.path.join(cases, case)))
            with self.subTest(case=case, name=name):
                if after == [name]:
                    self.assertEqual(read(os.path.join(cases, case, name)), content)
                    continue
                backups = [n for n in after if n.startswith(name + ".backup_")]
                self.assertEqual(len(after), 2, after)
                self.assertEqual(len(backups), 1, after)
                self.assertEqual(read(os.path.join(cases, case, backups[0])), content)
                cleaned += 1
        self.assertEqual(work_files(cases), [])
        self.assertIn("INFO: %d file(s) cleaned." % cleaned, run.texts())

    def test_MutatedKeyDatabases_ToolRuns_EndWithoutACrashAndLeaveTheFileWhole(self):
        resources = os.path.join(self.tmp, "resources")
        os.makedirs(resources)
        self.runner("write-keys", win_path(resources), str(SEED), str(KEY_CASES), "12")
        # Encrypted under the second key: a database that lost it must leave the file alone.
        sample = os.path.join(self.seeds, "s3.dat.BRSK")
        for name in sorted(os.listdir(resources)):
            with self.subTest(resource=name):
                exe = self.tool_copy()
                give_resource(exe, read(os.path.join(resources, name)))
                directory = os.path.join(self.tmp, "files-" + name)
                os.makedirs(directory)
                shutil.copy(sample, directory)
                run = self.run_tool("/s", win_path(directory), exe=exe)
                self.assertIn(run.rc, (0, 2, 9))
                self.assertEqual(run.texts()[-1], "End")
                left = sorted(os.listdir(directory))
                if len(left) == 1:
                    # Not cleaned, or the keys did not load at all.
                    self.assertIn(run.rc, (2, 9))
                    self.assertEqual(read(os.path.join(directory, left[0])), read(sample))
                else:
                    self.assertEqual(run.rc, 0)
                    self.assertEqual(left, ["s3.dat", os.path.basename(sample) + backup_suffix(run)])
                    self.assertEqual(read(os.path.join(directory, "s3.dat")),
                                     read(os.path.join(self.samples, "s3.dat")))


if __name__ == "__main__":
    main()
