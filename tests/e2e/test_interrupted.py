"""A run cut off at any moment (a power loss, a closed console, a killed process) leaves the file it
was cleaning under the name that says so, and a plain re-run of the same command finishes it,
whatever name the command gives it. Every state such a run can leave is staged here the way the
tool leaves it; the re-run decrypts again and trusts no file it did not check; a cleaning that
completed is never touched again."""
import glob
import os
import resource
import signal
import subprocess

from harness import main, win_path
from samples import write_blob_list
from decryption import (DecryptionTestCase, backup_name, cleaning_path, leftovers, partial_path,
                        read, run_counter, sections, summary, write)

EARLIER_COUNTER = 77
RESUMING = "INFO: Resuming the cleaning of [%s], interrupted in an earlier run."
STRANDED = ("INFO: File [%s] looks like an interrupted cleaning of [%s] that no key the tool "
            "carries opens; renaming it back to that name restores the state before the run.")


class InterruptedRunTests(DecryptionTestCase):
    def setUp(self):
        super().setUp()
        self.plain_path = self.plain("report.dat", os.urandom(70000))

    def stage(self, directory, name, variant, state):
        """An encrypted file left in a state; returns (encrypted, in progress, output) paths."""
        [encrypted] = self.write_samples(directory, [self.plain_path], "--variant", str(variant),
                                         "--name", name)
        output = os.path.splitext(encrypted)[0]
        in_progress = cleaning_path(encrypted, EARLIER_COUNTER)
        if len(os.path.basename(encrypted)) + len(".cleaning_77_by_ovix") > 255:
            # Too long to carry its whole name: a note beside it keeps the name.
            note = in_progress[:-len(".cleaning_77_by_ovix")] + ".name_77_by_ovix"
            write(note, os.path.basename(encrypted).encode("utf-16-le"))
        os.rename(encrypted, in_progress)
        if state == "cut while decrypting":
            write(partial_path(encrypted, EARLIER_COUNTER), read(self.plain_path)[:30000])
        elif state == "output in place":
            write(output, read(self.plain_path))
        elif state == "a user's file at the output":
            write(output, b"the user's own")
        else:
            assert state == "moved aside"
        return encrypted, in_progress, output

    def test_EveryStateACutOffRunLeaves_APlainReRunFinishesIt(self):
        # A name near the limit has a short name while it is cleaned, which only its note
        # connects to it.
        names = [("report.dat.BRSK", 1), ("n" * 243 + ".KQZWTB", 5)]
        givens = ["directory", "file", "file with /", "pattern", "its name while cleaned"]
        for state in ("moved aside", "cut while decrypting", "output in place"):
            for name, variant in names:
                for given in givens:
                    if variant == 5 and given in ("file", "file with /", "pattern"):
                        continue  # a shortened name is found by the walk alone
                    with self.subTest(state=state, name=name[-12:], given=given):
                        directory = os.path.join(self.tmp, "%s-%d-%s" % (
                            state.replace(" ", "-"), variant, given.replace(" ", "-")))
                        encrypted, in_progress, output = self.stage(directory, name, variant,
                                                                    state)
                        content = read(in_progress)
                        before = os.stat(output) if state == "output in place" else None
                        argument = {"directory": win_path(directory), "file": win_path(encrypted),
                                    "file with /": win_path(encrypted).replace("\\", "/"),
                                    "pattern": win_path(os.path.join(directory, "*.BRSK")),
                                    "its name while cleaned": win_path(in_progress)}[given]
                        # Messages keep the directory part as it was given.
                        shown = win_path(encrypted)
                        if given == "file with /":
                            shown = win_path(directory).replace("\\", "/") + "\\" + name

                        run = self.run_tool("/s", argument)

                        self.assertEqual(run.rc, 0)
                        self.assertEqual(summary(run), (1, 1))
                        lines = sections(run)[shown]
                        self.assertIn(RESUMING % shown, lines)
                        self.assertEqual(lines[-1], "INFO: Cleaned")
                        backup = os.path.join(directory, backup_name(name, EARLIER_COUNTER))
                        self.assertEqual(read(output), read(self.plain_path))
                        self.assertEqual(read(backup), content)
                        self.assertFalse(os.path.exists(encrypted))
                        self.assertEqual(leftovers(directory), [backup])
                        if before:
                            # The decrypted file was complete: it is compared, not written again.
                            after = os.stat(output)
                            self.assertEqual((after.st_ino, after.st_mtime_ns),
                                             (before.st_ino, before.st_mtime_ns))

    def test_AFileOfTheUsersAtTheOutput_NeverTakenForTheDecryptedOne(self):
        directory = os.path.join(self.tmp, "data")
        encrypted, in_progress, output = self.stage(directory, "report.dat.BRSK", 1,
                                                    "a user's file at the output")
        content = read(in_progress)
        run = self.run_tool("/s", win_path(directory))
        self.assertEqual(summary(run), (1, 0))
        lines = sections(run)[win_path(encrypted)]
        self.assertIn(RESUMING % win_path(encrypted), lines)
        self.assertEqual(lines[-2:], ["INFO: User doesn't allow modification of file [%s]" %
                                      win_path(output), "ERROR: Not cleaned"])
        self.assertEqual(read(output), b"the user's own")
        self.assertEqual(read(encrypted), content)
        self.assertEqual(leftovers(directory), [])

        forced = self.run_tool("/f", win_path(encrypted))
        self.assertEqual(summary(forced), (1, 1))
        kept = output + ".backup_%d_by_ovix" % run_counter(forced)
        self.assertIn("INFO: Replaced file [%s] kept as [%s]" % (win_path(output), win_path(kept)),
                      forced.texts())
        self.assertEqual(read(kept), b"the user's own")
        self.assertEqual(read(output), read(self.plain_path))
        # Every later run that meets the kept file names it again.
        listed = self.run_tool("/n", win_path(directory))
        self.assertIn("INFO: File [%s] keeps what [%s] held before a cleaning replaced it." %
                      (win_path(kept), win_path(output)), listed.texts())

    def test_WhatOnlyLooksLikeTheToolsOwn_NeverTrusted(self):
        # (what, files staged in the folder as {name: content}): none of them is taken up.
        long_name = "n" * 243 + ".pdf.BRSK"
        shortened = backup_name(long_name, EARLIER_COUNTER, "cleaning")
        note = shortened[:-len(".cleaning_77_by_ovix")] + ".name_77_by_ovix"
        cases = [
            ("a user's file under an in-progress name",
             {"notes.txt.cleaning_5_by_ovix": b"the user's notes"}),
            ("a shortened in-progress name whose note names another file",
             {shortened: None, note: "other.pdf.BRSK".encode("utf-16-le")}),
            ("a shortened in-progress name without its note", {shortened: None}),
        ]
        for index, (what, files) in enumerate(cases):
            with self.subTest(what):
                directory = os.path.join(self.tmp, "case-%d" % index)
                [encrypted] = self.write_samples(os.path.join(self.tmp, "made-%d" % index),
                                                 [self.plain_path], "--name", long_name)
                for name, content in files.items():
                    write(os.path.join(directory, name),
                          read(encrypted) if content is None else content)
                before = {n: read(os.path.join(directory, n)) for n in os.listdir(directory)}
                for switches in (["/s"], ["/n"]):
                    run = self.run_tool(*switches, win_path(directory))
                    self.assertEqual(run.rc, 0)
                    self.assertEqual(summary(run), (0, 0))
                    self.assertEqual({n: read(os.path.join(directory, n))
                                      for n in os.listdir(directory)}, before)

    def test_DamagedDataUnderAnInProgressName_NamedAndLeftAsItIs(self):
        # Data whose footer is gone under the in-progress name, and a newer file under the
        # source's name: nothing proves the first the family's, so no run takes it up or moves
        # it; every run names it. The newer file has the family's extension: it is tried, and
        # goes back.
        directory = os.path.join(self.tmp, "data")
        encrypted, in_progress, _ = self.stage(directory, "report.dat.BRSK", 1, "moved aside")
        damaged = read(in_progress)[:1000]
        write(in_progress, damaged)
        write(encrypted, b"a newer file")
        for attempt in range(2):
            with self.subTest(attempt=attempt):
                run = self.run_tool("/s", win_path(directory))
                self.assertEqual(summary(run), (1, 0))
                self.assertNotIn(RESUMING % win_path(encrypted), run.texts())
                self.assertIn("INFO: Left as it is, named like the tool's own files but not proven "
                              "one [%s]" % win_path(in_progress), run.texts())
                lines = sections(run)[win_path(encrypted)]
                verdict = lines.index("ERROR: Not cleaned")
                self.assertEqual(lines[verdict - 1], "INFO: Not valid Bristoke file.")
                self.assertEqual(read(in_progress), damaged)
                self.assertEqual(read(encrypted), b"a newer file")

    def test_KilledWhileCleaningAFileNoKeyOpens_EveryReRunGivesItsVerdictAndTheWayBack(self):
        pem = os.path.join(self.tmp, "foreign.pem")
        subprocess.run(["openssl", "genrsa", "-out", pem, "2048"], check=True,
                       stderr=subprocess.DEVNULL)
        foreign = write_blob_list(os.path.join(self.tmp, "foreign.txt"), [pem])
        for beside in ("nothing", "an empty partial output"):
            with self.subTest(beside=beside):
                directory = os.path.join(self.tmp, beside.replace(" ", "-"))
                [encrypted] = self.write_samples(directory, [self.plain_path], "--name",
                                                 "report.dat.BRSK", key_list=foreign)
                content = read(encrypted)
                in_progress = self.killed_before_decrypting(directory)
                self.assertEqual(read(in_progress), content)
                partial = None
                if beside == "an empty partial output":
                    counter = int(in_progress.rsplit(".cleaning_", 1)[1].split("_")[0])
                    partial = partial_path(encrypted, counter)
                    write(partial, b"")
                for attempt in range(2):
                    run = self.run_tool("/s", win_path(directory))
                    self.assertEqual(run.rc, 2)
                    self.assertEqual(summary(run), (1, 0))
                    tail = [STRANDED % (win_path(in_progress), win_path(encrypted))]
                    if partial and attempt == 0:
                        tail.append("INFO: Removed [%s], left by a cleaning that was cut off."
                                    % win_path(partial))
                    tail.append("ERROR: Not cleaned")
                    self.assertEqual(sections(run)[win_path(encrypted)][-len(tail):], tail)
                    self.assertEqual(read(in_progress), content)
                    self.assertEqual(leftovers(directory), [in_progress])

    def killed_before_decrypting(self, directory):
        """Runs the tool on the folder and kills it once its file (report.dat.BRSK) is under its
        in-progress name, as it looks for a file at its output's name; the in-progress file's
        path."""
        proc, marker, paused = self.start_paused("NtCreateFile:=report.dat", "/s",
                                                 win_path(directory))
        proc.kill()
        proc.wait(timeout=60)
        self.assertTrue(paused, "the run never paused")
        os.remove(marker)
        for log in glob.glob(os.path.join(self.cwd, "*.log")):
            os.remove(log)
        [in_progress] = glob.glob(os.path.join(directory, "*.cleaning_*_by_ovix"))
        return in_progress

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
                # The name given is the backup's now: it names nothing, and the run says so.
                self.assertEqual(run.rc, 2)
                self.assertIn("WARNING: Invalid Path [%s]" % win_path(encrypted), run.texts())
                self.assertEqual(summary(run), (0, 0))
                after = {n: os.stat(os.path.join(directory, n)) for n in os.listdir(directory)}
                self.assertEqual({n: (s.st_ino, s.st_mtime_ns, s.st_ctime_ns)
                                  for n, s in after.items()},
                                 {n: (s.st_ino, s.st_mtime_ns, s.st_ctime_ns)
                                  for n, s in before.items()})

    def test_LogFailsRightAfterTheFileIsMoved_KeptWholeAndTheNextRunFinishesIt(self):
        # The exception that a full log disk raises ends the run as a crash would, once the file
        # has its in-progress name. Two files of equal path length: the first run, without a
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
        in_progress = cleaning_path(paths[1], run_counter(run))
        self.assertEqual(read(in_progress), content)
        self.assertFalse(os.path.exists(os.path.splitext(paths[1])[0]))

        again = self.run_tool("/s", win_path(paths[1]), exe=exe)
        self.assertEqual(summary(again), (1, 1))
        self.assertEqual(read(os.path.splitext(paths[1])[0]), read(self.plain_path))


if __name__ == "__main__":
    main()
