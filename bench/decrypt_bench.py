#!/usr/bin/env python3
"""Decryption throughput and peak memory of the tool, beside its cipher's raw speed and a copy.

For each cipher (AES-256-CBC: variant 1; Salsa20: variants 4 and 5) it cleans a 1 GiB and a
256 MiB sample with BristokeDecryptor.exe under Wine and prints one table:

  e2e          plain bytes / the time between the log's "Decrypting [" and "Cleaned" lines
  process      plain bytes / the tool's whole run, from process start to exit
  cipher       the tool's FileCipher over 1 GiB in memory, in the tool's 10 MiB chunks
  copy         ReadFile and WriteFile of the 1 GiB sample in 10 MiB chunks
  stream copy  the same copy through the tool's file streams, whose writes are staged
  bound        the most a single thread that reads, deciphers and writes in turn can reach:
               1 / (1/cipher + 1/stream copy)
  peak WS, peak private: the tool's peak working set and private bytes, sampled every 10 ms
               by the launcher until the tool exits (GetProcessMemoryInfo on the child; Wine
               reads them from /proc/PID/status: VmHWM is the working set's high-water mark)

The "console" row runs the tool in a tmux console, where it draws its progress rows; the
others run it with its output on NUL. Every figure is the best of REPEATS rounds (default 3),
measured in turns so that load from other processes spreads over all of them; the load average
is printed before and after. Each cleaned file is compared with its plain original.
Inputs are made once into BUILD/bench-cache/decrypt (about 5 GiB, kept for later runs; delete
the folder to reclaim the space); outputs are deleted after each run.
Build first (scripts/test.sh).

Environment: REPEATS (default 3), BRISTOKE_BUILD (default build/ARCH, the build this machine
runs, the 32-bit one first), CONSOLE=0 to leave out the console row."""
import datetime
import glob
import os
import re
import shutil
import subprocess
import sys
import time
import uuid

ROOT = os.path.abspath(os.path.join(os.path.dirname(__file__), ".."))
sys.path.insert(0, os.path.join(ROOT, "scripts"))
from windows_run import command, default_build, pe_arch, shell_command, win_path  # noqa: E402

BUILD = os.path.abspath(os.environ.get("BRISTOKE_BUILD") or default_build(ROOT))
CACHE = os.path.join(BUILD, "bench-cache", "decrypt")
TOOL = os.path.join(BUILD, "BristokeDecryptor.exe")
BENCH = os.path.join(BUILD, "bench", "decrypt_bench.exe")
WRITER = os.path.join(BUILD, "BristokeSampleWriter.exe")
KEYS = os.path.join(BUILD, "key_database", "key_blobs.txt")
REPEATS = int(os.environ.get("REPEATS", "3"))
WITH_CONSOLE = os.environ.get("CONSOLE", "1") != "0"
MIB = 1 << 20
BIG, SMALL = 1024, 256  # MiB
# (variant, cipher name, raw cipher mode of decrypt_bench.exe)
VARIANTS = [(1, "AES-256-CBC", "aes"), (4, "Salsa20", "salsa"), (5, "Salsa20", "salsa")]
TARGET_SHARE = 0.70
STAMP = re.compile(r"^\[(\d{4})\.(\d\d)\.(\d\d) (\d\d):(\d\d):(\d\d)\.(\d{3})\] - (.*)$")


class BenchError(Exception):
    pass


def wine_env():
    return dict(os.environ, WINEPREFIX=os.path.join(BUILD, "wineprefix"), WINEDEBUG="-all",
                BRISTOKE_ARCH=pe_arch(TOOL))


def wine(*args, cwd=None):
    """Runs a Windows program and returns its "key value" output lines as a dict."""
    proc = subprocess.run(command(*args), cwd=cwd, env=wine_env(), stdin=subprocess.DEVNULL,
                          stdout=subprocess.PIPE, stderr=subprocess.PIPE, timeout=1800)
    if proc.returncode != 0:
        raise BenchError("%s failed (%d): %s" % (" ".join(args), proc.returncode,
                                                proc.stderr.decode(errors="replace")))
    lines = proc.stdout.decode("utf-8", "replace").splitlines()
    return dict(line.split(" ", 1) for line in lines if " " in line)


def plain_input(mib):
    path = os.path.join(CACHE, "plain-%dm.bin" % mib)
    if not os.path.isfile(path) or os.path.getsize(path) != mib * MIB:
        print("making %s" % path, flush=True)
        with open(path + ".tmp", "wb") as f:
            for _ in range(mib // 16):
                f.write(os.urandom(16 * MIB))
        os.replace(path + ".tmp", path)
    return path


def encrypted_input(variant, mib):
    """The cached encrypted sample: the only file of its own folder."""
    folder = os.path.join(CACHE, "v%d-%dm" % (variant, mib))
    plain = plain_input(mib)
    prefix = os.path.join(folder, os.path.basename(plain) + ".")
    files = glob.glob(os.path.join(folder, "*"))
    if len(files) == 1 and files[0].startswith(prefix) and "backup_" not in files[0]:
        return files[0]
    print("encrypting %s as variant %d" % (plain, variant), flush=True)
    shutil.rmtree(folder, ignore_errors=True)
    os.makedirs(folder)
    proc = subprocess.run(command(WRITER, "--keys", win_path(KEYS), "--out", win_path(folder),
                                  "--variant", str(variant), win_path(plain)), env=wine_env(),
                          stdout=subprocess.PIPE, stderr=subprocess.PIPE, timeout=1800)
    files = glob.glob(os.path.join(folder, "*"))
    if proc.returncode != 0 or len(files) != 1:
        raise BenchError("the sample writer failed: %s" % proc.stderr.decode(errors="replace"))
    return files[0]


def same_content(path_a, path_b):
    if os.path.getsize(path_a) != os.path.getsize(path_b):
        return False
    with open(path_a, "rb") as a, open(path_b, "rb") as b:
        while True:
            block_a, block_b = a.read(16 * MIB), b.read(16 * MIB)
            if block_a != block_b:
                return False
            if not block_a:
                return True


def stamp_seconds(match):
    year, month, day, hour, minute, second, milli = (int(g) for g in match.groups()[:7])
    moment = datetime.datetime(year, month, day, hour, minute, second, milli * 1000)
    return moment.timestamp()


def decryption_seconds(log_path):
    """Time from the "Decrypting [" line to the "Cleaned" line of the tool's log."""
    with open(log_path, "rb") as f:
        text = f.read()[2:].decode("utf-16-le")
    start = end = None
    for line in text.split("\r\n"):
        match = STAMP.match(line)
        if not match:
            continue
        if match.group(8).startswith("INFO: Decrypting ["):
            start = stamp_seconds(match)
        elif match.group(8) == "INFO: Cleaned":
            end = stamp_seconds(match)
    if start is None or end is None:
        raise BenchError("no \"Decrypting [\" ... \"Cleaned\" in %s:\n%s" % (log_path, text))
    return end - start


def restore_sample(encrypted):
    """Deletes the tool's output and gives the backup its encrypted name back."""
    output = encrypted.rsplit(".", 1)[0]
    if os.path.exists(output):
        os.remove(output)
    backups = glob.glob(glob.escape(encrypted) + ".backup_*by_ovix")
    if len(backups) > 1 or (backups and os.path.exists(encrypted)):
        raise BenchError("unexpected files beside %s: %s" % (encrypted, backups))
    if backups:
        os.rename(backups[0], encrypted)


def clean_in_console(encrypted, logs):
    """Runs the tool in a tmux console (progress rows drawn); returns its log's path."""
    session = "decrypt-bench-%s" % uuid.uuid4().hex[:8]
    socket = os.path.join(logs, "tmux-" + session)
    line = shell_command(TOOL, win_path(encrypted)) + " </dev/null"
    subprocess.run(["tmux", "-S", socket, "new-session", "-d", "-s", session, "-x", "100", "-y",
                    "30", "-c", logs, line], env=wine_env(), check=True)
    try:
        while subprocess.run(["tmux", "-S", socket, "has-session", "-t", session],
                             stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL).returncode == 0:
            time.sleep(0.2)
    finally:
        subprocess.run(["tmux", "-S", socket, "kill-server"], stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL)
        if os.path.exists(socket):
            os.remove(socket)


def clean_once(encrypted, plain, logs, in_console=False):
    """One run of the tool on the sample; returns (decryption s, process s or None, peaks)."""
    restore_sample(encrypted)
    for old in glob.glob(os.path.join(logs, "*.log")):
        os.remove(old)
    subprocess.run(["sync"], check=True)  # earlier runs' dirty pages are not this run's work
    try:
        if in_console:
            clean_in_console(encrypted, logs)
            result = {}
        else:
            result = wine(BENCH, "run", win_path(TOOL), win_path(encrypted), cwd=logs)
            if result.get("exit_code") != "0":
                raise BenchError("the tool exited with %s" % result.get("exit_code"))
            if result.get("memory_samples", "0") == "0":
                raise BenchError("no memory sample of the tool's process")
        log_paths = glob.glob(os.path.join(logs, "*.log"))
        if len(log_paths) != 1:
            raise BenchError("expected one log in %s, found %s" % (logs, log_paths))
        seconds = decryption_seconds(log_paths[0])
        if not same_content(encrypted.rsplit(".", 1)[0], plain):
            raise BenchError("the output of %s differs from %s" % (encrypted, plain))
    finally:
        restore_sample(encrypted)
    process = float(result["seconds"]) if result else None
    peaks = (int(result["peak_working_set"]), int(result["peak_private"])) if result else None
    return seconds, process, peaks


def copy_once(mode, source):
    target = os.path.join(CACHE, "copy.tmp")
    subprocess.run(["sync"], check=True)
    try:
        return float(wine(BENCH, mode, win_path(source), win_path(target))["seconds"])
    finally:
        if os.path.exists(target):
            os.remove(target)


def best(values):
    return min(v for v in values if v is not None) if any(v is not None for v in values) else None


def show(value, form="%.0f"):
    return "-" if value is None else form % value


def rate(mib, seconds):
    return mib / seconds if seconds else None


def main():
    for path in (TOOL, BENCH, WRITER, KEYS):
        if not os.path.exists(path):
            raise BenchError("%s is missing: build first" % path)
    os.makedirs(CACHE, exist_ok=True)
    logs = os.path.join(CACHE, "logs")
    shutil.rmtree(logs, ignore_errors=True)
    os.makedirs(logs)
    samples = {(v, mib): encrypted_input(v, mib) for v, _, _ in VARIANTS for mib in (BIG, SMALL)}
    plains = {mib: plain_input(mib) for mib in (BIG, SMALL)}

    runs = [(v, mib, False) for v, _, _ in VARIANTS for mib in (BIG, SMALL)]
    if WITH_CONSOLE:
        runs.append((1, BIG, True))
    cleaned = {run: [] for run in runs}
    cipher = {mode: [] for _, _, mode in VARIANTS}
    copies = {"copy": [], "stream-copy": []}
    print("load average before: %.2f %.2f %.2f" % os.getloadavg())
    for repeat in range(REPEATS):
        print("round %d of %d" % (repeat + 1, REPEATS), flush=True)
        for mode in cipher:
            cipher[mode].append(float(wine(BENCH, "cipher", mode, str(BIG * MIB))["seconds"]))
        for mode in copies:
            copies[mode].append(copy_once(mode, samples[(1, BIG)]))
        for run in runs:
            variant, mib, in_console = run
            cleaned[run].append(clean_once(samples[(variant, mib)], plains[mib], logs, in_console))
    print("load average after:  %.2f %.2f %.2f" % os.getloadavg())
    shutil.rmtree(logs, ignore_errors=True)

    copy_rate = rate(BIG, best(copies["copy"]))
    stream_rate = rate(BIG, best(copies["stream-copy"]))
    # The tool's own I/O path (staged writes) gives the serial bound.
    bound = {mode: 1 / (1 / rate(BIG, best(seconds)) + 1 / stream_rate)
             for mode, seconds in cipher.items()}
    table = [("", "", "", "", "e2e", "process", "cipher", "copy", "stream copy", "e2e/", "e2e/",
              "bound/", "e2e/", "peak WS", "peak private"),
             ("cipher", "variant", "MiB", "output", "MiB/s", "MiB/s", "MiB/s", "MiB/s", "MiB/s",
              "cipher", "copy", "cipher", "bound", "MiB", "MiB")]
    verdicts = []
    peaks_by_variant = {}
    for run in runs:
        variant, mib, in_console = run
        name, mode = next((n, m) for v, n, m in VARIANTS if v == variant)
        results = cleaned[run]
        e2e = rate(mib, best([r[0] for r in results]))
        process = rate(mib, best([r[1] for r in results]))
        raw = rate(BIG, best(cipher[mode]))
        peaks = [r[2] for r in results if r[2]]
        working_set = max(p[0] for p in peaks) / MIB if peaks else None
        private = max(p[1] for p in peaks) / MIB if peaks else None
        if peaks:
            peaks_by_variant.setdefault(variant, {})[mib] = working_set
        table.append((name, str(variant), str(mib), "console" if in_console else "redirected",
                      show(e2e), show(process), show(raw), show(copy_rate), show(stream_rate),
                      show(e2e / raw * 100, "%.0f%%"), show(e2e / copy_rate * 100, "%.0f%%"),
                      show(bound[mode] / raw * 100, "%.0f%%"),
                      show(e2e / bound[mode] * 100, "%.0f%%"), show(working_set, "%.1f"),
                      show(private, "%.1f")))
        if mib == BIG and not in_console:
            verdicts.append("variant %d: end to end %.0f%% of the raw cipher speed (target %d%%): %s"
                            % (variant, e2e / raw * 100, TARGET_SHARE * 100,
                               "met" if e2e >= TARGET_SHARE * raw else "missed"))
    widths = [max(len(row[i]) for row in table) for i in range(len(table[0]))]
    print()
    for row in table:
        print("  ".join(cell.ljust(w) if i < 4 else cell.rjust(w)
                        for i, (cell, w) in enumerate(zip(row, widths))))
    print()
    for verdict in verdicts:
        print(verdict)
    for variant, by_size in sorted(peaks_by_variant.items()):
        grown = by_size[BIG] - by_size[SMALL]
        print("variant %d: peak working set %.1f MiB at %d MiB, %.1f MiB at %d MiB (%+.1f MiB)"
              % (variant, by_size[SMALL], SMALL, by_size[BIG], BIG, grown))
    return 0


def run_bench(name, bench_main):
    """Runs a benchmark's main with the test prefix's wineserver kept up, and exits with 1 and
    the message of a BenchError."""
    start_script = os.path.join(ROOT, "tests", "wine-prefix.sh")
    subprocess.run([start_script, "start"], env=wine_env(), check=True)
    try:
        sys.exit(bench_main())
    except BenchError as error:
        print("%s: %s" % (name, error), file=sys.stderr)
        sys.exit(1)
    finally:
        subprocess.run([start_script, "stop"], env=wine_env(), stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL)


if __name__ == "__main__":
    run_bench("decrypt_bench", main)
