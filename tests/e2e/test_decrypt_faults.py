"""Decryption when the file system gets in the way: an existing file at the output name, a full
disk, files held open by another program, a directory that refuses changes and a read-only
encrypted file. Nothing may be lost."""
import os
import subprocess

from harness import main, wine_env, win_path
from decryption import (ARCHIVE, FILE_HELPER, HIDDEN, READONLY,
                        SmallSampleTestCase, backup_suffix, file_attributes, leftovers,
                        partial_path, read, record_path, sections, set_attributes, summary,
                        work_files)

MIB = 1024 * 1024


class ExistingOutputTests(SmallSampleTestCase):
    def test_ExistingOutput_SilentKeepsItForcedAndUnaskedReplaceItKeepingTheOldFile(self):
        # (switches, replaced, who answered); with output redirected the question is printed and
        # answered yes.
        cases = [(["/s"], False, "No (silent mode)"), (["/f"], True, "Yes (forced mode)"),
                 ([], True, "Yes (output redirected)")]
        for switches, replaced, answer in cases:
            with self.subTest(switches=switches):
                directory = os.path.join(self.tmp, "data-%s" % "".join(switches).strip("/"))
                encrypted = self.sample(directory, "report.dat.BRSK")
                output = os.path.join(directory, "report.dat")
                with open(output, "wb") as f:
                    f.write(b"the user's own report")
                # The replaced file's attributes do not stay: the decrypted file has the backup's.
                set_attributes(output, ARCHIVE | READONLY | HIDDEN)
                content = read(encrypted)
                # Given alone: a forced walk of the directory would take the output for a victim.
                run = self.run_tool(*switches, win_path(encrypted))
                self.assertEqual(run.rc, 0)
                self.assertEqual(summary(run), (1, 1 if replaced else 0))
                lines = sections(run)[win_path(encrypted)]
                self.assertIn("INFO: Do you want to overwrite the following file? [%s] %s" %
                              (win_path(output), answer), lines)
                if replaced:
                    self.assert_cleaned(run, encrypted, self.hundred)
                    self.assertEqual(file_attributes(output), [ARCHIVE])
                    # The replaced file is kept, content and attributes, under a backup name.
                    kept = output + backup_suffix(run)
                    self.assertIn("INFO: Replaced file [%s] kept as [%s]" %
                                  (win_path(output), win_path(kept)), lines)
                    self.assertEqual(read(kept), b"the user's own report")
                    self.assertEqual(file_attributes(kept), [ARCHIVE | READONLY | HIDDEN])
                else:
                    self.assert_not_cleaned(
                        run, encrypted, content,
                        "User doesn't allow modification of file [%s]" % win_path(output))
                    self.assertEqual(read(output), b"the user's own report")
                    self.assertEqual(file_attributes(output), [ARCHIVE | READONLY | HIDDEN])
                self.assertEqual("Do you want to overwrite the following file?" in run.stdout,
                                 not switches)
                self.assertEqual(work_files(directory), [])


    def test_ExistingOutput_ReplaceAgreedButDecryptionFails_KeptWithItsAttributes(self):
        directory = os.path.join(self.tmp, "data")
        # A plain size that the data length cannot hold: the footer check refuses the file.
        encrypted = self.sample(directory, "report.dat.BRSK", "--plain-size", "5000")
        output = os.path.join(directory, "report.dat")
        with open(output, "wb") as f:
            f.write(b"the user's own report")
        set_attributes(output, ARCHIVE | READONLY | HIDDEN)
        content = read(encrypted)
        run = self.run_tool("/f", win_path(encrypted))
        self.assertEqual(run.rc, 0)
        self.assert_not_cleaned(run, encrypted, content,
                                "Not valid Bristoke file. Footer doesn't match.")
        self.assertEqual(read(output), b"the user's own report")
        self.assertEqual(file_attributes(output), [ARCHIVE | READONLY | HIDDEN])


class DiskFullTests(SmallSampleTestCase):
    def test_DiskFullDuringDecryption_OutputDeletedEncryptedFileBack(self):
        disk = os.path.join(self.tmp, "disk")
        os.makedirs(disk)
        subprocess.run(["mount", "-t", "tmpfs", "-o", "size=3m", "tmpfs", disk], check=True)
        self.addCleanup(subprocess.run, ["umount", disk], check=True)
        big_plain = self.plain("big.dat", os.urandom(2 * MIB))
        # 2 MiB of data on a 3 MiB disk: its output cannot be written in full.
        big = self.sample(disk, "big.dat.QOVY", "--variant", "4", plain=big_plain)
        small = self.sample(disk, "small.dat.BRSK")
        content = read(big)
        # The log is written elsewhere (the current directory), where there is room.
        run = self.run_tool("/s", win_path(disk))
        self.assertEqual(run.rc, 0)
        partial = win_path(partial_path(big))
        self.assert_not_cleaned(run, big, content, "Can't write data to file [%s]" % partial)
        self.assertFalse(os.path.exists(os.path.join(disk, "big.dat")))
        self.assert_cleaned(run, small, self.hundred)
        self.assertEqual(leftovers(disk), [small + backup_suffix(run)])
        self.assertEqual(summary(run), (2, 1))


class ObstacleTests(SmallSampleTestCase):
    def hold(self, *paths):
        """Another Windows program holds the files open without sharing until the test ends."""
        holder = subprocess.Popen(["wine", FILE_HELPER, "hold"] + [win_path(p) for p in paths],
                                  stdin=subprocess.PIPE, stdout=subprocess.PIPE, env=wine_env())
        self.addCleanup(holder.stdout.close)
        self.addCleanup(holder.wait, 30)
        self.addCleanup(holder.stdin.close)
        self.assertEqual(holder.stdout.readline().strip(), b"held")

    def test_HeldFilesImmutableDirectoryReadOnlyFile_ReportedNothingLost(self):
        held = self.sample(os.path.join(self.tmp, "held"), "held.dat.BRSK")
        output_held = self.sample(os.path.join(self.tmp, "output-held"), "other.dat.BRSK")
        held_output = os.path.join(self.tmp, "output-held", "other.dat")
        with open(held_output, "wb") as f:
            f.write(b"open elsewhere")
        set_attributes(held_output, ARCHIVE | READONLY | HIDDEN)
        locked_dir = os.path.join(self.tmp, "immutable")
        locked = self.sample(locked_dir, "locked.dat.BRSK")
        read_only = self.sample(os.path.join(self.tmp, "read-only"), "read-only.dat.QOVY",
                                "--variant", "4")
        set_attributes(read_only, ARCHIVE | READONLY)
        contents = {path: read(path) for path in (held, output_held, locked)}
        self.hold(held, held_output)
        subprocess.run(["chattr", "+i", locked_dir], check=True)
        self.addCleanup(subprocess.run, ["chattr", "-i", locked_dir], check=True)

        # Forced: the held output is to be replaced without a question. The files are given one
        # by one, so that the forced walk does not take other files for victims.
        run = self.run_tool("/f", *[win_path(p) for p in (held, output_held, locked, read_only)])

        self.assertEqual(run.rc, 0)
        logged = sections(run)
        suffix = backup_suffix(run)
        # (encrypted file, its last log line, which is enough to say why): nothing can be
        # created in the immutable directory, not even the record of the cleaning.
        cases = [
            (held, "INFO: Can't move (backup) file [%s] to [%s], GLE(0x00000020)" %
             (win_path(held), win_path(held + suffix))),
            (locked, "INFO: Can't create file [%s], GLE(0x00000005)" %
             win_path(record_path(locked))),
        ]
        for path, line in cases:
            with self.subTest(file=os.path.basename(path)):
                self.assertEqual(logged[win_path(path)][-1], line)
                self.assertEqual(read(path), contents[path])
                self.assertFalse(os.path.exists(os.path.splitext(path)[0]))
        # The file to be replaced cannot be moved aside while it is held: it stays as it was.
        self.assert_not_cleaned(run, output_held, contents[output_held],
                                "Can't move file [%s] to [%s], GLE(0x00000020)" %
                                (win_path(held_output), win_path(held_output + suffix)))
        self.assertEqual(read(held_output), b"open elsewhere")
        self.assertEqual(file_attributes(held_output), [ARCHIVE | READONLY | HIDDEN])
        self.assert_cleaned(run, read_only, self.hundred)
        output = os.path.splitext(read_only)[0]
        self.assertEqual(file_attributes(output), [ARCHIVE | READONLY])
        self.assertEqual(os.stat(output).st_mode & 0o222, 0)
        self.assertEqual(leftovers(self.tmp), [read_only + suffix])
        self.assertEqual(summary(run), (4, 1))


if __name__ == "__main__":
    main()
