"""BristokeReport.exe reading what administrators hand it: sites from both ways of collecting
logs and from --sites, --expect lists in every encoding an editor or a shell writes and the
lists it refuses, damaged logs, a log reached twice, a page refreshed in the log folder on a
second day, control and invisible characters, versions that are not releases, names that
differ only in case, the order of machines with failed files, errors in words. One table: each
row is a tree of logs and a command line, and the console, the CSVs and the page are checked
for each."""
import csv
import os
import re
import shutil
import subprocess
import tempfile
import unittest

from harness import BUILD, command, main, wine_env, win_path
from tmux_console import TmuxConsole

REPORT = os.path.join(BUILD, "BristokeReport.exe")
NOT_CLEANED, RUNS_NOT_ENDED, DAMAGED, NOT_LOGS, NO_REPORT, NO_LOG = 1, 2, 4, 8, 16, 32
RUNS_SITE, RUNS_NAME, RUNS_STATE, RUNS_FOUND, RUNS_CLEANED, RUNS_NOTES, RUNS_VERSION = (
    26, 0, 9, 11, 12, 23, 24)
# Redirected output is in the OEM code page, which follows the locale under Wine.
LOCALE, CODE_PAGE = "C.UTF-8", "cp437"
RULE = "-" * 80
GUIDS = ["0A1B2C3D-0000-4000-8000-%012X" % n for n in range(1, 40)]


def log_bytes(name, guid, day=2, files=(), summary=True, version="1.0.0.0", encoding="utf-16"):
    """A log of one run as the tool writes it: files are (path, verdict), a verdict "Cleaned"
    or the line that says why the file was not; summary False leaves out its closing counts,
    "zeroed" blanks them with NULs as a disk that lost them does."""
    stamp = "2026.01.%02d 03:04:05.006" % day
    lines = ["Begin", "", "  ##   ##   ##    ##    Version: " + version, RULE,
             "INFO: OS: 10.0.19045 SP0", "INFO: Product Type: Workstation", "INFO: WoW64: False",
             "INFO: Machine guid: " + guid, "INFO: Computer name: " + name, "",
             "INFO: Looking for infected files...", RULE, ""]
    for path, verdict in files:
        lines += ["", "INFO: Cleaning file [%s]" % path]
        lines += ["INFO: Cleaned"] if verdict == "Cleaned" else ["INFO: " + verdict,
                                                                 "ERROR: Not cleaned"]
    cleaned = sum(1 for _, verdict in files if verdict == "Cleaned")
    closing = ["INFO: %d infected files found." % len(files), "INFO: %d file(s) cleaned." % cleaned]
    lines += [RULE] + (closing if summary is True else [])
    text = "".join("[%s] - %s\r\n" % (stamp, line) for line in lines)
    if summary == "zeroed":
        text += "\0" * 40 + "\r\n"
    text += "[%s] - End\r\n" % stamp
    return b"\xff\xfe" + text.encode("utf-16-le") if encoding == "utf-16" else text.encode(encoding)


def failing(name, guid, day=2, failed=1, skipped=0, version="1.0.0.0"):
    """A run that left files not cleaned: each machine with one is on the page's list."""
    files = [("C:\\data\\f%d.doc.BRSK" % i, "File [C:\\data\\f%d.doc] is open in another "
              "program; it is back under its own name: run the tool again once that program "
              "has closed it." % i) for i in range(failed)]
    files += [("C:\\data\\s%d.doc.BRSK" % i, "User doesn't allow modification of file "
               "[C:\\data\\s%d.doc]" % i) for i in range(skipped)]
    return log_bytes(name, guid, day, files, version=version)


def utf16(text, order, mark):
    encoded = text.encode("utf-16-le" if order == "le" else "utf-16-be")
    return ((b"\xff\xfe" if order == "le" else b"\xfe\xff") if mark else b"") + encoded


EXPECTED = "PC01\r\n\\\\PC-MISSING\r\n"


class Case:
    """One row: files to write (relative path -> bytes), the command line after the outputs
    (paths relative to the row's folder; "@" starts one), what the exit code must be, and what
    the console, the runs CSV, the problems CSV and the page must (and must not) hold."""

    def __init__(self, what, files, args, code, console=(), not_console=(), runs=None,
                 problems=(), page=(), not_page=(), rows=None, before=None, outputs=True,
                 stdout_bytes=(), console_order=()):
        self.what, self.files, self.args, self.code = what, files, args, code
        self.console, self.not_console = console, not_console
        self.console_order = console_order  # starts of lines, in the order they must come
        self.runs = runs  # {computer name: {column: value}}, every run's row
        self.problems = problems  # (problem, text in its detail or path)
        self.page, self.not_page = page, not_page
        self.rows = rows  # how many rows the runs CSV has
        self.before = before  # a step before the report: a function of the row's folder
        self.outputs = outputs  # whether the report writes its CSVs and page
        self.stdout_bytes = stdout_bytes


def site_case(what, files, args, sites):
    return Case(what, files, args, NOT_CLEANED, rows=len(files) - ("sites.txt" in files),
                runs={name: {RUNS_SITE: site} for name, site in sites.items()},
                page=[("machine row", name, site) for name, site in sites.items()])


def refresh_first_day(folder):
    """The same scheduled command the day before, with a page and CSVs kept in the log folder;
    and a report killed that day, whose temporary page is left beside it."""
    rc, _, _ = run_report(folder, ["--html", "@logs/report.html", "--csv", "@logs/report",
                                   "@logs"])
    assert rc == NOT_CLEANED, rc
    with open(os.path.join(folder, "logs", "report.html"), "rb") as f:
        page = f.read()
    with open(os.path.join(folder, "logs", "report.html.~99999.tmp"), "wb") as f:
        f.write(page[:len(page) // 2])
    with open(os.path.join(folder, "logs", "PC-DAY2.log"), "wb") as f:
        f.write(failing("PC-DAY2", GUIDS[21], day=3))


CASES = [
    site_case("sites: a folder a machine, right under the share", {
        "share/PC01/a.log": failing("PC01", GUIDS[0]),
        "share/PC02/b.log": failing("PC02", GUIDS[1]),
        "share/PC02/c.log": failing("PC02", GUIDS[1], day=3)},
        ["@share"], {"PC01": "share", "PC02": "share"}),
    site_case("sites: a folder a machine in a folder a site", {
        "share/Berlin/BER-WS0471/a.log": failing("BER-WS0471", GUIDS[0]),
        "share/Berlin/BER-WS0472/a.log": failing("BER-WS0472", GUIDS[1]),
        "share/Paris/PAR-01/a.log": failing("PAR-01", GUIDS[2])},
        ["@share"], {"BER-WS0471": "Berlin", "BER-WS0472": "Berlin", "PAR-01": "Paris"}),
    site_case("sites: logs side by side in a folder a site", {
        "share/Berlin/BER-01.log": failing("BER-01", GUIDS[0]),
        "share/Berlin/BER-02.log": failing("BER-02", GUIDS[1]),
        "share/Berlin/BER-02 again.log": failing("BER-02", GUIDS[1], day=3),
        "share/Paris/PAR-01.log": failing("PAR-01", GUIDS[2]),
        "share/Paris/PAR-02.log": failing("PAR-02", GUIDS[3])},
        ["@share"], {"BER-01": "Berlin", "BER-02": "Berlin", "PAR-01": "Paris",
                     "PAR-02": "Paris"}),
    # A folder whose logs are all of one machine is that machine's folder, whatever its name.
    site_case("sites: one machine's logs alone in a folder", {
        "share/Berlin/BER-01.log": failing("BER-01", GUIDS[0]),
        "share/Berlin/BER-01 again.log": failing("BER-01", GUIDS[0], day=3)},
        ["@share"], {"BER-01": "share"}),
    site_case("sites: a machine's folder given itself", {
        "share/Berlin/BER-01/a.log": failing("BER-01", GUIDS[0])},
        ["@share/Berlin/BER-01"], {"BER-01": "Berlin"}),
    site_case("sites: --sites wins over the folders, names without case", {
        "share/Berlin/BER-01.log": failing("BER-01", GUIDS[0]),
        "share/Berlin/BER-02.log": failing("BER-02", GUIDS[1]),
        "sites.txt": utf16("ber-01\tMunich\r\n\\\\PAR-09, Lyon\r\n", "le", True)},
        ["--sites", "@sites.txt", "@share"], {"BER-01": "Munich", "BER-02": "Berlin"}),
] + [
    Case("--expect in " + what, {"logs/PC01/a.log": log_bytes("PC01", GUIDS[0]),
                                 "machines.txt": data},
         ["--expect", "@machines.txt", "@logs"], NO_LOG,
         console=["  PC-MISSING: no log: it is on the list of machines expected, and none of "
                  "the logs read is its",
                  "Machines on the list of machines expected that sent no log: 1"],
         not_console=["  PC01: "],
         problems=[("no log", "PC-MISSING")], page=[("text", "PC-MISSING")],
         runs={"PC01": {RUNS_STATE: "finished"}})
    for what, data in [
        ("UTF-16 with its mark", utf16(EXPECTED, "le", True)),
        ("UTF-16 without a mark", utf16(EXPECTED, "le", False)),
        ("UTF-16 big-endian with its mark", utf16(EXPECTED, "be", True)),
        ("UTF-16 big-endian without a mark", utf16(EXPECTED, "be", False)),
        ("UTF-8 with its mark", b"\xef\xbb\xbf" + EXPECTED.encode()),
        ("ASCII with line feeds", EXPECTED.replace("\r\n", "\n").encode()),
    ]
] + [
    Case("--expect refused: " + what, {"logs/PC01/a.log": log_bytes("PC01", GUIDS[0]),
                                       "machines.txt": data},
         ["--expect", "@machines.txt", "@logs"], NO_REPORT, outputs=False,
         console=["BristokeReport: refused: the list of machines expected, @machines.txt, " +
                  why])
    for what, data, why in [
        ("random bytes", bytes.fromhex("8f3ac1e07d22b9ff4a6c0391d5e8aa17") * 8,
         "is not text in UTF-16, UTF-8 or ASCII: bytes that are not UTF-8 at line 1"),
        ("an escape character", b"PC01\r\nPC\x1b[2J02\r\n",
         "holds a control character (U+001B) at line 2, which no name holds"),
        ("a NUL in UTF-8", b"PC01\r\nPC\x0002\r\n",
         "holds a control character (U+0000) at line 2, which no name holds"),
        ("half a UTF-16 character at its end", utf16(EXPECTED, "le", True) + b"P",
         "is not text in UTF-16, UTF-8 or ASCII: it ends inside a character"),
    ]
] + [
    Case("--expect that cannot be read: the error in words", {
        "logs/PC01/a.log": log_bytes("PC01", GUIDS[0])},
        ["--expect", "@none.txt", "@logs"], NO_REPORT, outputs=False,
        console=[re.compile(r"^Can't read the list of machines expected, @none\.txt, "
                            r"GLE\(0x00000002\): \w+.*")]),
    Case("--sites refused: a line without a site", {
        "logs/PC01/a.log": log_bytes("PC01", GUIDS[0]), "sites.txt": b"PC01 Berlin\r\n"},
        ["--sites", "@sites.txt", "@logs"], NO_REPORT, outputs=False,
        console=["BristokeReport: refused: the list of sites, @sites.txt, names no site at "
                 "line 1: each line is a computer name, a tab or a comma, and its site"]),
    Case("damaged: a log that lost its closing counts", {
        "logs/PC01/a.log": log_bytes("PC01", GUIDS[0], files=[
            ("C:\\a%d.doc.BRSK" % i, "Cleaned") for i in range(3)], summary=False)},
        ["@logs"], DAMAGED,
        console=[re.compile(r"^  damaged: .*\\a\.log$"), "Damaged logs: 1, files that are not "
                 "logs of the tool: 0", "Machines: 1, 0 of them need action"],
        not_console=["another instance"],
        runs={"PC01": {RUNS_STATE: "finished", RUNS_FOUND: "3", RUNS_CLEANED: "3",
                       RUNS_NOTES: "its closing counts are missing: its files and counts are "
                                   "those of its 24 lines read"}},
        problems=[("damaged", "its closing counts are missing")],
        page=[("total", "Damaged logs", 1), ("text", "its closing counts are missing")],
        not_page=["another instance running"]),
    Case("damaged: closing counts blanked with NULs", {
        "logs/PC01/a.log": log_bytes("PC01", GUIDS[0], files=[("C:\\a.doc.BRSK", "Cleaned")],
                                     summary="zeroed")},
        ["@logs"], DAMAGED, console=["Damaged logs: 1, files that are not logs of the tool: 0"],
        not_console=["another instance"],
        runs={"PC01": {RUNS_STATE: "finished", RUNS_FOUND: "1", RUNS_CLEANED: "1"}},
        problems=[("damaged", "1 line(s) not in the log's layout")],
        page=[("total", "Damaged logs", 1)], not_page=["another instance running"]),
    Case("a log reached twice through overlapping paths", {
        "logs/site/PC01/a.log": failing("PC01", GUIDS[0])},
        ["@logs", "@logs/site"], NOT_CLEANED, rows=1,
        console=[re.compile(r"^  passed over, a run read already from another copy of its log "
                            r"\(PC01, 2026\.01\.02 03:04:05\.006\): .*a\.log$"),
                 "Runs met again in another copy of their log, counted once: 1",
                 re.compile(r"^Runs: 1 \(")],
        page=[("total", "Runs (logs of the tool)", 1)]),
    Case("a log copied to two folders", {
        "logs/site/PC01/a.log": failing("PC01", GUIDS[0]),
        "logs/backup/PC01/copy of a.log": failing("PC01", GUIDS[0]),
        "logs/site/PC01/b.log": failing("PC01", GUIDS[0], day=3)},
        ["@logs"], NOT_CLEANED, rows=2,
        console=["Runs met again in another copy of their log, counted once: 1"],
        page=[("total", "Runs (logs of the tool)", 2)]),
    Case("a page refreshed in the log folder on a second day", {
        "logs/PC01/a.log": failing("PC01", GUIDS[0])},
        ["--html", "@logs/report.html", "--csv", "@logs/report", "@logs"], NOT_CLEANED,
        before=refresh_first_day, rows=2, runs={"PC01": {}, "PC-DAY2": {}},
        console=[re.compile(r"^  removed, left by a report that was stopped: "
                            r".*report\.html\.~99999\.tmp$"), "Machines: 2, 2 of them need action"],
        not_console=["refused", "passed over"],
        page=[("text", "PC-DAY2"), ("total", "Runs (logs of the tool)", 2)]),
    Case("an output over a file the report did not write: still refused", {
        "logs/PC01/a.log": failing("PC01", GUIDS[0]),
        "logs/notes.html": b"<!DOCTYPE html>\n<p>the administrator's own notes</p>\n"},
        ["--html", "@logs/notes.html", "@logs"], NO_REPORT, outputs=False,
        console=[re.compile(r"^BristokeReport: refused: .*notes\.html is a file under .*logs, "
                            r"which the report reads: it writes over no file there but a CSV or "
                            r"a page of its own$")]),
    Case("control and invisible characters in names and paths", {
        "logs/PC01/a.log": log_bytes("PC\u00adB\u00dcRO18", GUIDS[0], files=[
            ("C:\\bell\x07esc\x1b[2Jcr\rrlo\u202efdp.exe hangul\u3164ls\u2028\u00fc.doc.BRSK",
             "File [x] is open in another program; it is back under its own name: run the "
             "tool again once that program has closed it.")])},
        ["@logs"], NOT_CLEANED,
        console=["  PC[U+00AD]B\u00dcRO18: 1 file failed"],
        stdout_bytes=["  PC[U+00AD]B\u00dcRO18: ".encode(CODE_PAGE)],
        runs={"PC[U+00AD]B\u00dcRO18": {RUNS_STATE: "finished"}},
        page=[("text", "PC[U+00AD]B\u00dcRO18"),
              ("text", "bell[U+0007]esc[U+001B][2Jcr[U+000D]rlo[U+202E]fdp.exe "
                       "hangul[U+3164]ls[U+2028]\u00fc.doc.BRSK")],
        not_page=["\u00ad", "\x07", "\x1b", "\u202e", "\u3164", "\u2028"]),
    Case("versions that are not four numbers are never the newest", {
        "logs/PC-A/a.log": log_bytes("PC-A", GUIDS[0]),
        "logs/PC-B/a.log": failing("PC-B", GUIDS[1], version="v2.0.0.0"),
        "logs/PC-C/a.log": failing("PC-C", GUIDS[2], version="1.0.0.0-beta"),
        "logs/PC-D/a.log": log_bytes("PC-D", GUIDS[3], version="0.9.0.0")},
        ["@logs"], NOT_CLEANED,
        console=["Machines whose latest run used an older version of the tool than 1.0.0.0: 1"],
        runs={"PC-B": {RUNS_VERSION: "v2.0.0.0"}, "PC-C": {RUNS_VERSION: "1.0.0.0-beta"}},
        page=[("text", "v2.0.0.0")]),
    Case("names that differ only in case are one machine", {
        "logs/PC-CASE/a.log": failing("PC-CASE", GUIDS[0]),
        "logs/PC-CASE/b.log": failing("pc-case", GUIDS[0], day=3)},
        ["@logs"], NOT_CLEANED, rows=2,
        console=["Machines: 1, 1 of them need action"],
        # The walk meets the two logs in either order: the name met first is the machine's.
        page=[("one spelling", "PC-CASE", "pc-case")]),
    Case("machines with failed files: the most failed first, then the others", {
        "logs/PC-ONE-AND-SKIPPED/a.log": failing("PC-ONE-AND-SKIPPED", GUIDS[0], failed=1,
                                                 skipped=2),
        "logs/PC-TWO/a.log": failing("PC-TWO", GUIDS[1], failed=2),
        "logs/PC-ONE/a.log": failing("PC-ONE", GUIDS[2], failed=1)},
        ["@logs"], NOT_CLEANED,
        console=["Machines: 3, 3 of them need action"],
        console_order=["  PC-TWO: ", "  PC-ONE-AND-SKIPPED: ", "  PC-ONE: "],
        page=[("order", "PC-TWO", "PC-ONE-AND-SKIPPED", "PC-ONE")]),
]


def resolve(folder, arg):
    return win_path(os.path.join(folder, arg[1:])) if arg.startswith("@") else arg


def run_report(folder, args):
    proc = subprocess.run(command(REPORT, *[resolve(folder, a) for a in args]),
                          stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                          stderr=subprocess.PIPE, env=wine_env({"LC_ALL": LOCALE}), timeout=300)
    return proc.returncode, proc.stdout.decode(CODE_PAGE), proc.stdout


def read_csv(path):
    with open(path, "rb") as f:
        raw = f.read()
    assert raw.startswith(b"\xef\xbb\xbf"), raw[:10]
    return list(csv.reader(raw[3:].decode("utf-8").splitlines(keepends=True)))[1:]


def page_total(page, label):
    match = re.search(r"<th>%s</th><td[^>]*>(\d+)<" % re.escape(label), page)
    return int(match.group(1)) if match else None


class ReadingTests(unittest.TestCase):
    def test_WhatAdministratorsHandIt_ConsoleCsvAndPageForEach(self):
        for case in CASES:
            with self.subTest(case.what):
                self.check_case(case)

    def check_case(self, case):
        folder = tempfile.mkdtemp(prefix="bristoke-report-reading-")
        self.addCleanup(shutil.rmtree, folder, ignore_errors=True)
        self.folder_win = win_path(folder)
        for relative, data in case.files.items():
            path = os.path.join(folder, relative)
            os.makedirs(os.path.dirname(path), exist_ok=True)
            with open(path, "wb") as f:
                f.write(data)
        if case.before:
            case.before(folder)
        out = os.path.join(folder, "out")
        args = list(case.args)
        if "--html" not in args:
            args = ["--html", "@out/page.html", "--csv", "@out/fleet"] + args
        page_path = resolve(folder, args[args.index("--html") + 1])[2:].replace("\\", "/")
        csv_base = resolve(folder, args[args.index("--csv") + 1])[2:].replace("\\", "/") \
            if "--csv" in args else None
        rc, stdout, raw = run_report(folder, args)
        lines = stdout.splitlines()
        # Console.
        self.assertEqual(rc, case.code, stdout)
        # "@" in an expected line stands for the row's folder.
        for expected in case.console:
            if isinstance(expected, str):
                expected = expected.replace("@", self.folder_win + "\\")
                self.assertIn(expected, lines, stdout)
            else:
                self.assertTrue(any(expected.search(line.replace(self.folder_win + "\\", "@"))
                                    for line in lines), (expected.pattern, stdout))
        for unexpected in case.not_console:
            self.assertNotIn(unexpected, stdout)
        order = [next(i for i, line in enumerate(lines) if line.startswith(start))
                 for start in case.console_order]
        self.assertEqual(order, sorted(order), stdout)
        for expected in case.stdout_bytes:
            self.assertIn(expected, raw)
        # No control or invisible character of a log reaches the console raw.
        self.assertIsNone(re.search("[\x00-\x08\x0b\x0c\x0e-\x1f\u00ad\u202e\u2028\u3164]",
                                    stdout), stdout)
        if not case.outputs:
            self.assertFalse(os.path.exists(out), os.listdir(folder))
            return
        # CSVs.
        runs = read_csv(csv_base + "-runs.csv")
        if case.rows is not None:
            self.assertEqual(len(runs), case.rows, runs)
        for name, columns in (case.runs or {}).items():
            rows = [row for row in runs if row[RUNS_NAME] == name]
            self.assertTrue(rows, (name, runs))
            for row in rows:
                for column, value in columns.items():
                    self.assertEqual(row[column], value, (name, column, row))
        problems = read_csv(csv_base + "-problems.csv")
        for problem, text in case.problems:
            self.assertTrue(any(row[4] == problem and (text in row[5] or text in row[0])
                                for row in problems), (problem, text, problems))
        for path in (csv_base + "-files.csv", csv_base + "-runs.csv",
                     csv_base + "-problems.csv"):
            with open(path, encoding="utf-8-sig") as f:
                self.assertIsNone(re.search("[\x00-\x08\x0b\x0c\x0e-\x1f\u00ad\u202e\u2028"
                                            "\u3164]", f.read()), path)
        # The page.
        with open(page_path, encoding="utf-8") as f:
            page = f.read()
        for check in case.page:
            kind = check[0]
            if kind == "text":
                self.assertIn(check[1], page)
            elif kind == "total":
                self.assertEqual(page_total(page, check[1]), check[2], check)
            elif kind == "machine row":
                # A table row, or a line of the action list (its summary).
                rows = re.findall(r"<tr[ >].*?</tr>|<summary[ >].*?</summary>", page, re.S)
                self.assertTrue(any(check[1] in row and ">%s<" % check[2] in row
                                    for row in rows), check)
            elif kind == "one spelling":
                self.assertEqual(len({name for name in check[1:] if ">%s<" % name in page}), 1)
                self.assertEqual(len({row[RUNS_NAME] for row in runs}), 1, runs)
            elif kind == "order":
                at = [page.index(">%s<" % name) for name in check[1:]]
                self.assertEqual(at, sorted(at), check)
        for unexpected in case.not_page:
            self.assertNotIn(unexpected, page)
        # Nothing half-written is left beside the outputs.
        leftovers = [name for directory, _, names in os.walk(folder) for name in names
                     if name.endswith(".tmp")]
        self.assertEqual(leftovers, [])

    def test_StoppedFromTheConsole_ItsTemporaryOutputsRemoved(self):
        """Ctrl+C while the report reads: the CSVs it was writing under their temporary names
        are gone, and none took its name."""
        folder = tempfile.mkdtemp(prefix="bristoke-report-stopped-")
        self.addCleanup(shutil.rmtree, folder, ignore_errors=True)
        logs, out = os.path.join(folder, "logs"), os.path.join(folder, "out")
        os.makedirs(logs)
        # Enough logs that reading them takes a few seconds: the progress line shows from the
        # second second on.
        sections = [("C:\\data\\%06d.doc.BRSK" % i, "Cleaned") for i in range(100)]
        for n in range(3000):
            with open(os.path.join(logs, "PC-%04d.log" % n), "wb") as f:
                f.write(log_bytes("PC-%04d" % n, GUIDS[0], files=sections))
        console = TmuxConsole(self, folder, REPORT, ["--csv", win_path(os.path.join(out, "fleet")),
                                                     win_path(logs)], width=120, height=20)
        console.wait_for("Reading: ", timeout=60)
        temporaries = [n for n in os.listdir(out) if n.endswith(".tmp")]
        self.assertEqual(len(temporaries), 3, os.listdir(out))
        console.send("C-c")
        rc = console.wait_exit(timeout=60)
        self.assertEqual(os.listdir(out), [], rc)


if __name__ == "__main__":
    main()
