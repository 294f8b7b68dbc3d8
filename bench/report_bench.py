#!/usr/bin/env python3
"""The report over many logs: files per second and peak memory of BristokeReport.exe over 10, 100
and 1,000 logs of 1,000 files each, over 10,000 logs of 100 files, and over one log of 100,000
files that failed each for a reason of its own (100,000 distinct reason texts), to show that its
memory grows neither with the number of logs nor with the number of reasons: the peak private
bytes with the CSVs and the page must stay within 2 MB of each other across them all.

The logs are synthetic but in the tool's exact format: a real run of the tool (one file cleaned)
gives the header, the lines of one file and the closing lines, and each synthetic log repeats
them with its own machine GUID, start time and paths. Of 1,000 files a cleaning run has 930
cleaned, 60 failed for three reasons and 10 skipped (an existing file kept); every tenth log is a
list-only run; each log has two warning lines. The logs (about 1.5 GB) are made once into
BUILD/bench-cache/report/ and kept; delete the folder to reclaim the space.

Every log has files that failed, so every machine needs action: the 10,000 logs of 100 files
are an outbreak day's fleet, 10,000 machines all in need with 1,000,000 files.

For each number of logs the report runs twice under Wine: with the console summary only, and
with the CSV and the page written (into the cache folder, deleted afterwards). Peak working set
and private bytes are the report process's own, sampled every 10 ms by the launcher of
bench/decrypt_bench.exe (GetProcessMemoryInfo on the child). The page's size is printed, and the
time headless Chromium takes to load it and lay it out at 1366x768 (the best of three loads; the
load average says how busy the machine was); the bench fails when a page is 5 MB or larger or
takes 3 s or more.
Build first (scripts/test.sh).

Environment: BRISTOKE_BUILD (default build/ARCH of the build this machine runs);
REPORT_BENCH_LOGS, numbers of logs to measure, of those above (default all): "10000" measures the
outbreak day only, and makes only its logs."""
import glob
import os
import shutil
import subprocess
import sys
import tempfile

from decrypt_bench import BENCH, BUILD, KEYS, ROOT, WRITER, BenchError, run_bench, wine, win_path

sys.path.insert(0, os.path.join(ROOT, "tests", "e2e"))
import chromium  # noqa: E402

CACHE = os.path.join(BUILD, "bench-cache", "report")
REPORT = os.path.join(BUILD, "BristokeReport.exe")
TOOL = os.path.join(BUILD, "BristokeDecryptor.exe")
# (files a log, folders of logs): measured over the first folder, the first two, and so on.
SETS = [(1000, [10, 90, 900]), (100, [10000])]
DISTINCT_REASONS = 100000
LOGS_A_SITE = 100
FLAT_WITHIN = 2 * 1024 * 1024
PAGE_BOUND = 5 * 1000 * 1000
LOAD_BOUND_MS = 3000
LOADS = 3
RULE = "-" * 80
FAILURES = [(50, 7, "INFO: Not valid Bristoke file."),
            (50, 19, "INFO: Loaded keys don't match."),
            (100, 33, "INFO: Can't open file [{path}.backup_3_by_ovix], GLE(0x00000020)")]
SKIPPED = (100, 71, "INFO: User doesn't allow modification of file [{output}]")


def real_run():
    """(header lines up to the walk, one cleaned file's lines, closing lines) of a real run of
    the tool, without their stamps."""
    with tempfile.TemporaryDirectory(prefix="report-bench-") as work:
        plain = os.path.join(work, "plain", "report.docx")
        os.makedirs(os.path.dirname(plain))
        with open(plain, "wb") as f:
            f.write(os.urandom(1000))
        data = os.path.join(work, "data")
        os.makedirs(data)
        wine(WRITER, "--keys", win_path(KEYS), "--out", win_path(data), win_path(plain))
        wine(TOOL, "/s", win_path(data), cwd=work)
        [log] = glob.glob(os.path.join(work, "*.log"))
        with open(log, "rb") as f:
            lines = [line.split("] - ", 1)[1]
                     for line in f.read()[2:].decode("utf-16-le").split("\r\n")[:-1]]
    start = lines.index(next(l for l in lines if l.startswith("INFO: Cleaning file ["))) - 1
    end = lines.index("INFO: Cleaned") + 1
    if lines[start] != "" or lines[end] != RULE:
        raise BenchError("unexpected layout of the tool's log:\n" + "\n".join(lines))
    return lines[:start], lines[start:end], lines[end:]


def make_log(path, number, files, header, section, closing, distinct=False):
    """One synthetic log: the real run's lines for files files, with their own GUID and paths;
    distinct: every file fails, each with an error code of its own."""
    guid = "%08X-0000-4000-8000-%012X" % (0xB0000000 + number, number)
    hour, minute = divmod(number, 60)
    stamp = "[2026.03.%02d %02d:%02d:%%02d.%%03d] - " % (1 + number // 1440, hour % 24, minute)
    list_only = number % 10 == 9
    texts = []
    for line in header:
        if line.startswith("INFO: Machine guid: "):
            line = "INFO: Machine guid: " + guid
        texts.append(line)
        if list_only and line == "WARNING: SilentMode Enabled":
            texts.append("WARNING: NoCleaningMode Enabled")
    texts.append("WARNING: Invalid Path [C:\\Users\\user%04d\\gone]" % number)
    cleaned = 0
    original = section[1][len("INFO: Cleaning file ["):-1]
    for i in range(files):
        encrypted = "C:\\Users\\user%04d\\Documents\\Projects\\%02d\\report-%04d.docx.BRSK" % (
            number, i // 100, i)
        if list_only:
            texts.append("INFO: Skipping [%s]..." % encrypted)
            continue
        lines = [line.replace(original, encrypted) for line in section]
        verdict = None
        for every, at, reason in FAILURES + [SKIPPED]:
            if i % every == at:
                verdict = reason.format(path=encrypted, output=encrypted[:-len(".BRSK")])
        if distinct:
            verdict = "INFO: Can't open file [%s], GLE(0x%08X)" % (encrypted, 0x10000 + i)
        if verdict is None:
            cleaned += 1
            texts.extend(lines)
        else:
            texts.extend(lines[:-1] + [verdict, "ERROR: Not cleaned"])
    texts.append("WARNING: Invalid Path [C:\\Users\\user%04d\\gone too]" % number)
    for line in closing:
        if line.endswith(" infected files found."):
            line = "INFO: %d infected files found." % files
        elif line.endswith(" file(s) cleaned."):
            line = "INFO: %d file(s) cleaned." % cleaned
        texts.append(line)
    second = [0]

    def stamped(text):
        second[0] += 1
        return stamp % (second[0] // 1000 % 60, second[0] % 1000) + text

    with open(path, "wb") as f:
        f.write(b"\xff\xfe" + "".join(stamped(t) + "\r\n" for t in texts).encode("utf-16-le"))
    return len(texts)


def make_logs(files, groups, distinct=False):
    """The folders of logs of one set, made once; returns their paths."""
    root = os.path.join(CACHE, "%d-files%s" % (files, "-distinct" if distinct else ""))
    folders = [os.path.join(root, "logs-%d" % i) for i in range(len(groups))]
    marker = os.path.join(root, "made-in-sites.txt")
    if os.path.exists(marker):
        return folders
    shutil.rmtree(root, ignore_errors=True)
    print("making %d logs of %d files in %s" % (sum(groups), files, root), flush=True)
    parts = real_run()
    number = 0
    for folder, count in zip(folders, groups):
        for _ in range(count):
            # As an administrator collects them: a folder per site of at most 100 machines.
            # (Wine lists a whole folder inside the process: 10,000 logs in one would cost the
            # report 1.4 MB of Wine's memory that Windows does not spend.)
            site = os.path.join(folder, "site-%03d" % (number // LOGS_A_SITE))
            os.makedirs(site, exist_ok=True)
            make_log(os.path.join(site, "machine-%05d.log" % number), number, files, *parts,
                     distinct=distinct)
            number += 1
    with open(marker, "w") as f:
        f.write("made\n")
    return folders


def measure(folders, outputs):
    """The launcher's result, the rows of the files, runs and problems CSVs, and the page's size
    and best time to load in Chromium in ms."""
    out = os.path.join(CACHE, "out")
    os.makedirs(out, exist_ok=True)
    page = os.path.join(out, "r.html")
    args = []
    if outputs:
        args = ["--csv", win_path(os.path.join(out, "r")), "--html", win_path(page)]
    subprocess.run(["sync"], check=True)
    try:
        result = wine(BENCH, "run", win_path(REPORT), *args, *[win_path(f) for f in folders])
        rows = page_figures = None
        if outputs:
            rows = []
            for kind in ("files", "runs", "problems"):
                with open(os.path.join(out, "r-%s.csv" % kind), "rb") as f:
                    rows.append(sum(1 for _ in f) - 1)
            page_figures = (os.path.getsize(page), min(
                chromium.layout(page, 1366, 768)["loaded_ms"] for _ in range(LOADS)))
    finally:
        shutil.rmtree(out, ignore_errors=True)
    return result, rows, page_figures


def main():
    for path in (REPORT, TOOL, BENCH, WRITER, KEYS):
        if not os.path.exists(path):
            raise BenchError("%s is missing: build first" % path)
    chosen = os.environ.get("REPORT_BENCH_LOGS")
    chosen = None if chosen is None else {int(n) for n in chosen.split()}

    def measured(logs):
        return chosen is None or logs in chosen

    sets = [(files, groups, make_logs(files, groups)) for files, groups in SETS
            if any(measured(sum(groups[:used])) for used in range(1, len(groups) + 1))]
    print("load average before: %.2f %.2f %.2f" % os.getloadavg())
    print("%6s %10s %8s %9s %11s %8s %13s %13s  %s" % (
        "logs", "files", "outputs", "seconds", "files/s", "MB/s", "peak WS KiB",
        "private KiB", "exit code"))
    private = []
    pages = []
    for per_log, groups, folders in sets:
        for used in range(1, len(groups) + 1):
            if measured(sum(groups[:used])):
                private.append(measure_set(per_log, sum(groups[:used]), folders[:used], pages))
    if measured(1):
        distinct = make_logs(DISTINCT_REASONS, [1], distinct=True)
        private.append(measure_set(DISTINCT_REASONS, 1, distinct, pages, "(a reason each)"))
    print("load average after:  %.2f %.2f %.2f" % os.getloadavg())
    spread = max(private) - min(private)
    print("peak private bytes with the CSVs and the page: %d to %d KiB, spread %d KiB" % (
        min(private) // 1024, max(private) // 1024, spread // 1024))
    if spread > FLAT_WITHIN:
        raise BenchError("peak private bytes are not flat within %d KiB" % (FLAT_WITHIN // 1024))
    for logs, size, loaded in pages:
        if size >= PAGE_BOUND or loaded >= LOAD_BOUND_MS:
            raise BenchError("the page of %d logs is %d bytes and takes %.0f ms to load, over "
                             "%d bytes or %d ms" % (logs, size, loaded, PAGE_BOUND,
                                                    LOAD_BOUND_MS))


def measure_set(per_log, logs, folders, pages, note=""):
    """Prints both runs over the folders and the page's figures, which it adds to pages;
    returns the peak private bytes of the run with the CSVs and the page."""
    size = sum(os.path.getsize(p) for f in folders
               for p in glob.glob(os.path.join(f, "*", "*.log")))
    for outputs in (False, True):
        result, rows, page = measure(folders, outputs)
        seconds = float(result["seconds"])
        files = logs * per_log
        # A row per file, a row per run, and a row per warning line (two a log).
        if rows is not None and rows != [files, logs, logs * 2]:
            raise BenchError("CSV rows %s, expected %s" % (rows, [files, logs, logs * 2]))
        print("%6d %10d %8s %9.2f %11.0f %8.1f %13d %13d  %s %s" % (
            logs, files, "CSV+page" if outputs else "console", seconds, files / seconds,
            size / seconds / 1e6, int(result["peak_working_set"]) // 1024,
            int(result["peak_private"]) // 1024, result["exit_code"], note), flush=True)
    print("%6d logs: the page is %d bytes; Chromium loads and lays it out in %.0f ms (best of "
          "%d)" % (logs, page[0], page[1], LOADS), flush=True)
    pages.append((logs,) + page)
    return int(result["peak_private"])


if __name__ == "__main__":
    run_bench("report_bench", main)
