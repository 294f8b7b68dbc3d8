"""Decryption when the file system gets in the way: an existing file at the output name, a full
disk, files held open by another program, a directory that refuses changes and a read-only
encrypted file. Nothing may be lost."""
import os
import re
import resource
import signal
import subprocess

from harness import command, immutable, main, wine_env, win_path
from decryption import (ARCHIVE, FILE_HELPER, HIDDEN, NOT_CLEANED, READONLY,
                        SmallSampleTestCase, backup_suffix, file_attributes, leftovers,
                        partial_path, read, run_counter, sections, set_attributes, summary,
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
                # A file whose output is kept is not cleaned.
                self.assertEqual(run.rc, 0 if replaced else 2)
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
        self.assertEqual(run.rc, 2)
        self.assert_not_cleaned(run, encrypted, content,
                                "Not valid Bristoke file. Footer doesn't match.")
        self.assertEqual(read(output), b"the user's own report")
        self.assertEqual(file_attributes(output), [ARCHIVE | READONLY | HIDDEN])


class SpaceTests(SmallSampleTestCase):
    def small_volume(self, size):
        """A tmpfs of the size, mounted for the test and seen by Windows programs as drive Q:."""
        disk = os.path.join(self.tmp, "disk")
        os.makedirs(disk)
        subprocess.run(["mount", "-t", "tmpfs", "-o", "size=%s" % size, "tmpfs", disk],
                       check=True)
        self.addCleanup(subprocess.run, ["umount", disk], check=True)
        drive = os.path.join(wine_env()["WINEPREFIX"], "dosdevices", "q:")
        os.symlink(disk, drive)
        self.addCleanup(os.remove, drive)
        return disk

    def test_SmallVolume_FirstFileFitsTheNextRefusedBeforeWritingListOnlyWarns(self):
        disk = self.small_volume("4m")
        plain = self.plain("quarter.dat", os.urandom(5 * MIB // 4))
        # Two files of 1.25 MiB on 4 MiB: one decrypted file fits beside them, two do not.
        first, second = [self.sample(disk, name, "--variant", "4", plain=plain)
                         for name in ("a.dat.QOVY", "b.dat.QOVY")]
        sizes = [os.path.getsize(first), os.path.getsize(second)]
        content = read(second)

        def free():
            stat = os.statvfs(disk)
            return stat.f_bavail * stat.f_frsize

        def listing(paths):
            run = self.run_tool("/n", *["Q:\\" + os.path.basename(p) for p in paths])
            self.assertEqual(run.rc, 0)
            texts = run.texts()
            tail = texts[texts.index("INFO: 0 file(s) cleaned.") + 1:]
            total = sum(os.path.getsize(p) for p in paths)
            volume = "Volume [Q:\\]: "
            self.assertEqual(tail[:3], [
                "INFO: Infected files take %d bytes in all." % total,
                "INFO: %s%d bytes of infected files, %d bytes free." % (volume, total, free()),
                "WARNING: %scleaning needs about %d bytes, more than the %d bytes free." %
                (volume, total, free())])
            self.assertIn("%scleaning needs about %d bytes" % (volume, total), run.stdout)
            return total

        listing([first, second])

        run = self.run_tool("/s", "Q:\\a.dat.QOVY", "Q:\\b.dat.QOVY")
        # The second file was refused.
        self.assertEqual(run.rc, 2)
        self.assertEqual(summary(run), (2, 1))
        self.assertEqual(read(os.path.join(disk, "a.dat")), read(plain))
        refused = [t for t in sections(run)["Q:\\b.dat.QOVY"]
                   if t.startswith("INFO: Not enough free space")]
        self.assertEqual(len(refused), 1)
        needed, available = re.fullmatch(
            r"INFO: Not enough free space for \[Q:\\b\.dat\]: (\d+) bytes needed, "
            r"(\d+) bytes free\.", refused[0]).groups()
        self.assertEqual(int(needed), os.path.getsize(plain))
        self.assertLess(int(available), int(needed))
        self.assertEqual(sections(run)["Q:\\b.dat.QOVY"][-1], NOT_CLEANED)
        self.assertEqual(read(second), content)
        self.assertFalse(os.path.exists(os.path.join(disk, "b.dat")))
        self.assertEqual(work_files(disk), [])
        # The file left fits no more than it did: the listing says so again.
        self.assertEqual(listing([second]), sizes[1])

    def test_ListOnly_OneVolumeUnderTwoTexts_OneLineWithTheSumAndItsWarning(self):
        # Z: has a volume GUID in the test prefix. Q:, added while the prefix runs, has neither a
        # GUID nor a serial number: only its text, whose case does not count, ties its roots.
        # It is nearly full: either file fits in what is left, both together do not.
        disk = self.small_volume("4m")
        plain = self.plain("quarter.dat", os.urandom(5 * MIB // 4))
        on_disk = [self.sample(disk, name, "--variant", "4", plain=plain)
                   for name in ("a.dat.QOVY", "b.dat.QOVY")]
        stat = os.statvfs(disk)
        disk_free = stat.f_bavail * stat.f_frsize
        here = [self.sample(os.path.join(self.tmp, "data"), name)
                for name in ("a.dat.BRSK", "b.dat.BRSK")]
        upper = [win_path(p) for p in here]
        lower = ["z" + p[1:] for p in upper]
        # (what, the files, as given, the root shown: the first met, the free space where no
        # other test changes it)
        cases = [
            ("upper case first", here, [upper[0], lower[1]], "Z:\\", None),
            ("lower case first", here, [lower[0], upper[1]], "z:\\", None),
            ("a shortfall spread over both cases of a drive without GUID or serial", on_disk,
             ["Q:\\a.dat.QOVY", "q:\\b.dat.QOVY"], "Q:\\", disk_free),
        ]
        for what, files, given, shown, expected_free in cases:
            with self.subTest(what):
                run = self.run_tool("/n", *given)
                self.assertEqual(run.rc, 0)
                sizes = [os.path.getsize(p) for p in files]
                total = sum(sizes)
                self.assertIn("INFO: Infected files take %d bytes in all." % total, run.texts())
                head = "Volume [%s]: " % shown
                lines = [t for t in run.texts() if "Volume [" in t]
                found = re.fullmatch(r"INFO: %s%d bytes of infected files, (\d+) bytes free\." %
                                     (re.escape(head), total), lines[0] if lines else "")
                self.assertIsNotNone(found, lines)
                if expected_free is None:
                    self.assertEqual(lines, [lines[0]])
                    continue
                self.assertEqual(int(found.group(1)), expected_free)
                self.assertLess(max(sizes), expected_free)
                warning = "%scleaning needs about %d bytes, more than the %d bytes free." % (
                    head, total, expected_free)
                self.assertEqual(lines, [lines[0], "WARNING: " + warning])
                self.assertIn(warning, run.stdout)

    def test_WritesFailPartWay_OutputRemovedEncryptedFileBack(self):
        # The space check passed, but the disk does not take the data after all (another program
        # filled it, say): here the process may write no file beyond 1 MiB.
        def limit_file_size():
            signal.signal(signal.SIGXFSZ, signal.SIG_IGN)
            resource.setrlimit(resource.RLIMIT_FSIZE, (MIB, MIB))

        directory = os.path.join(self.tmp, "data")
        big_plain = self.plain("big.dat", os.urandom(2 * MIB))
        big = self.sample(directory, "big.dat.QOVY", "--variant", "4", plain=big_plain)
        small = self.sample(directory, "small.dat.BRSK")
        content = read(big)
        run = self.run_tool("/s", win_path(big), win_path(small), preexec=limit_file_size)
        self.assertEqual(run.rc, 2)
        partial = win_path(partial_path(big, run_counter(run)))
        self.assert_not_cleaned(run, big, content, "Can't write data to file [%s], GLE(0x0000001f)"
                                % partial)
        self.assertFalse(os.path.exists(os.path.join(directory, "big.dat")))
        self.assert_cleaned(run, small, self.hundred)
        self.assertEqual(leftovers(directory), [small + backup_suffix(run)])
        self.assertEqual(summary(run), (2, 1))


class ObstacleTests(SmallSampleTestCase):
    def hold(self, *paths):
        """Another Windows program holds the files open without sharing until the test ends."""
        holder = subprocess.Popen(command(FILE_HELPER, "hold", *[win_path(p) for p in paths]),
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
        self.enterContext(immutable(self, locked_dir))

        # Forced: the held output is to be replaced without a question. The files are given one
        # by one, so that the forced walk does not take other files for victims.
        run = self.run_tool("/f", *[win_path(p) for p in (held, output_held, locked, read_only)])

        # Files were not cleaned.
        self.assertEqual(run.rc, 2)
        logged = sections(run)
        suffix = backup_suffix(run)
        # (encrypted file, the line that says why, before its verdict): nothing can be renamed
        # in the immutable directory, not even the file that is to be cleaned.
        moving = backup_suffix(run, "cleaning")
        cases = [
            # Held before it moves: whoever holds it is another program, and it keeps its name.
            (held, "INFO: File [%s] is open in another program; it is back under its own name: "
                   "run the tool again once that program has closed it." % win_path(held)),
            (locked, "INFO: Can't move (backup) file [%s] to [%s], GLE(0x00000005)" %
             (win_path(locked), win_path(locked + moving))),
        ]
        for path, line in cases:
            with self.subTest(file=os.path.basename(path)):
                self.assertEqual(logged[win_path(path)][-2:], [line, NOT_CLEANED])
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
