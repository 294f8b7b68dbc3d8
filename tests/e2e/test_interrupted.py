"""A run cut off at any moment (a power loss, a closed console, a killed process) leaves the file it
was cleaning with the tool's record of the cleaning beside it, and a plain re-run of the same
command finishes it. Every state such a run can leave is staged here the way the tool leaves it;
a cleaning that completed is never touched again; an exception after the backup leaves what a
failure leaves."""
import os
import resource
import signal

from harness import main, win_path
from decryption import (DecryptionTestCase, backup_name, leftovers, partial_path, read,
                        record_path, run_counter, sections, summary, write, write_record)

EARLIER_COUNTER = 77
RESUMING = "INFO: Resuming the cleaning of [%s], interrupted in an earlier run."


class InterruptedRunTests(DecryptionTestCase):
    def setUp(self):
        super().setUp()
        self.plain_path = self.plain("report.dat", os.urandom(70000))

    def stage(self, directory, name, variant, state):
        """An encrypted file left in a state; returns (encrypted, backup, output) paths."""
        [encrypted] = self.write_samples(directory, [self.plain_path], "--variant", str(variant),
                                         "--name", name)
        backup = os.path.join(directory, backup_name(name, EARLIER_COUNTER))
        output = os.path.splitext(encrypted)[0]
        content = read(encrypted)
        if state == "record cut while written":
            write(record_path(encrypted), b"")
            return encrypted, None, output
        write_record(encrypted, backup)
        if state == "record written":
            return encrypted, backup, output
        write(partial_path(encrypted), b"")
        if state == "partial output reserved":
            return encrypted, backup, output
        os.rename(encrypted, backup)
        if state == "backed up":
            return encrypted, backup, output
        if state == "cut while decrypting":
            write(partial_path(encrypted), read(self.plain_path)[:30000])
            return encrypted, backup, output
        assert state == "output in place"
        os.remove(partial_path(encrypted))
        write(output, read(self.plain_path))
        return encrypted, backup, output

    def test_EveryStateACutOffRunLeaves_APlainReRunFinishesIt(self):
        # (state, whether the record is one the re-run takes up)
        states = [("record cut while written", False), ("record written", True),
                  ("partial output reserved", True), ("backed up", True),
                  ("cut while decrypting", True), ("output in place", True)]
        # A name near the limit has a short backup name, which only its record connects to it.
        names = [("report.dat.BRSK", 1), ("n" * 243 + ".KQZWTB", 5)]
        for state, recorded in states:
            for name, variant in names:
                for given in ("directory", "file"):
                    with self.subTest(state=state, name=name[-12:], given=given):
                        directory = os.path.join(self.tmp, "%s-%d-%s" % (
                            state.replace(" ", "-"), variant, given))
                        encrypted, backup, output = self.stage(directory, name, variant, state)
                        content = read(backup if backup and os.path.exists(backup)
                                       else encrypted)
                        before = os.stat(output) if state == "output in place" else None

                        run = self.run_tool("/s", win_path(
                            directory if given == "directory" else encrypted))

                        self.assertEqual(run.rc, 0)
                        self.assertEqual(summary(run), (1, 1))
                        lines = sections(run)[win_path(encrypted)]
                        self.assertEqual(RESUMING % win_path(encrypted) in lines, recorded, lines)
                        self.assertEqual(lines[-1], "INFO: Cleaned")
                        if not recorded:
                            backup = os.path.join(directory, backup_name(name, run_counter(run)))
                        self.assertEqual(read(output), read(self.plain_path))
                        self.assertEqual(read(backup), content)
                        self.assertFalse(os.path.exists(encrypted))
                        self.assertEqual(leftovers(directory), [backup])
                        if before:
                            # The decrypted file was complete: it is not written again.
                            after = os.stat(output)
                            self.assertEqual((after.st_ino, after.st_mtime_ns),
                                             (before.st_ino, before.st_mtime_ns))

    def test_ListOnly_InterruptedFileListedAsSuchNothingChanges(self):
        directory = os.path.join(self.tmp, "data")
        encrypted, backup, _ = self.stage(directory, "report.dat.BRSK", 1, "cut while decrypting")
        other = self.write_samples(directory, [self.plain_path], "--name", "other.dat.BRSK")[0]
        before = {n: read(os.path.join(directory, n)) for n in os.listdir(directory)}
        for given in (directory, encrypted):
            with self.subTest(given=given):
                run = self.run_tool("/n", win_path(given))
                self.assertEqual(run.rc, 0)
                skipped = sorted(t for t in run.texts() if t.startswith("INFO: Skipping ["))
                expected = ["INFO: Skipping [%s]... (interrupted)" % win_path(encrypted)]
                if given == directory:
                    expected = sorted(expected + ["INFO: Skipping [%s]..." % win_path(other)])
                self.assertEqual(skipped, expected)
                self.assertEqual(summary(run), (len(expected), 0))
                self.assertEqual({n: read(os.path.join(directory, n))
                                  for n in os.listdir(directory)}, before)

    def test_CompletedCleaning_NeverTouchedAgain(self):
        directory = os.path.join(self.tmp, "data")
        [encrypted] = self.write_samples(directory, [self.plain_path], "--name", "report.dat.BRSK")
        first = self.run_tool("/s", win_path(directory))
        self.assertEqual(summary(first), (1, 1))
        before = {n: os.stat(os.path.join(directory, n)) for n in os.listdir(directory)}
        for switches in (["/s"], ["/f"], []):
            with self.subTest(switches=switches):
                run = self.run_tool(*switches, win_path(encrypted))
                self.assertEqual(run.rc, 0)
                self.assertEqual(summary(run), (0, 0))
                after = {n: os.stat(os.path.join(directory, n)) for n in os.listdir(directory)}
                self.assertEqual({n: (s.st_ino, s.st_mtime_ns, s.st_ctime_ns)
                                  for n, s in after.items()},
                                 {n: (s.st_ino, s.st_mtime_ns, s.st_ctime_ns)
                                  for n, s in before.items()})

    def test_LogFailsRightAfterTheBackup_FileBackNothingOfTheToolLeft(self):
        # The exception that a full log disk raises unwinds through the cleaning after the file
        # was moved to its backup. Two files of equal path length: the first run, without a
        # limit, shows where the "Decrypting [" line of the second begins in its log.
        exe = self.tool_copy()
        paths = []
        for twin in ("twin-a", "twin-b"):
            directory = os.path.join(self.tmp, twin)
            paths.append(self.write_samples(directory, [self.plain_path], "--name",
                                            "report.dat.BRSK")[0])
        measured = self.run_tool("/s", win_path(paths[0]), exe=exe)
        self.assertEqual(summary(measured), (1, 1))
        text = "\ufeff" + measured.log
        start = text.index("INFO: Decrypting [")
        start = text.rindex("[", 0, start)
        # Half-way into the line's text: every line before it fits, that one does not.
        limit = 2 * (start + 40)

        def limit_log(size=limit):
            signal.signal(signal.SIGXFSZ, signal.SIG_IGN)
            resource.setrlimit(resource.RLIMIT_FSIZE, (size, size))

        content = read(paths[1])
        run = self.run_tool("/s", win_path(paths[1]), exe=exe, preexec=limit_log)

        self.assertEqual(run.rc, 255)
        self.assertIn("Fatal error occured, consult support.", run.stdout)
        self.assertIn("INFO: Cleaning file [%s]" % win_path(paths[1]), run.texts())
        self.assertEqual(run.texts()[-1], "-" * 80)
        self.assertIn("] - INFO: Dec", run.log.rsplit("\r\n", 1)[1])
        self.assertEqual(read(paths[1]), content)
        self.assertEqual(leftovers(os.path.dirname(paths[1])), [])
        self.assertFalse(os.path.exists(os.path.splitext(paths[1])[0]))


if __name__ == "__main__":
    main()
