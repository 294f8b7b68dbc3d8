"""What has, or is near, the name a decrypted file is to take: another encrypted file, which is
never replaced; names near the 255-character limit of one name; a directory; a decryption failing
at its last chunk; and files the family encrypted twice, which come back in one run."""
import os

from harness import SEAMED_EXE, main, win_path
from decryption import (HIDDEN, NOT_CLEANED, READONLY, SYSTEM,
                        SmallSampleTestCase, backup_name, file_attributes, leftovers, read,
                        run_counter, sections, set_attributes, summary, write)

QUESTION = "INFO: Do you want to overwrite the following file?"


class EncryptedOutputTests(SmallSampleTestCase):
    def test_OutputNameHeldByAnotherEncryptedFile_NeverReplacedInAnyMode(self):
        # a.BRSK.BRSK would decrypt to a.BRSK, itself encrypted (its only copy, say). Forced
        # and redirected runs answer yes to every question; no question is even asked here.
        other = self.plain("other.dat", os.urandom(300))
        for switches in (["/f"], []):
            with self.subTest(switches=switches):
                directory = os.path.join(self.tmp, "data%s" % "".join(switches).strip("/"))
                twice = self.sample(directory, "a.BRSK.BRSK")
                single = self.sample(directory, "a.BRSK", plain=other)
                contents = {path: read(path) for path in (twice, single)}

                run = self.run_tool(*switches, win_path(twice), win_path(single))

                # The file encrypted twice was not cleaned.
                self.assertEqual(run.rc, 2)
                self.assert_not_cleaned(
                    run, twice, contents[twice],
                    "Can't replace [%s], it is an encrypted file too." % win_path(single))
                # The other one is cleaned on its own turn.
                backup = self.assert_cleaned(run, single, other)
                self.assertEqual(read(backup), contents[single])
                self.assertFalse([t for t in run.texts() if t.startswith(QUESTION)])
                self.assertEqual(summary(run), (2, 1))
                self.assertEqual(sorted(os.listdir(directory)),
                                 sorted(["a", "a.BRSK.BRSK", os.path.basename(backup)]))


class NearTheLimitTests(SmallSampleTestCase):
    def test_NamesOf236To250Characters_CleanedWithBackupNamesThatFit(self):
        directory = os.path.join(self.tmp, "data")
        encrypted = [self.sample(directory, "n" * (length - 5) + ".BRSK")
                     for length in (236, 237, 250)]
        run = self.run_tool("/s", win_path(directory))
        self.assertEqual(run.rc, 0)
        self.assertEqual(summary(run), (3, 3))
        for path in encrypted:
            with self.subTest(length=len(os.path.basename(path))):
                backup = self.assert_cleaned(run, path, self.hundred)
                self.assertLessEqual(len(os.path.basename(backup)), 255)
        self.assertEqual(len(leftovers(directory)), 3)

    def test_ReplacedOutputNearTheLimit_KeptUnderAShortBackupName(self):
        directory = os.path.join(self.tmp, "data")
        encrypted = self.sample(directory, "r" * 245 + ".BRSK")
        output = os.path.splitext(encrypted)[0]
        write(output, b"the user's own file")
        run = self.run_tool("/f", win_path(encrypted))
        self.assertEqual(run.rc, 0)
        self.assert_cleaned(run, encrypted, self.hundred)
        kept = os.path.join(directory, backup_name(os.path.basename(output), run_counter(run)))
        self.assertLess(len(os.path.basename(kept)), len(os.path.basename(output)) + 15)
        self.assertIn("INFO: Replaced file [%s] kept as [%s]" % (win_path(output), win_path(kept)),
                      sections(run)[win_path(encrypted)])
        self.assertEqual(read(kept), b"the user's own file")


class DirectoryOutputTests(SmallSampleTestCase):
    def test_OutputNameIsADirectory_RefusedBeforeDecryptingDirectoryUntouched(self):
        root = os.path.join(self.tmp, "data")
        # (encrypted file, the directory its output name is, or resolves to)
        named = self.sample(root, "x.dat.BRSK")
        os.makedirs(os.path.join(root, "x.dat"))
        write(os.path.join(root, "x.dat", "inside.txt"), b"inside")
        dots = self.sample(os.path.join(root, "sub"), "..BRSK")
        cases = [(named, os.path.join(root, "x.dat")), (dots, os.path.join(root, "sub", "."))]
        for _, directory in cases:
            set_attributes(directory, READONLY | HIDDEN | SYSTEM)
        before = file_attributes(*[d for _, d in cases])
        self.assertEqual([a & (HIDDEN | SYSTEM) for a in before], [HIDDEN | SYSTEM] * 2)
        contents = {path: read(path) for path, _ in cases}

        run = self.run_tool("/f", *[win_path(p) for p, _ in cases])

        # Neither file was cleaned.
        self.assertEqual(run.rc, 2)
        for (path, directory), attributes in zip(cases, before):
            with self.subTest(file=os.path.basename(path)):
                lines = sections(run)[win_path(path)]
                self.assertEqual(lines[-2:], [
                    "INFO: Can't write the decrypted file to [%s], it is a directory." %
                    win_path(path)[:-len(".BRSK")], NOT_CLEANED])
                self.assertEqual(read(path), contents[path])
                self.assertEqual(file_attributes(directory), [attributes])
        self.assertEqual(os.listdir(os.path.join(root, "x.dat")), ["inside.txt"])
        self.assertEqual(sorted(os.listdir(root)), ["sub", "x.dat", "x.dat.BRSK"])
        self.assertEqual(os.listdir(os.path.join(root, "sub")), ["..BRSK"])


class LastChunkTests(SmallSampleTestCase):
    def test_LastAesChunkFails_KeptInFullOnlyOnAPaddingFailure(self):
        # The seamed tool decrypts the last AES chunk, then reports the error given.
        # (error, cleaned)
        cases = [(0x80090005, True), (0x80090020, False), (0x00000006, False)]
        for error, cleaned in cases:
            with self.subTest(error="0x%08x" % error):
                directory = os.path.join(self.tmp, "data-%08x" % error)
                encrypted = self.sample(directory, "report.dat.BRSK")
                salsa = self.sample(directory, "notes.dat.QOVY", "--variant", "4")
                content = read(encrypted)
                run = self.run_tool("--seam-fail-aes-final=%x" % error, "/s",
                                    win_path(encrypted), win_path(salsa),
                                    exe=self.tool_copy(source=SEAMED_EXE))
                self.assertEqual(run.rc, 0 if cleaned else 2)
                self.assert_cleaned(run, salsa, self.hundred)
                if cleaned:
                    self.assert_cleaned(run, encrypted, self.hundred)
                    continue
                # Read while it is cleaned, under the name that says so.
                backup = os.path.join(directory, backup_name("report.dat.BRSK",
                                                             run_counter(run), "cleaning"))
                self.assert_not_cleaned(run, encrypted, content,
                                        "Can't decrypt data of file [%s], GLE(0x%08x)" %
                                        (win_path(backup), error))
                self.assertFalse(os.path.exists(os.path.join(directory, "report.dat")))


class EncryptedTwiceTests(SmallSampleTestCase):
    def test_EncryptedTwice_BothLayersCleanedInOneRunEachKeepingItsBackup(self):
        plain = self.plain("a.doc", os.urandom(5000))
        # (inner variant and extension, outer variant and extension)
        cases = [((1, ".BRSK"), (4, ".QOVY")), ((4, ".QOVY"), (1, ".BRSK")),
                 ((3, ".QOVE"), (5, ".X1Y2Z3"))]
        for inner, outer in cases:
            with self.subTest(layers=inner[1] + outer[1]):
                directory = os.path.join(self.tmp, "data%s%s" % (inner[1], outer[1]))
                scratch = os.path.join(self.tmp, "scratch%s%s" % (inner[1], outer[1]))
                first = self.write_samples(scratch, [plain], "--variant", str(inner[0]),
                                           "--ext", inner[1])[0]
                twice = self.write_samples(directory, [first], "--variant", str(outer[0]),
                                           "--ext", outer[1])[0]
                content = read(twice)

                run = self.run_tool("/s", win_path(directory))

                self.assertEqual(run.rc, 0)
                self.assertEqual(summary(run), (1, 1))
                once = os.path.splitext(twice)[0]
                logged = sections(run)
                self.assertEqual(sorted(logged), sorted([win_path(twice), win_path(once)]))
                self.assertEqual(read(os.path.join(directory, "a.doc")), read(plain))
                counter = run_counter(run)
                self.assertEqual(read(os.path.join(directory, backup_name(
                    os.path.basename(twice), counter))), content)
                self.assertEqual(read(os.path.join(directory, backup_name(
                    os.path.basename(once), counter))), read(first))
                self.assertEqual(len(os.listdir(directory)), 3)


if __name__ == "__main__":
    main()
