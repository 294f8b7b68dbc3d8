"""The states that users, other programs and other runs leave around a file's names, one row
each, end to end under Wine. A row stages a folder, runs the tool on it one or more times, and
after each run compares every file in the folder by its SHA-256, the exit code, the counts, the
last lines of a file's part of the log, and lines the log must hold. The tool touches only what
its content or the cleaning at work proves its own, and every file it counts ends with a verdict
after a line that says what stands in the way."""
import contextlib
import hashlib
import os
import subprocess

from harness import command, immutable, main, wine_env, win_path
from decryption import FILE_HELPER, DecryptionTestCase, backup_name, read, run_counter, \
    sections, summary, write

NAME = "x.doc.BRSK"
OUTPUT = "x.doc"
LONG = "l" * 240 + ".pdf.BRSK"
LONG_OUTPUT = "l" * 240 + ".pdf"
CLEANED = "INFO: Cleaned"
NOT_CLEANED = "ERROR: Not cleaned"
RESUMING = "INFO: Resuming the cleaning of [%s], interrupted in an earlier run."
IN_THE_WAY = "INFO: File [%s] is in the way: move it elsewhere, then run the tool again."
NOT_PROVEN = "INFO: Left as it is, named like the tool's own files but not proven one [%s]"
REMOVED = "INFO: Removed [%s], left by a cleaning that was cut off."
KEPT = "INFO: Encrypted file kept as [%s]"
OPEN_ELSEWHERE = ("INFO: File [%s] is open in another program; it is back under its own name: "
                  "run the tool again once that program has closed it.")
# Counters no run of these tests reaches soon: the names an earlier run of another account or
# a cut-off run left.
EARLIER = 77


def own(name, counter, kind="backup"):
    return backup_name(name, counter, kind)


def note(name, counter):
    """The note beside a shortened in-progress name: its start and tag, a note's marker."""
    cut = own(name, counter, "cleaning")
    return cut[:-len(own("", counter, "cleaning"))] + own("", counter, "name")


def sha(data):
    return hashlib.sha256(data).hexdigest()


class Step:
    """One run on the folder, or on one file of it, and what must hold after it. A name or a
    line may be a function of the row's counters so far (the last is this run's) and of
    p(name), a name's path."""

    def __init__(self, switches, after, found, tails=None, lines=(), targets=("",)):
        self.switches = switches
        self.after = after
        self.found = found
        self.tails = tails or {}
        self.lines = lines
        self.targets = targets


class CleaningStateTests(DecryptionTestCase):
    def setUp(self):
        super().setUp()
        plain = os.urandom(70000)
        path = self.plain("plain.bin", plain)
        made = os.path.join(self.tmp, "made")
        [short] = self.write_samples(made, [path], "--name", NAME)
        [long] = self.write_samples(made, [path], "--name", LONG)
        # What the rows stage and expect, by letter.
        self.contents = {"E": read(short), "L": read(long), "P": plain, "Z": plain[:30000],
                         "U": b"the user's own document", "B": b"an earlier backup",
                         "N": LONG.encode("utf-16-le")}

    def run_row(self, key, staged, steps, hook=None):
        folder = os.path.join(self.tmp, key)
        for name, letter in staged.items():
            write(os.path.join(folder, name), self.contents[letter])
        counters = []
        runs = []
        for step in steps:
            with hook(folder) if hook else contextlib.nullcontext():
                run = self.run_tool(*step.switches, *[win_path(os.path.join(folder, name))
                                                      for name in step.targets])
            counters.append(run_counter(run))
            self.check_step(folder, run, step, counters)
            runs.append(run)
        return runs

    def check_step(self, folder, run, step, counters):
        def resolve(item):
            return item(counters, p) if callable(item) else item

        def p(name):
            return win_path(os.path.join(folder, name))

        # A run that finished says in its exit code whether a file ended not cleaned.
        self.assertEqual(run.rc, 2 if "ERROR: Not cleaned" in run.texts() else 0, run.stdout)
        self.assertEqual(summary(run), step.found)
        self.assertEqual({name: sha(read(os.path.join(folder, name)))
                          for name in os.listdir(folder)},
                         {resolve(name): sha(self.contents[letter])
                          for name, letter in step.after.items()})
        for name, tail in step.tails.items():
            lines = [resolve(line) for line in tail]
            self.assertEqual(sections(run)[p(name)][-len(lines):], lines)
        for line in step.lines:
            self.assertIn(resolve(line), run.texts())

    @contextlib.contextmanager
    def held_shared(self, path):
        """Another program holds the file open to read and write, sharing everything."""
        holder = subprocess.Popen(command(FILE_HELPER, "hold-shared", win_path(path)),
                                  stdin=subprocess.PIPE, stdout=subprocess.PIPE, env=wine_env())
        try:
            self.assertEqual(holder.stdout.readline().strip(), b"held")
            yield
        finally:
            holder.stdin.close()
            holder.stdout.close()
            holder.wait(30)

    def test_1_ACutOffCleaningBesideANewCopyOfItsFile_EachWithItsOwnPartialOutput(self):
        # Taken up first, the cut-off cleaning places the output; the new copy's cleaning,
        # forced, keeps that output aside and places its own.
        in_progress = own(NAME, EARLIER, "cleaning")
        self.run_row("1", {NAME: "E", in_progress: "E"}, [
            Step(["/f"], {OUTPUT: "P", lambda c, p: own(NAME, c[-1]): "E",
                          own(NAME, EARLIER): "E", lambda c, p: own(OUTPUT, c[-1]): "P"},
                 (2, 2), lines=[lambda c, p: KEPT % p(own(NAME, c[-1])),
                                lambda c, p: KEPT % p(own(NAME, EARLIER))],
                 targets=[in_progress, NAME])])

    def test_2_AUsersFileUnderAnInterruptedCleaningsPartialName_NeverWrittenOver(self):
        partial = own(NAME, EARLIER, "partial")
        in_progress = own(NAME, EARLIER, "cleaning")
        refused = [lambda c, p: "INFO: Can't create file [%s], the name is taken." % p(partial),
                   lambda c, p: IN_THE_WAY % p(partial), NOT_CLEANED]
        for switch in ("/s", "/f"):
            self.run_row("2" + switch[1], {in_progress: "E", partial: "U"}, [
                Step([switch], {NAME: "E", partial: "U"}, (1, 0), tails={NAME: refused},
                     targets=[in_progress]),
                # Back under its own name, the file is cleaned with the next run's names.
                Step(["/s"], {OUTPUT: "P", lambda c, p: own(NAME, c[-1]): "E", partial: "U"},
                     (1, 1), tails={NAME: [CLEANED]},
                     lines=[lambda c, p: NOT_PROVEN % p(partial)])])

    def test_3_AUsersPlainFileUnderAnInProgressName_NeverTakesTheFamilysName(self):
        in_progress = own(NAME, 3, "cleaning")
        self.run_row("3", {NAME: "E", in_progress: "U"}, [
            Step(["/s"], {OUTPUT: "P", lambda c, p: own(NAME, c[-1]): "E", in_progress: "U"},
                 (1, 1), tails={NAME: [CLEANED]},
                 lines=[lambda c, p: NOT_PROVEN % p(in_progress)])])

    def test_4_ATakenBackupName_RefusedBeforeAnythingMoves(self):
        # A run of another account meets the same counters: every counter a run may get while
        # this test runs has a backup of that name already.
        base = run_counter(self.run_tool("/s", win_path(os.path.join(self.tmp, "made"))))
        taken = {own(NAME, counter): "B" for counter in range(base + 1, base + 200)}
        self.run_row("4", dict(taken, **{NAME: "E"}), [
            Step(["/s"], dict(taken, **{NAME: "E"}), (1, 0), tails={NAME: [
                lambda c, p: "INFO: Can't get backup filename of file " + p(NAME),
                lambda c, p: IN_THE_WAY % p(own(NAME, c[-1])), NOT_CLEANED]})])
        # A cleaning cut off after its output took its name waits for that name to be free.
        staged = {own(NAME, EARLIER, "cleaning"): "E", own(NAME, EARLIER): "B", OUTPUT: "P"}
        self.run_row("4-resumed", staged, [
            Step(["/s"], staged, (1, 0), tails={NAME: [
                lambda c, p: RESUMING % p(NAME),
                lambda c, p: "INFO: Can't get backup filename of file " + p(NAME),
                lambda c, p: IN_THE_WAY % p(own(NAME, EARLIER)), NOT_CLEANED]})])

    def test_5_AnotherProgramHoldsTheFile_ToldFromAnotherRunAndBackUnderItsName(self):
        folder = os.path.join(self.tmp, "5")
        self.run_row("5", {NAME: "E"}, [
            Step(["/s"], {NAME: "E"}, (1, 0),
                 tails={NAME: [lambda c, p: OPEN_ELSEWHERE % p(NAME), NOT_CLEANED]})],
            hook=lambda _: self.held_shared(os.path.join(folder, NAME)))

    def test_6_EveryRefusalEndsWithItsVerdict(self):
        # Renamed back by hand after a cut: the cut-off run's partial output is no obstacle,
        # and is named.
        partial = own(NAME, EARLIER, "partial")
        self.run_row("6", {NAME: "E", partial: "Z"}, [
            Step(["/s"], {OUTPUT: "P", lambda c, p: own(NAME, c[-1]): "E", partial: "Z"}, (1, 1),
                 tails={NAME: [CLEANED]}, lines=[lambda c, p: NOT_PROVEN % p(partial)])])
        # A long name whose note cannot be written.
        self.run_row("6-note", {LONG: "L"}, [
            Step(["/s"], {LONG: "L"}, (1, 0), tails={LONG: [
                lambda c, p: "INFO: Can't create file [%s], GLE(0x00000005)" % p(note(LONG, c[-1])),
                NOT_CLEANED]})],
            hook=lambda folder: immutable(self, folder))

    def test_7_NameNotesACutOffRunLeft_Removed(self):
        # Left before the first move, and after the last.
        self.run_row("7", {LONG: "L", note(LONG, EARLIER): "N"}, [
            Step(["/s"], {LONG_OUTPUT: "P", lambda c, p: own(LONG, c[-1]): "L"}, (1, 1),
                 lines=[lambda c, p: REMOVED % p(note(LONG, EARLIER))])])
        staged = {LONG_OUTPUT: "P", own(LONG, EARLIER): "L", note(LONG, EARLIER): "N"}
        self.run_row("7-done", staged, [
            Step(["/s"], {LONG_OUTPUT: "P", own(LONG, EARLIER): "L"}, (0, 0),
                 lines=[lambda c, p: REMOVED % p(note(LONG, EARLIER))])])

    def test_8_APatternThatMatchesBothNamesOfAFile_MeetsItOnce(self):
        # Whole paths in a list-only run on an 80-column console: test_each_file_once.py.
        in_progress = own(NAME, EARLIER, "cleaning")
        listed = "INFO: Skipping [%s]... (interrupted)"
        [run] = self.run_row("8", {in_progress: "E"}, [
            Step(["/n"], {in_progress: "E"}, (1, 0), lines=[lambda c, p: listed % p(NAME)],
                 targets=["*"])])
        self.assertEqual(len([t for t in run.texts() if t.startswith("INFO: Skipping [")]), 1)

    def test_9_TheLogNamesEveryFileTheToolLeaves(self):
        # A backup whose name was shortened, and a forced run's word on the tool's own files.
        self.run_row("9", {LONG: "L"}, [
            Step(["/s"], {LONG_OUTPUT: "P", lambda c, p: own(LONG, c[-1]): "L"}, (1, 1),
                 tails={LONG: [lambda c, p: KEPT % p(own(LONG, c[-1])), CLEANED]}),
            Step(["/f"], {LONG_OUTPUT: "P", lambda c, p: own(LONG, c[-2]): "L"}, (2, 0),
                 lines=[lambda c, p: "INFO: Left as it is, a file of the tool's own [%s]" %
                        p(own(LONG, c[-2])),
                        lambda c, p: "INFO: Left as it is, not a file of the family [%s]" %
                        p(LONG_OUTPUT)])])


if __name__ == "__main__":
    main()
