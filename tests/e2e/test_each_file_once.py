"""Each file is listed or cleaned once per run, and counted once, whichever patterns, names and
links lead to it: a file and its in-progress name under one pattern, a name given twice, a folder
and a link to it. A list-only run logs each file's whole path, however narrow the console; only
the console's rows are shortened."""
import itertools
import os

from harness import Run, main, read_log, win_path
from decryption import (NOT_CLEANED, SECTION, DecryptionTestCase, cleaning_path, read, summary,
                        write)
from tmux_console import TmuxConsole

NAME = "report.dat.BRSK"
RESUMING = "INFO: Resuming the cleaning of [%s], interrupted in an earlier run."

# (what, arguments), filled in with {d}: the folder, {l}: a link to it.
CASES = [
    ("a pattern of every name in the folder", ["{d}\\*"]),
    ("a pattern of both names of the file", ["{d}\\%s*" % NAME]),
    ("the file's name twice", ["{d}\\" + NAME, "{d}\\" + NAME]),
    ("a folder and a link to it", ["{d}", "{l}"]),
]


def listed(texts):
    return sorted(t for t in texts if t.startswith("INFO: Skipping ["))


def both_listed(shown):
    """What a list-only run logs of the two files of a blocked staging."""
    return ["INFO: Skipping [%s]..." % shown, "INFO: Skipping [%s]... (interrupted)" % shown]


class EachFileOnceTests(DecryptionTestCase):
    def setUp(self):
        super().setUp()
        plain = self.plain("report.dat", os.urandom(5000))
        [sample] = self.write_samples(os.path.join(self.tmp, "made"), [plain], "--name", NAME)
        self.encrypted = read(sample)

    def stage(self, directory, blocked):
        """A file whose cleaning a run cut off, which no run can finish: a folder has its
        output's name. Where blocked, a newer file of the family's name holds its own name, so
        it cannot go back there either. Returns the file's own name, as the log shows it for
        either file."""
        encrypted = os.path.join(directory, NAME)
        write(cleaning_path(encrypted, 77), self.encrypted)
        os.makedirs(os.path.splitext(encrypted)[0])
        if blocked:
            write(encrypted, b"a newer file")
        return win_path(encrypted)

    def test_EveryWayToAFileTwice_ListedOrCleanedAndCountedOnce(self):
        # Unblocked, a failed cleaning puts the file back under its own name, where the rest of
        # the walk may meet it again.
        for (index, (what, arguments)), (blocked, switch) in itertools.product(
                enumerate(CASES), [(True, "/n"), (True, "/s"), (False, "/s")]):
            with self.subTest(what, blocked=blocked, switch=switch):
                case = os.path.join(self.tmp, "case-%d-%d-%s" % (index, blocked, switch[1]))
                data = os.path.join(case, "data")
                shown = self.stage(data, blocked)
                os.symlink(data, os.path.join(case, "link"))
                files = 2 if blocked else 1
                run = self.run_tool(switch, *[a.format(d=win_path(data),
                                                       l=win_path(case) + "\\link")
                                              for a in arguments])
                # Cleaning runs leave every file not cleaned; listing is no failure.
                self.assertEqual(run.rc, 0 if switch == "/n" else 2)
                self.assertEqual(summary(run), (files, 0))
                texts = run.texts()
                if switch == "/n":
                    self.assertEqual(listed(texts), both_listed(shown))
                    continue
                # One section a file; only the interrupted one is taken up.
                self.assertEqual([t for t in texts if SECTION.match(t)],
                                 ["INFO: Cleaning file [%s]" % shown] * files)
                self.assertEqual(texts.count(RESUMING % shown), 1)
                self.assertEqual(texts.count(NOT_CLEANED), files)

    def test_AnEightyColumnConsole_TheListInTheLogWholeTheCleaningRowsShortened(self):
        data = os.path.join(self.tmp, "a folder whose name alone fills most of a narrow console")
        shown = self.stage(data, True)
        self.assertGreater(len(shown), 80)
        for switch in ("/n", "/s"):
            with self.subTest(switch=switch):
                exe = self.tool_copy()
                # Standard input that is no console answers every prompt: the run ends alone.
                console = TmuxConsole(self, self.tmp, exe, [switch, win_path(data)], width=80,
                                      stdin="/dev/null", cwd=self.cwd)
                self.assertEqual(console.wait_exit(), 0 if switch == "/n" else 2)
                if switch == "/s":
                    row = "Cleaning [%s\\...\\%s]" % (win_path(self.tmp), NAME)
                    self.assertEqual(len([r for r in console.screen().rows
                                          if r.startswith(row)]), 2)
                    continue
                [log] = [n for n in os.listdir(self.cwd)
                         if n.startswith(os.path.basename(exe) + "_")]
                texts = Run(0, "", [read_log(os.path.join(self.cwd, log))]).texts()
                self.assertEqual(listed(texts), both_listed(shown))


if __name__ == "__main__":
    main()
