"""The release command is reproducible, and its executables are the ones this suite tests,
stripped. Two clones of the sources in two folders are released one after the other, the
second under another time zone and umask: every file of the two dist/ folders is the same, byte
for byte and in its date. Architectures: BRISTOKE_RELEASE_ARCHS (e2e.release.both, labelled
long, takes both), else the build under test's."""
import filecmp
import os
import re
import subprocess
import tempfile
import time
import unittest
import zipfile

from harness import BUILD, main
from release_runs import PROGRAMS, clone, files, package_name, release, stripped

ARCHS = os.environ.get("BRISTOKE_RELEASE_ARCHS", os.environ.get("BRISTOKE_ARCH", "i686")).split()
ZIPPED = list(PROGRAMS) + ["README.txt"]


class ReleaseTests(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.tmp = tempfile.TemporaryDirectory(prefix="bristoke-release-")
        cls.first = os.path.join(cls.tmp.name, "first")
        cls.second = os.path.join(cls.tmp.name, "elsewhere", "second")
        clone(cls.first)
        cls.first_run = release(cls.first, ARCHS)
        # Zip entries keep two-second times: a stamp of the present would differ.
        time.sleep(2)
        clone(cls.second)
        cls.second_run = release(cls.second, ARCHS, env={"TZ": "Pacific/Kiritimati"},
                                 umask=0o077)
        cls.commit_time = int(subprocess.run(
            ["git", "-C", cls.first, "log", "-1", "--format=%ct"], check=True,
            stdout=subprocess.PIPE, text=True).stdout)

    @classmethod
    def tearDownClass(cls):
        cls.tmp.cleanup()

    def dist(self, checkout, *parts):
        return os.path.join(checkout, "dist", *parts)

    def test_Release_Succeeds_SaysItIsNotSigned(self):
        for run in (self.first_run, self.second_run):
            self.assertEqual(run.returncode, 0, run.stdout)
            self.assertIn("[release] not signed: no certificate given", run.stdout)

    def test_TwoReleases_SameFilesSameBytesSameDates(self):
        names = files(self.dist(self.first))
        self.assertEqual(names, files(self.dist(self.second)))
        expected = {"SHA256SUMS"}
        for arch in ARCHS:
            name = package_name(self.first, arch)
            expected |= {name + ".zip"}
            expected |= {"%s/%s" % (name, f) for f in ZIPPED}
            expected |= {"symbols/%s/%s" % (name, f) for f in PROGRAMS}
        self.assertEqual(set(names), expected)
        for name in names:
            with self.subTest(file=name):
                a, b = self.dist(self.first, name), self.dist(self.second, name)
                self.assertTrue(filecmp.cmp(a, b, shallow=False), "bytes differ")
                self.assertEqual(os.stat(a).st_mtime, self.commit_time)
                self.assertEqual(os.stat(b).st_mtime, self.commit_time)

    def test_Release_NoBuildPathInAnyFile(self):
        for checkout in (self.first, self.second):
            paths = [os.path.abspath(checkout), os.path.abspath(BUILD)]
            needles = [p.encode() for p in paths] + [p.encode("utf-16-le") for p in paths]
            for name in files(self.dist(checkout)):
                with open(self.dist(checkout, name), "rb") as f:
                    data = f.read()
                for needle in needles:
                    self.assertNotIn(needle, data, name)

    def test_Zip_FixedOrderAndTimes_HoldsTheUnpackedFiles(self):
        stamp = time.gmtime(self.commit_time)[:6]
        stamp = stamp[:5] + (stamp[5] // 2 * 2,)  # a zip keeps times to two seconds
        for arch in ARCHS:
            name = package_name(self.first, arch)
            with self.subTest(arch=arch), zipfile.ZipFile(self.dist(self.first, name + ".zip")) as z:
                self.assertEqual(z.namelist(), ZIPPED)
                for entry in z.infolist():
                    self.assertEqual(entry.date_time, stamp)
                    with open(self.dist(self.first, name, entry.filename), "rb") as f:
                        self.assertEqual(z.read(entry), f.read(), entry.filename)

    def test_Checksums_CoverEveryFile_AndHold(self):
        with open(self.dist(self.first, "SHA256SUMS")) as f:
            listed = [line.split("  ", 1)[1] for line in f.read().splitlines()]
        self.assertEqual(listed, [n for n in files(self.dist(self.first)) if n != "SHA256SUMS"])
        check = subprocess.run(["sha256sum", "--check", "--strict", "SHA256SUMS"],
                               cwd=self.dist(self.first), stdout=subprocess.PIPE, text=True)
        self.assertEqual(check.returncode, 0, check.stdout)
        self.assertEqual(check.stdout.count(": OK\n"), len(listed))

    def test_Guide_CrLfPlainText_NamesItsRelease(self):
        for arch in ARCHS:
            name = package_name(self.first, arch)
            with self.subTest(arch=arch):
                with open(self.dist(self.first, name, "README.txt"), "rb") as f:
                    data = f.read()
                self.assertTrue(data.isascii())
                self.assertEqual(data.count(b"\n"), data.count(b"\r\n"))
                text = data.decode("ascii")
                self.assertTrue(text.startswith("Bristoke decryptor "), text[:40])
                self.assertIn(name + ".zip", text.splitlines()[0])
                self.assertIn("certutil -hashfile", text)
                self.assertIn("Get-FileHash", text)
                self.assertIn("are not signed", text)
                self.assertNotRegex(text, r"@[A-Z]+@")

    @unittest.skipUnless(os.environ.get("BRISTOKE_ARCH") in ARCHS, "the build under test is "
                         "not released here")
    def test_ReleasedExecutables_AreTheTestedOnesStripped(self):
        arch = os.environ["BRISTOKE_ARCH"]
        name = package_name(self.first, arch)
        for program in PROGRAMS:
            with self.subTest(program=program):
                tested = os.path.join(BUILD, program)
                self.assertTrue(
                    filecmp.cmp(tested, self.dist(self.first, "symbols", name, program),
                                shallow=False),
                    "the release's build differs from the tested build %s: is it up to date, "
                    "with the default key list?" % BUILD)
                out = stripped(tested, arch, self.commit_time, os.path.join(self.tmp.name, program))
                self.assertTrue(filecmp.cmp(out, self.dist(self.first, name, program),
                                            shallow=False))
                self.assertLess(os.path.getsize(out), os.path.getsize(tested))

    def test_Output_ReadsBackEveryExecutable(self):
        output = self.first_run.stdout
        for arch in ARCHS:
            name = package_name(self.first, arch)
            for program in PROGRAMS:
                block = re.search(r"^dist/%s/%s\n((?:  .*\n)+)" % (re.escape(name),
                                                                   re.escape(program)),
                                  output, re.M)
                self.assertIsNotNone(block, "%s/%s is not read back" % (name, program))
                self.assertIn("  OriginalFilename: %s\n" % program, block.group(1))
                self.assertIn("  manifest run level: asInvoker", block.group(1))


if __name__ == "__main__":
    main()
