"""BristokeReport.exe over the logs of a fleet of real runs of the tool (report_fleet.py): the
three CSVs row by row, each file's latest word and each machine's state now, the exit code and
the console summary, the page as headless Chromium renders it (screenshots are kept in
build/tests/report/ for a person to look at), 300 machines, and the report's refusals."""
import collections
import csv
import html
import os
import re
import shutil
import subprocess
import tempfile
import types
import unittest
import uuid

import chromium
from harness import BUILD, command, main, wine_env, win_path
from report_fleet import AWKWARD_FAILING, Fleet, begin_stamp, log_text, write_utf16_log
from test_import_table import SYSTEM_DLLS, imports
from test_release_matrix import PrivatePrefix
from tmux_console import TmuxConsole

REPORT = os.path.join(BUILD, "BristokeReport.exe")
OUTPUT = os.path.join(BUILD, "tests", "report")
FILES_HEADER = ["ComputerName", "MachineGuid", "Path", "Outcome", "Reason", "RunStart",
                "LogFile", "Latest"]
RUNS_HEADER = ["ComputerName", "MachineGuid", "RunStart", "LogFile", "OS", "ProductType", "Mode",
               "Forced", "Silent", "State", "ExitCode", "Found", "Cleaned", "NotCleaned",
               "Failed", "Skipped", "Interrupted", "Listed", "NotFamily", "ToolsOwn", "Warnings",
               "Errors", "DamagedLines", "Notes", "ToolVersion", "Architecture", "Site"]
PROBLEMS_HEADER = ["ComputerName", "MachineGuid", "RunStart", "LogFile", "Problem", "Detail"]
NOTICES = ("warning", "error")
CLEANED_NOW = ("cleaned", "not the family's", "the tool's own")
DID_NOTHING = ("usage shown", "another instance running")
# Chart colours of the page's style sheet, as the screenshot shows them.
COLOURS = {"cleaned": (0x2e, 0x7d, 0x32), "failed": (0xc6, 0x28, 0x28),
           "skipped": (0xef, 0x6c, 0x00), "listed": (0x15, 0x65, 0xc0),
           "interrupted": (0x6a, 0x1b, 0x9a)}
NOT_CLEANED, RUNS_NOT_ENDED, DAMAGED, NOT_LOGS, NO_REPORT, NO_LOG = 1, 2, 4, 8, 16, 32
CLEAN = 4  # the need of a machine that needs nothing; lower is worse


def run_report(*args, env=None):
    proc = subprocess.run(command(REPORT, *args), stdin=subprocess.DEVNULL,
                          stdout=subprocess.PIPE, stderr=subprocess.PIPE, env=wine_env(env),
                          timeout=600)
    return proc.returncode, proc.stdout.decode("utf-8")


def tree_bytes(folder):
    """Every file under a folder (links not followed) and its bytes; every folder, as None."""
    found = {}
    for directory, folders, names in os.walk(folder):
        for name in folders:
            found[os.path.join(directory, name)] = None
        for name in names:
            path = os.path.join(directory, name)
            if not os.path.islink(path):
                with open(path, "rb") as f:
                    found[path] = f.read()
    return found


def read_csv(path, header):
    with open(path, "rb") as f:
        raw = f.read()
    assert raw.startswith(b"\xef\xbb\xbf"), raw[:10]
    rows = list(csv.reader(raw[3:].decode("utf-8").splitlines(keepends=True)))
    assert rows[0] == header, rows[0]
    for row in rows:
        assert len(row) == len(header), row
    return rows[1:]


def iso(stamp):
    return stamp.replace(".", "-", 2).replace(" ", "T")


def tool_version(log):
    """The version the banner of a log's run names."""
    return re.search(r"\] - [ #]*Version: ([^\r\n]*?) *\r?\n", log_text(log.path)).group(1)


def build_architecture(log):
    """The build a log's run used, as far as the log tells: only a 32-bit program runs under
    WoW64; a program that does not, on a Windows without a 32-bit edition, is a 64-bit one."""
    text = log_text(log.path)
    wow64 = re.search(r"\] - INFO: WoW64: (\w+)\r?\n", text).group(1)
    if wow64 == "True":
        return "32-bit"
    os_version = tuple(int(n) for n in log.machine[1].split()[0].split("."))
    sixty_four_only = ((log.machine[2] == "Server" and os_version[:2] >= (6, 1)) or
                       (log.machine[2] == "Workstation" and os_version[:2] == (5, 2)) or
                       (log.machine[2] == "Workstation" and os_version[:2] == (10, 0) and
                        os_version[2] >= 22000))
    return "64-bit" if sixty_four_only else ""


def computer_name(log):
    """The name the report gives a log's machine: its "Computer name: " line, else the name of
    the folder it lies in."""
    text = log_text(log.path)
    match = re.search(r"\] - INFO: Computer name: ([^\r\n]*)\r?\n", text)
    return match.group(1) if match else os.path.basename(os.path.dirname(log.path))


class State:
    """What the fleet's logs say now: each file by its machine's latest run that met it, each
    machine by its latest run; the test's own reading of the fleet, to check the report's."""

    def __init__(self, runs, expected=()):
        mentions = collections.defaultdict(list)
        latest_run = {}
        for log in runs:
            machine = (computer_name(log), log.machine[0])
            for path, outcome, _ in log.files:
                mentions[machine + (path.upper(),)].append((log.start, outcome))
            # A run that did nothing stands for its machine only while it has no other.
            key = (log.ends[-1][0] not in DID_NOTHING, log.start)
            if machine not in latest_run or key >= latest_run[machine][0]:
                latest_run[machine] = (key, log)
        latest_run = {machine: log for machine, (_, log) in latest_run.items()}
        self.files = {}
        for key, said in mentions.items():
            last = max(start for start, _ in said)
            outcomes = {outcome for start, outcome in said if start == last}
            assert len(outcomes) == 1, (key, said)  # copies of one run agree
            self.files[key] = outcomes.pop()
        self.machines = {}
        for machine, log in latest_run.items():
            now = collections.Counter(o for k, o in self.files.items() if k[:2] == machine)
            not_cleaned = sum(n for o, n in now.items() if o not in CLEANED_NOW)
            state = log.ends[-1][0]
            need = (0 if state in ("crashed", "cut off") else 2 if now["failed"] else
                    3 if not_cleaned or state != "finished" else CLEAN)
            self.machines[machine] = (need, -not_cleaned)
        # The machines expected that sent no log come right after runs that did not end.
        named = {name.upper() for name, _ in self.machines}
        for name in expected:
            if name.upper() not in named:
                self.machines[(name, "")] = (1, 0)

    def in_need(self):
        """The machines that need action, worst first, as the page must list them."""
        return sorted((m for m, (need, _) in self.machines.items() if need < CLEAN),
                      key=lambda m: (self.machines[m], m))

    def outcomes(self):
        return collections.Counter(self.files.values())


def action_section(dom):
    """The machines of the page's action list, worst first: (name, GUID, id of its line)."""
    guids = dict(re.findall(r'<details id="(m-[0-9a-f]+)"><summary title="([^"]*)">', dom))
    return [(cells[0], html.unescape(guids[ident]), ident)
            for ident, cells in chromium.action_lines(dom)]


def log_name(path):
    """A log's folder and name, as the runs table shows its path."""
    return "\\".join(path.split("\\")[-2:])


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
        cls.runs = [log for log in cls.fleet.logs if log.machine is not None]
        cls.state = State(cls.runs)
        # An earlier report's outputs, left in the tree the administrator collects into.
        earlier = os.path.join(cls.fleet.tree, "site-a", "report of monday")
        run_report("--csv", win_path(earlier), "--html", win_path(earlier + ".html"),
                   win_path(os.path.dirname(cls.fleet.clean_log.path)))
        cls.earlier = [earlier + suffix for suffix in
                       ("-files.csv", "-runs.csv", "-problems.csv", ".html")]
        assert all(os.path.exists(path) for path in cls.earlier), cls.earlier
        shutil.rmtree(OUTPUT, ignore_errors=True)
        os.makedirs(OUTPUT)
        cls.csv = os.path.join(OUTPUT, "fleet")
        cls.page = os.path.join(OUTPUT, "fleet.html")
        cls.rc, cls.stdout = run_report("--csv", win_path(cls.csv), "--html", win_path(cls.page),
                                        win_path(cls.fleet.tree))

    def by_log(self, rows, column):
        grouped = collections.defaultdict(list)
        for row in rows:
            grouped[row[column]].append(row)
        return grouped

    def test_FilesCsv_EveryMentionRowByRowTheLatestMarked(self):
        rows = read_csv(self.csv + "-files.csv", FILES_HEADER)
        got = self.by_log(rows, 6)
        expected = collections.defaultdict(list)
        for log in self.runs:
            name = computer_name(log)
            expected[log.win] += [[name, log.machine[0], path, outcome, reason, iso(log.start),
                                   log.win] for path, outcome, reason in log.files]
        self.assertEqual(sorted(got), sorted(path for path, files in expected.items() if files))
        for path, files in expected.items():
            with self.subTest(log=path):
                self.assertEqual(sorted(row[:7] for row in got[path]), sorted(files))
        # One latest word per file, from its machine's latest run that met it.
        latest = collections.defaultdict(list)
        for row in rows:
            self.assertIn(row[7], ("0", "1"))
            if row[7] == "1":
                latest[(row[0], row[1], row[2].upper())].append(row[3])
        self.assertEqual({key: outcomes for key, outcomes in latest.items()},
                         {key: [outcome] for key, outcome in self.state.files.items()})

    def test_FailedOnly_OneRowPerFileNotCleanedNow(self):
        path = os.path.join(OUTPUT, "failed-only.csv")
        rc, stdout = run_report("--csv-files", win_path(path), "--failed-only",
                                win_path(self.fleet.tree))
        self.assertEqual(rc, self.rc, stdout)
        rows = read_csv(path, FILES_HEADER)
        self.assertEqual(sorted((row[0], row[1], row[2].upper(), row[3]) for row in rows),
                         sorted(key + (outcome,) for key, outcome in self.state.files.items()
                                if outcome not in CLEANED_NOW))
        self.assertEqual({row[7] for row in rows}, {"1"})

    def test_RunsCsv_ARowPerRunWithItsCountsInColumns(self):
        rows = read_csv(self.csv + "-runs.csv", RUNS_HEADER)
        got = sorted(row[:4] + row[9:13] + row[23:] for row in rows)
        expected = []
        for log in self.runs:
            state, summary = log.ends[-1]
            code = "" if summary.exit_code is None else str(summary.exit_code)
            # Every machine's logs lie in a folder of their own, in a site's folder.
            site = os.path.relpath(log.path, self.fleet.tree).split(os.sep)[0]
            expected.append([computer_name(log), log.machine[0], iso(log.start), log.win, state,
                             code, str(summary.found), str(summary.cleaned), summary.notes(),
                             tool_version(log), build_architecture(log), site])
        self.assertEqual(got, sorted(expected))
        by_log = {row[3]: row for row in rows}
        for log in self.runs:
            self.assertEqual(by_log[log.win][4:6], list(log.machine[1:]), log.win)
        # Numbers a spreadsheet sums: found = cleaned + not cleaned + none of the family's + the
        # tool's own.
        for row in rows:
            self.assertEqual(int(row[11]),
                             int(row[12]) + int(row[13]) + int(row[18]) + int(row[19]), row)

    def test_ProblemsCsv_NoticesDamageAndFilesThatAreNoLogs(self):
        rows = read_csv(self.csv + "-problems.csv", PROBLEMS_HEADER)
        got = self.by_log(rows, 3)
        expected = collections.defaultdict(list)
        for log in self.fleet.logs:
            head = (["", "", ""] if log.machine is None else
                    [computer_name(log), log.machine[0], iso(log.start)])
            ends = log.ends if log.machine is None else log.ends[:-1]
            expected[log.win] += [head + [log.win] + list(end) for end in ends]
        for path, problems in expected.items():
            with self.subTest(log=path):
                mine = got.pop(path, [])
                self.assertEqual([row for row in mine if row in problems], problems)
                # Besides them, only the warning and error lines of its runs.
                self.assertEqual({row[4] for row in mine if row not in problems} - set(NOTICES),
                                 set())
        self.assertTrue(any(row[5].startswith("Invalid Path [") for row in rows))
        # The earlier report's outputs are not problems.
        self.assertEqual(list(got), [])

    def test_ExitCodeAndConsole_TheFleetAsItStandsNow(self):
        self.assertEqual(self.rc, NOT_CLEANED | RUNS_NOT_ENDED | DAMAGED | NOT_LOGS, self.stdout)
        lines = self.stdout.splitlines()
        states = collections.Counter(log.ends[-1][0] for log in self.runs)
        stopped = len(self.runs) - states["finished"] - states["crashed"] - states["cut off"]
        self.assertIn("Machines: %d, %d of them need action"
                      % (len(self.state.machines), len(self.state.in_need())), lines)
        self.assertIn("Runs: %d (%d finished, %d crashed, %d cut off, %d stopped before their walk)"
                      % (len(self.runs), states["finished"], states["crashed"], states["cut off"],
                         stopped), lines)
        now = self.state.outcomes()
        self.assertIn("Infected files, each as its latest run left it: %d found, %d cleaned, %d not "
                      "cleaned (%d failed, %d skipped, %d interrupted, %d listed only)"
                      % (len(self.state.files), now["cleaned"],
                         len(self.state.files) - sum(now[o] for o in CLEANED_NOW), now["failed"],
                         now["skipped"], now["interrupted"], now["listed"]), lines)
        for outcome, said in (("not the family's", "none of the family's"),
                              ("the tool's own", "the tool's own")):
            self.assertGreater(now[outcome], 0, outcome)
            self.assertIn("Files forced runs counted that are %s: %d" % (said, now[outcome]),
                          lines)
        self.assertIn("Damaged logs: 1, files that are not logs of the tool: 3", lines)
        # The machines that need action, worst first, one line each.
        at = lines.index("Machines: %d, %d of them need action"
                         % (len(self.state.machines), len(self.state.in_need())))
        self.assertEqual([line.split(": ")[0] for line in lines[at + 1:at + 1 +
                                                                len(self.state.in_need())]],
                         ["  " + name for name, _ in self.state.in_need()])
        self.assertTrue(lines[at + 1 + len(self.state.in_need())].startswith("Runs: "))
        # Lines as the logs are read only for what needs a look now: files that are no readable
        # logs and damaged logs, not runs of the past.
        for log in self.fleet.logs:
            for state, _ in log.ends[:-1] if log.machine else log.ends:
                if state in ("damaged", "empty", "not UTF-16", "not a log of the tool"):
                    self.assertIn("  %s: %s" % (state, log.win), lines)
        self.assertEqual([line for line in lines if line.endswith(tuple(
            log.win for log in self.runs)) and not line.startswith("  damaged: ")], [])
        kinds = ["CSV", "CSV", "CSV", "page"]
        for path, kind in zip(self.earlier, kinds):
            self.assertIn("  passed over, an earlier report's %s: %s" % (kind, win_path(path)),
                          lines)
        self.assertEqual(lines[-5:], [
            "Exit code 15:",
            "  1: infected files were not cleaned by the latest run that met them",
            "  2: machines' latest runs crashed, were cut off or stopped before their walk",
            "  4: logs are damaged",
            "  8: files are not logs of the tool, or no log was found"])

    def test_Page_InChromium_MachinesInNeedFirstThenTotalsAndRuns(self):
        dom = chromium.dump_dom(self.page)
        self.assertNotIn("<script", dom)
        expected = self.state.in_need()
        self.assertEqual([(name, guid) for name, guid, _ in action_section(dom)], expected)
        text, rows = chromium.visible_text(dom)
        totals = {row[0]: row[1] for row in rows if len(row) == 2}
        now = self.state.outcomes()
        self.assertEqual(totals["Machines"], str(len(self.state.machines)))
        self.assertEqual(totals["Machines that need action"], str(len(expected)))
        self.assertEqual(totals["Runs (logs of the tool)"], str(len(self.runs)))
        self.assertEqual(totals["Infected files"], str(len(self.state.files)))
        self.assertEqual(totals["Cleaned"], str(now["cleaned"]))
        self.assertEqual(totals["Not the family's (counted by forced runs)"],
                         str(now["not the family's"]))
        self.assertEqual(totals["The tool's own files (counted by forced runs)"],
                         str(now["the tool's own"]))
        self.assertEqual(totals["Damaged logs"], "1")
        self.assertEqual(totals["Files that are not logs of the tool"], "3")
        # The clean machines are there, folded.
        folded = dom[dom.index('<details id="clean"'):]
        folded = folded[:folded.index("</details>")]
        for machine, (need, _) in self.state.machines.items():
            self.assertEqual(machine[1] in folded, need == CLEAN, machine)
        # The runs table: a row per run of a machine in need, each with its log file's folder
        # and name; every run is in the runs CSV.
        logs = [row[13] for row in rows if len(row) == 14 and row[0] != "Machine"]
        self.assertEqual(sorted(logs), sorted(log_name(log.win) for log in self.runs if
                                              (computer_name(log), log.machine[0]) in expected))
        awkward = next(f[0] for log in self.runs for f in log.files if AWKWARD_FAILING in f[0])
        self.assertIn(awkward, text)
        self.assertIn("Not valid Bristoke file. Footer doesn't match. (1)", text)

        png = os.path.join(OUTPUT, "fleet.png")
        chromium.screenshot(self.page, png, 1400, 2400)
        counts = chromium.png_colours(png)
        for outcome, colour in COLOURS.items():
            with self.subTest(outcome=outcome):
                self.assertGreater(counts.get(bytes(colour), 0), 200)

    def test_ThousandMachines_EveryOneAccountedForThoseInNeedWorstFirst(self):
        """1,000 machines in ten sites, about 5 % in need; five machines of the list expected
        sent no log; some ran /? after a clean run; one was renamed and ran clean under its new
        name after its old name's files failed."""
        folder = tempfile.mkdtemp(prefix="bristoke-report-1000-")
        self.addCleanup(shutil.rmtree, folder, ignore_errors=True)
        templates = {"crashed": next(l for l in self.runs if l.ends[-1][0] == "crashed"),
                     "failed": self.fleet.failure_log,
                     "listed": next(l for l in self.runs if l.files and
                                    {f[1] for f in l.files} == {"listed"}),
                     "clean": self.fleet.clean_log}
        # Two real runs after every template's: a /? and a clean run, for the renamed machine.
        seam = ["--seam-os=10.0.19045.0.1"]
        rc, usage = self.fleet.run(str(uuid.UUID(int=5000)), seam, "/?")
        self.assertEqual(rc, 1)  # usage shown
        renamed_guid = str(uuid.UUID(int=105)).upper()
        data = os.path.join(folder, "renamed-data")
        cleaned = self.fleet.samples(data, ["report.doc.BRSK"])
        rc, renamed = self.fleet.run(renamed_guid, seam, "/s", win_path(data))
        self.assertEqual(rc, 0)
        templates["usage"] = types.SimpleNamespace(
            path=usage, machine=("",) + self.fleet.clean_log.machine[1:], files=[],
            ends=[("usage shown", None)], start=begin_stamp(usage))
        templates["renamed"] = types.SimpleNamespace(
            path=renamed, machine=self.fleet.clean_log.machine,
            files=[(win_path(p), "cleaned", "") for p in cleaned], ends=[("finished", None)],
            start=begin_stamp(renamed))
        logs = os.path.join(folder, "logs")
        fleet = []

        def place(kind, name, guid, site, file_name):
            template = templates[kind]
            text = re.sub(r"(INFO: Machine guid: )[^\r\n]*", r"\g<1>" + guid,
                          log_text(template.path))
            text = re.sub(r"(INFO: Computer name: )[^\r\n]*", r"\g<1>" + name, text)
            path = os.path.join(logs, site, file_name)
            os.makedirs(os.path.dirname(path), exist_ok=True)
            write_utf16_log(path, text)
            fleet.append(types.SimpleNamespace(
                path=path, machine=(guid,) + template.machine[1:], files=template.files,
                ends=template.ends, start=template.start, win=win_path(path)))

        names = ["PC-%04d" % i for i in range(1000)]
        for i, name in enumerate(names):
            kind = {10: "crashed", 30: "failed", 50: "listed", 70: "failed"}.get(i % 75, "clean")
            guid, site = str(uuid.UUID(int=i)).upper(), "site-%d" % (i // 100)
            place(kind, name, guid, site, name + ".log")
            if i % 75 == 60:
                place("usage", name, guid, site, name + "-usage.log")
        place("renamed", "PC-R105", renamed_guid, "site-1", "PC-R105.log")
        missing = ["PC-MISSING-%d" % i for i in range(1, 6)]
        expect = os.path.join(folder, "machines.txt")
        with open(expect, "wb") as f:
            f.write("\r\n".join(names[::-1] + missing + ["pc-r105"]).encode("ascii"))
        state = State(fleet, names + missing)
        in_need = [name for name, _ in state.in_need()]
        self.assertGreater(len(in_need), 50)

        page = os.path.join(OUTPUT, "fleet-1000.html")
        prefix = os.path.join(folder, "1000")
        rc, stdout = run_report("--html", win_path(page), "--csv", win_path(prefix), "--expect",
                                win_path(expect), win_path(logs))
        self.assertEqual(rc, NOT_CLEANED | RUNS_NOT_ENDED | NO_LOG, stdout)
        lines = stdout.splitlines()
        # The console: the first 50 in need, worst first, then how many more.
        at = lines.index("Machines: %d, %d of them need action"
                         % (len(state.machines), len(in_need)))
        shown = lines[at + 1:at + 51]
        self.assertEqual([line.split(": ")[0] for line in shown], ["  " + n for n in in_need[:50]])
        self.assertEqual(lines[at + 51], "  ... and %d more, on the page and in the CSVs"
                         % (len(in_need) - 50))
        for name in missing:
            self.assertIn("  %s: no log: it is on the list of machines expected, and none of the "
                          "logs read is its" % name, shown)
        [old_name] = [line for line in shown if line.startswith("  PC-0105: ")]
        self.assertTrue(old_name.endswith("; its machine GUID ran later as PC-R105 (latest run "
                                          "%s)" % templates["renamed"].start), old_name)
        self.assertIn("Machines on the list of machines expected that sent no log: 5", lines)
        # The page: the same machines in the same order, but those that sent no log, which it
        # names in a list of their own; every link to a machine leads to its line.
        dom = chromium.dump_dom(page)
        lines = action_section(dom)
        self.assertEqual([name for name, _, _ in lines],
                         [name for name in in_need if name not in missing])
        self.assertIn('<h2 id="no-log">Machines expected that sent no log (5)</h2>\n'
                      '<p class="names">' + ", ".join(missing) + "</p>", dom)
        for anchor in re.findall(r'href="#(m-[0-9a-f]+)"', dom):
            self.assertIn('<details id="%s">' % anchor, dom)
        # The CSVs: every run, and a problem row for each machine that sent no log.
        runs = read_csv(prefix + "-runs.csv", RUNS_HEADER)
        self.assertEqual(sorted((row[0], row[1], row[9]) for row in runs),
                         sorted((computer_name(log), log.machine[0], log.ends[-1][0])
                                for log in fleet))
        problems = read_csv(prefix + "-problems.csv", PROBLEMS_HEADER)
        self.assertEqual(sorted(row[0] for row in problems if row[4] == "no log"), missing)
        latest = [row for row in read_csv(prefix + "-files.csv", FILES_HEADER) if row[7] == "1"]
        self.assertEqual(collections.Counter(row[3] for row in latest), state.outcomes())

        height = chromium.page_height(page, 1366)
        print("the page of 1,000 machines is %d px high at 1366 px wide" % height)
        for width, height in ((1366, 768), (1920, 1080)):
            chromium.screenshot(page, os.path.join(OUTPUT, "fleet-1000-top-%d.png" % width),
                                width, height)
            chromium.screenshot(page, os.path.join(OUTPUT, "fleet-1000-machine-%d.png" % width),
                                width, height, lines[0][2])

    def test_OneCleanLog_Exit0AndItsOutputsNotReadAsLogs(self):
        folder = tempfile.mkdtemp(prefix="bristoke-report-one-")
        self.addCleanup(shutil.rmtree, folder, ignore_errors=True)
        shutil.copy(self.fleet.clean_log.path, folder)
        copy = os.path.join(folder, os.path.basename(self.fleet.clean_log.path))
        csv_path = os.path.join(folder, "report")
        rc, stdout = run_report(win_path(folder), "--csv", win_path(csv_path), "--html",
                                win_path(os.path.join(folder, "report.html")))
        self.assertEqual(rc, 0, stdout)
        self.assertIn("  0: every run ended and every infected file was cleaned",
                      stdout.splitlines())
        log = self.fleet.clean_log
        rows = read_csv(csv_path + "-files.csv", FILES_HEADER)
        self.assertEqual(len(rows), len(log.files))
        self.assertEqual({(row[0], row[6], row[7]) for row in rows},
                         {(computer_name(log), win_path(copy), "1")})
        self.assertEqual(len(read_csv(csv_path + "-runs.csv", RUNS_HEADER)), 1)
        self.assertEqual(read_csv(csv_path + "-problems.csv", PROBLEMS_HEADER), [])

    def test_InAConsole_PathsBeyondAsciiShownAsTheyAre(self):
        folder = tempfile.mkdtemp(prefix="bristoke-report-console-")
        self.addCleanup(shutil.rmtree, folder, ignore_errors=True)
        logs = os.path.join(folder, "r\u00e9sum\u00e9 \u03bb\u00fc")
        os.makedirs(logs)
        killed = next(log for log in self.runs if log.ends[-1][0] == "cut off")
        copy = os.path.join(logs, "cut \u00e9.log")
        shutil.copy(killed.path, copy)
        notes = os.path.join(logs, "n\u00f6tes \u65e5.txt")
        with open(notes, "wb") as f:
            f.write(b"notes")
        console = TmuxConsole(self, folder, REPORT, [win_path(logs)], width=160, height=20)
        self.assertEqual(console.wait_exit(), RUNS_NOT_ENDED | NOT_CLEANED | NOT_LOGS)
        screen = console.screen()
        screen.row_with("  not UTF-16: " + win_path(notes))
        screen.row_with("  %s: its latest run was cut off" % computer_name(killed))
        screen.row_with("Exit code 11:")

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
        resaved = os.path.join(logs, "re-saved as UTF-8.log")
        with open(resaved, "wb") as f:
            f.write(b"\xef\xbb\xbf" + log_text(self.fleet.clean_log.path).encode("utf-8"))
        # A collected log whose first bytes a power loss zeroed: not a log any more, and the
        # machine's only record.
        zeroed = os.path.join(logs, "site", "zeroed.log")
        os.makedirs(os.path.dirname(zeroed))
        with open(log, "rb") as f:
            content = f.read()
        with open(zeroed, "wb") as f:
            f.write(bytes(16) + content[16:])
        earlier = os.path.join(logs, "earlier-runs.csv")
        run_report("--csv-runs", win_path(earlier), win_path(elsewhere))
        os.makedirs(os.path.join(folder, "outs"))
        # Other paths to the same folders: a symbolic link to a folder, which Wine takes for a
        # junction, a link to a log, and a second drive letter mapped in the test's own prefix.
        os.symlink(os.path.join(folder, "outs"), os.path.join(folder, "outs-link"))
        os.symlink(logs, os.path.join(folder, "logs-link"))
        os.symlink(os.path.join(logs, "site"), os.path.join(folder, "site-link"))
        os.symlink(log, os.path.join(folder, "log-link.log"))
        drive = os.path.join(self.prefix.path, "dosdevices", "y:")
        os.symlink(folder, drive)
        self.addCleanup(os.remove, drive)
        before = tree_bytes(folder)
        same = win_path(os.path.join(folder, "both.out"))
        # (what, arguments): each is refused, and nothing is written.
        cases = [
            ("the files CSV is a log given by name",
             ["--csv-files", win_path(log), win_path(log)]),
            ("the page is a log under the folder given",
             ["--html", win_path(log), win_path(logs)]),
            ("the runs CSV is the folder given", ["--csv-runs", win_path(logs), win_path(logs)]),
            ("the problems CSV is a log that is no input",
             ["--csv-problems", win_path(elsewhere), win_path(logs)]),
            ("a CSV and the page are one file",
             ["--csv-runs", same, "--html", same.upper(), win_path(logs)]),
            ("the runs CSV is a log re-saved as UTF-8",
             ["--csv-runs", win_path(resaved), win_path(self.fleet.clean_log.path)]),
            ("two CSVs are one file",
             ["--csv-files", same, "--csv-problems", same, win_path(logs)]),
            ("two outputs are one file through a second drive letter",
             ["--csv-files", win_path(os.path.join(folder, "outs", "a.csv")),
              "--html", "Y:\\outs\\a.csv", win_path(logs)]),
            ("two outputs are one file through a link to their folder",
             ["--csv-files", win_path(os.path.join(folder, "outs", "a.csv")),
              "--html", win_path(os.path.join(folder, "outs-link", "A.csv")), win_path(logs)]),
            ("two outputs are one file in a folder not yet made",
             ["--csv-files", win_path(os.path.join(folder, "new", "a.csv")),
              "--html", "Y:\\new\\a.csv", win_path(logs)]),
            ("a log under the folder given, through a second drive letter",
             ["--csv-runs", "Y:\\logs\\" + os.path.basename(log), win_path(logs)]),
            ("a log under the folder given, through a link to the folder",
             ["--html", win_path(os.path.join(folder, "logs-link", os.path.basename(log))),
              win_path(logs)]),
            ("a link to a log given", ["--html", win_path(os.path.join(folder, "log-link.log")),
                                       win_path(log)]),
            ("a file that is no log (its start zeroed) under the folder given",
             ["--csv-files", win_path(zeroed), win_path(logs)]),
            ("the same, through a link to a folder inside the one given: met by the walk",
             ["--csv-files", win_path(os.path.join(folder, "site-link", "zeroed.log")),
              win_path(logs)]),
            # The report replaces a CSV of its own where a CSV goes, never where the page goes.
            ("an earlier report's CSV under the folder given, as the page",
             ["--html", win_path(earlier), win_path(logs)]),
            ("a log given, with a trailing dot", ["--html", win_path(log) + ".", win_path(log)]),
            ("a log given, with a trailing space",
             ["--csv-runs", win_path(log) + " ", win_path(logs)]),
            ("a log given, as its data stream",
             ["--csv-runs", win_path(log) + "::$DATA", win_path(log)]),
            ("a stream of a file", ["--csv-runs", win_path(elsewhere) + ":report",
                                    win_path(logs)]),
        ]
        for what, args in cases:
            with self.subTest(what):
                rc, stdout = run_report(*args, env=self.prefix.env)
                self.assertEqual(rc, NO_REPORT, stdout)
                self.assertIn("BristokeReport: refused: ", stdout)
                self.assertNotIn("Runs: ", stdout)
                self.assertEqual(tree_bytes(folder), before)

    def test_EarlierOutputsInTheTree_PassedOverNotCounted(self):
        folder = tempfile.mkdtemp(prefix="bristoke-report-again-")
        self.addCleanup(shutil.rmtree, folder, ignore_errors=True)
        shutil.copy(self.fleet.clean_log.path, folder)
        rc, stdout = run_report("--csv", win_path(os.path.join(folder, "first")), "--html",
                                win_path(os.path.join(folder, "first.html")), win_path(folder))
        self.assertEqual(rc, 0, stdout)
        rc, stdout = run_report("--csv-runs", win_path(os.path.join(folder, "second.csv")),
                                win_path(folder))
        self.assertEqual(rc, 0, stdout)
        lines = stdout.splitlines()
        for name in ("first-files.csv", "first-runs.csv", "first-problems.csv"):
            self.assertIn("  passed over, an earlier report's CSV: " +
                          win_path(os.path.join(folder, name)), lines)
        self.assertIn("  passed over, an earlier report's page: " +
                      win_path(os.path.join(folder, "first.html")), lines)
        # Nothing half-written is left beside the outputs.
        self.assertEqual(sorted(n for n in os.listdir(folder) if not n.endswith(".log")),
                         ["first-files.csv", "first-problems.csv", "first-runs.csv",
                          "first.html", "second.csv"])


if __name__ == "__main__":
    main()
