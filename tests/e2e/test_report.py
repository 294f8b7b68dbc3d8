"""BristokeReport.exe over the logs of a fleet of real runs of the tool (report_fleet.py): the CSV
row by row, the exit code and the console summary, the page as headless Chromium renders it (a
screenshot is kept in build/tests/report/ for a person to look at), and the report's refusals."""
import collections
import csv
import os
import re
import shutil
import subprocess
import tempfile
import types
import unittest

import chromium
from harness import BUILD, command, main, wine_env, win_path
from report_fleet import AWKWARD_FAILING, Fleet, Summary, begin_stamp
from test_import_table import SYSTEM_DLLS, imports
from test_release_matrix import PrivatePrefix
from tmux_console import TmuxConsole

REPORT = os.path.join(BUILD, "BristokeReport.exe")
OUTPUT = os.path.join(BUILD, "tests", "report")
HEADER = ["Machine GUID", "OS", "Product type", "Log file", "Run start", "File", "Outcome",
          "Reason"]
NOTICES = ("warning", "error")
# Chart colours of the page's style sheet, as the screenshot shows them.
COLOURS = {"cleaned": (0x2e, 0x7d, 0x32), "failed": (0xc6, 0x28, 0x28),
           "skipped": (0xef, 0x6c, 0x00), "listed": (0x15, 0x65, 0xc0),
           "interrupted": (0x6a, 0x1b, 0x9a)}
NOT_CLEANED, RUNS_NOT_ENDED, DAMAGED, NOT_LOGS, NO_REPORT = 1, 2, 4, 8, 16


def run_report(*args):
    proc = subprocess.run(command(REPORT, *args), stdin=subprocess.DEVNULL,
                          stdout=subprocess.PIPE, stderr=subprocess.PIPE, env=wine_env(),
                          timeout=300)
    return proc.returncode, proc.stdout.decode("utf-8")


def read_csv(path):
    with open(path, "rb") as f:
        raw = f.read()
    assert raw.startswith(b"\xef\xbb\xbf"), raw[:10]
    return list(csv.reader(raw[3:].decode("utf-8").splitlines(keepends=True)))


def computer_name(log):
    """The name the report gives a log's machine: its "Computer name: " line, else the name of
    the folder it lies in."""
    if log.machine is None:
        return ""
    with open(log.path, "rb") as f:
        text = f.read().decode("utf-16-le", "replace")
    match = re.search(r"\] - INFO: Computer name: ([^\r\n]*)\r\n", text)
    return match.group(1) if match else os.path.basename(os.path.dirname(log.path))


def expected_rows(log):
    """(file rows, sorted; end rows, with a pattern for a run's summary)."""
    if log.machine is None:
        return [], [["", "", "", log.win, "", "", outcome, reason] for outcome, reason in log.ends]
    head = list(log.machine) + [log.win, begin_stamp(log.path)]
    files = sorted(head + list(row) for row in log.files)
    return files, [head + ["", outcome, reason] for outcome, reason in log.ends]


class ReportTests(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.root = tempfile.mkdtemp(prefix="bristoke-report-")
        cls.addClassCleanup(shutil.rmtree, cls.root, ignore_errors=True)
        cls.prefix = PrivatePrefix()
        cls.addClassCleanup(cls.prefix.stop)
        cls.fleet = Fleet(types.SimpleNamespace(addCleanup=cls.addClassCleanup), cls.root,
                          cls.prefix)
        cls.fleet.build()
        shutil.rmtree(OUTPUT, ignore_errors=True)
        os.makedirs(OUTPUT)
        cls.csv = os.path.join(OUTPUT, "fleet.csv")
        cls.page = os.path.join(OUTPUT, "fleet.html")
        cls.rc, cls.stdout = run_report("--csv", win_path(cls.csv), "--html", win_path(cls.page),
                                        win_path(cls.fleet.tree))
        cls.runs = [log for log in cls.fleet.logs if log.machine is not None]

    def assertRowsOfLog(self, log, got):
        files, ends = expected_rows(log)
        self.assertGreaterEqual(len(got), len(ends), got)
        body, tail = got[:len(got) - len(ends)], got[len(got) - len(ends):]
        notices = [row for row in body if row[6] in NOTICES]
        self.assertEqual(sorted(row for row in body if row[6] not in NOTICES), files)
        for row, end in zip(tail, ends):
            if isinstance(end[7], Summary):
                self.assertRegex(row[7], end[7].pattern())
                row = row[:7] + [end[7]]
            self.assertEqual(row, end)
        self.assertEqual(bool(notices), log.notices, notices)
        return notices

    def test_Csv_EveryLogRowByRow(self):
        rows = read_csv(self.csv)
        self.assertEqual(rows[0], ["Computer name"] + HEADER)
        by_log = collections.OrderedDict()
        for row in rows[1:]:
            self.assertEqual(len(row), 1 + len(HEADER), row)
            by_log.setdefault(row[4], []).append(row)
        for log in self.fleet.logs:
            with self.subTest(log=log.path):
                got = by_log.pop(log.win, [])
                self.assertEqual({row[0] for row in got}, {computer_name(log)} if got else set())
                notices = self.assertRowsOfLog(log, [row[1:] for row in got])
                if log.notices:
                    # The missing path the failing run was given.
                    self.assertTrue(any(row[7].startswith("Invalid Path [") for row in notices),
                                    notices)
        self.assertEqual(list(by_log), [])

    def test_ExitCodeAndConsole_EveryKindOfTroubleNamed(self):
        self.assertEqual(self.rc, NOT_CLEANED | RUNS_NOT_ENDED | DAMAGED | NOT_LOGS, self.stdout)
        lines = self.stdout.splitlines()
        states = collections.Counter(log.ends[-1][0] for log in self.runs)
        stopped = len(self.runs) - states["finished"] - states["crashed"] - states["cut off"]
        self.assertIn("Runs: %d (%d finished, %d crashed, %d cut off, %d stopped before their walk)"
                      % (len(self.runs), states["finished"], states["crashed"], states["cut off"],
                         stopped), lines)
        found = sum(log.ends[-1][1].found for log in self.runs)
        cleaned = sum(log.ends[-1][1].cleaned for log in self.runs)
        outcomes = collections.Counter(f[1] for log in self.runs for f in log.files)
        # Files a forced run counted that are none of the family's are not "not cleaned".
        other = outcomes["not the family's"]
        self.assertGreater(other, 0)
        self.assertIn("Infected files: %d found, %d cleaned, %d not cleaned (%d failed, %d skipped,"
                      " %d interrupted, %d listed only)"
                      % (found, cleaned, found - cleaned - other, outcomes["failed"],
                         outcomes["skipped"], outcomes["interrupted"], outcomes["listed"]), lines)
        self.assertIn("Files forced runs counted that are none of the family's: %d" % other, lines)
        self.assertIn("Damaged logs: 1, files that are not logs of the tool: 3", lines)
        # A line as soon as a log that needs a look was read.
        for log in self.fleet.logs:
            state = log.ends[-1][0]
            if state != "finished":
                self.assertIn("  %s: %s" % (state, log.win), lines)
        self.assertEqual(lines[-5:], ["Exit code 15:",
                                      "  1: infected files were not cleaned",
                                      "  2: runs crashed, were cut off or stopped before their walk",
                                      "  4: logs are damaged",
                                      "  8: files are not logs of the tool, or no log was found"])

    def test_Page_InChromium_TotalsEveryMachineAndTheChart(self):
        dom = chromium.dump_dom(self.page)
        self.assertNotIn("<script", dom)
        text, rows = chromium.visible_text(dom)
        totals = {row[0]: row[1] for row in rows if len(row) == 2}
        found = sum(log.ends[-1][1].found for log in self.runs)
        cleaned = sum(log.ends[-1][1].cleaned for log in self.runs)
        machines = {log.machine[0] for log in self.runs}
        self.assertEqual(totals["Machines"], str(len(machines)))
        self.assertEqual(totals["Runs (logs of the tool)"], str(len(self.runs)))
        self.assertEqual(totals["Infected files found"], str(found))
        self.assertEqual(totals["Cleaned"], str(cleaned))
        other = sum(1 for log in self.runs for f in log.files if f[1] == "not the family's")
        self.assertEqual(totals["Not cleaned"], str(found - cleaned - other))
        self.assertEqual(totals["Not the family's (counted by forced runs)"], str(other))
        self.assertEqual(totals["Damaged logs"], "1")
        self.assertEqual(totals["Files that are not logs of the tool"], "3")
        for guid in machines:
            self.assertIn(guid, text)
        # The runs table: a row per run, each with its log file.
        logs = [row[3] for row in rows if len(row) == 12 and row[0] != "Machine"]
        self.assertEqual(sorted(logs), sorted(log.win for log in self.runs))
        # Paths shown as the text they are, whatever characters they hold.
        awkward = next(f[0] for log in self.runs for f in log.files if AWKWARD_FAILING in f[0])
        self.assertIn(awkward, text)
        self.assertIn("Not valid Bristoke file. Footer doesn't match. (2)", text)

        png = os.path.join(OUTPUT, "fleet.png")
        chromium.screenshot(self.page, png, 1400, 2400)
        counts = chromium.png_colours(png)
        for outcome, colour in COLOURS.items():
            with self.subTest(outcome=outcome):
                # Bars, not only the legend's small squares.
                self.assertGreater(counts.get(bytes(colour), 0), 1000)

    def test_OneCleanLog_Exit0AndItsOutputsNotReadAsLogs(self):
        folder = tempfile.mkdtemp(prefix="bristoke-report-one-")
        self.addCleanup(shutil.rmtree, folder, ignore_errors=True)
        shutil.copy(self.fleet.clean_log.path, folder)
        copy = os.path.join(folder, os.path.basename(self.fleet.clean_log.path))
        csv_path = os.path.join(folder, "report.csv")
        rc, stdout = run_report(win_path(folder), "--csv", win_path(csv_path), "--html",
                                win_path(os.path.join(folder, "report.html")))
        self.assertEqual(rc, 0, stdout)
        self.assertIn("  0: every run ended and every infected file was cleaned",
                      stdout.splitlines())
        rows = read_csv(csv_path)
        log = self.fleet.clean_log
        files, ends = expected_rows(log)
        self.assertEqual(len(rows), 1 + len(files) + len(ends))
        self.assertEqual({row[4] for row in rows[1:]}, {win_path(copy)})
        self.assertEqual({row[0] for row in rows[1:]}, {computer_name(log)})

    def test_InAConsole_PathsBeyondAsciiShownAsTheyAre(self):
        folder = tempfile.mkdtemp(prefix="bristoke-report-console-")
        self.addCleanup(shutil.rmtree, folder, ignore_errors=True)
        logs = os.path.join(folder, "r\u00e9sum\u00e9 \u03bb\u00fc")
        os.makedirs(logs)
        killed = next(log for log in self.runs if log.ends[-1][0] == "cut off")
        copy = os.path.join(logs, "cut \u00e9.log")
        shutil.copy(killed.path, copy)
        console = TmuxConsole(self, folder, REPORT, [win_path(logs)], width=160, height=20)
        self.assertEqual(console.wait_exit(), RUNS_NOT_ENDED | NOT_CLEANED)
        screen = console.screen()
        screen.row_with("  cut off: " + win_path(copy))
        screen.row_with("Exit code 3:")

    def test_ImportTable_SystemDllsOnlyNothingWindowsXpLacks(self):
        # The report runs on the administrator's machine, whatever its release.
        table = imports(REPORT)
        self.assertLessEqual(set(table), SYSTEM_DLLS)
        functions = {f for names in table.values() for f in names}
        self.assertIn("FindFirstFileW", functions)  # the listing was read
        with open(os.path.join(os.path.dirname(__file__), "xp_missing_functions.txt")) as f:
            denied = {l.strip() for l in f if l.strip() and not l.startswith("#")}
        self.assertEqual(functions & denied, set())

    def test_CommandLineOrOutputRefused_16(self):
        cases = [
            ("no input", []),
            ("unknown option", ["--pdf", "x.pdf", win_path(self.fleet.tree)]),
            ("output where no file can be made",
             ["--csv", win_path("/sys/report.csv"), win_path(self.fleet.tree)]),
        ]
        for what, args in cases:
            with self.subTest(what=what):
                rc, stdout = run_report(*args)
                self.assertEqual(rc, NO_REPORT, stdout)
        rc, stdout = run_report(win_path(os.path.join(self.root, "no such folder")))
        self.assertEqual(rc, NOT_LOGS, stdout)
        self.assertIn("  not found: " + win_path(os.path.join(self.root, "no such folder")),
                      stdout.splitlines())

    def test_OutputThatWouldHarmAnInput_Refused16EveryInputUnchanged(self):
        folder = tempfile.mkdtemp(prefix="bristoke-report-refused-")
        self.addCleanup(shutil.rmtree, folder, ignore_errors=True)
        logs = os.path.join(folder, "logs")
        shutil.copytree(os.path.dirname(self.fleet.clean_log.path), logs)
        log = os.path.join(logs, os.path.basename(self.fleet.clean_log.path))
        elsewhere = os.path.join(folder, "elsewhere.log")
        shutil.copy(self.fleet.clean_log.path, elsewhere)
        before = {p: open(p, "rb").read() for p in [elsewhere] + [
            os.path.join(d, n) for d, _, names in os.walk(logs) for n in names]}
        same = win_path(os.path.join(folder, "both.out"))
        # (what, arguments): each is refused before anything is read or written.
        cases = [
            ("the CSV is a log given by name", ["--csv", win_path(log), win_path(log)]),
            ("the page is a log under the folder given",
             ["--html", win_path(log), win_path(logs)]),
            ("the CSV is the folder given", ["--csv", win_path(logs), win_path(logs)]),
            ("the CSV is a log that is no input", ["--csv", win_path(elsewhere), win_path(logs)]),
            ("both outputs are one file", ["--csv", same, "--html", same.upper(), win_path(logs)]),
        ]
        for what, args in cases:
            with self.subTest(what):
                rc, stdout = run_report(*args)
                self.assertEqual(rc, NO_REPORT, stdout)
                self.assertIn("BristokeReport: refused: ", stdout)
                self.assertNotIn("Runs: ", stdout)
                for path, content in before.items():
                    with open(path, "rb") as f:
                        self.assertEqual(f.read(), content, path)
                self.assertEqual(sorted(os.listdir(folder)), ["elsewhere.log", "logs"])

    def test_EarlierOutputsInTheTree_PassedOverNotCounted(self):
        folder = tempfile.mkdtemp(prefix="bristoke-report-again-")
        self.addCleanup(shutil.rmtree, folder, ignore_errors=True)
        shutil.copy(self.fleet.clean_log.path, folder)
        first = [win_path(os.path.join(folder, "first.csv")),
                 win_path(os.path.join(folder, "first.html"))]
        rc, stdout = run_report("--csv", first[0], "--html", first[1], win_path(folder))
        self.assertEqual(rc, 0, stdout)
        rc, stdout = run_report("--csv", win_path(os.path.join(folder, "second.csv")),
                                win_path(folder))
        self.assertEqual(rc, 0, stdout)
        lines = stdout.splitlines()
        self.assertIn("  passed over, an earlier report's CSV: " + first[0], lines)
        self.assertIn("  passed over, an earlier report's page: " + first[1], lines)
        # Nothing half-written is left beside the outputs.
        self.assertEqual(sorted(n for n in os.listdir(folder) if not n.endswith(".log")),
                         ["first.csv", "first.html", "second.csv"])


if __name__ == "__main__":
    main()
