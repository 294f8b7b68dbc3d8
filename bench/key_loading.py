#!/usr/bin/env python3
"""Benchmark: the cleaner's Init in the real tool with 10, 100 and 1,000 keys in the resource.

Each size runs a copy of BristokeDecryptor.exe whose RCDATA 101 holds N keys, with the switch /s
and an empty path argument: the tool starts, initialises the cleaner, walks nothing and ends.
From its log: key loading is the time between the stamps of "Loading keys, please wait..." and
"Supported file extensions", Init the time up to "Looking for infected files..." (key loading,
backup counter and work buffer). The whole run is the process's wall time under Wine. Before the
timed runs, one run cleans a file encrypted under the last of the N keys, which shows that every
key was imported. The RSA-2048 keys are generated once into BUILD/bench-cache/keys/ and reused.
Usage: bench/key_loading.py [--runs 5] [--build DIR]
"""
import argparse
import concurrent.futures
import datetime
import glob
import os
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

SOURCE = os.path.abspath(os.path.join(os.path.dirname(__file__), ".."))
sys.path.insert(0, os.path.join(SOURCE, "scripts"))
from windows_run import command, default_build, pe_arch, win_path  # noqa: E402

PRODUCER = os.path.join(SOURCE, "tools", "key_database", "make_key_database.py")
SIZES = (10, 100, 1000)
LOADING = "INFO: Loading keys, please wait..."
SUPPORTED = "INFO: Supported file extensions : "
LOOKING = "INFO: Looking for infected files..."


def ensure_keys(cache, count):
    os.makedirs(cache, exist_ok=True)
    paths = [os.path.join(cache, "key-%04d.pem" % i) for i in range(count)]
    missing = [p for p in paths if not os.path.exists(p)]
    if missing:
        print("generating %d RSA-2048 keys into %s (once)" % (len(missing), cache), flush=True)

    def generate(path):
        subprocess.run(["openssl", "genpkey", "-algorithm", "RSA", "-pkeyopt",
                        "rsa_keygen_bits:2048", "-out", path + ".tmp"], check=True,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.replace(path + ".tmp", path)

    with concurrent.futures.ThreadPoolExecutor(os.cpu_count() or 2) as pool:
        list(pool.map(generate, missing))
    return paths


def database_for(cache, keys):
    """The scrambled resource of the keys and the same keys as Base64 blob lines."""
    resource = os.path.join(cache, "..", "keys-%d.bin" % len(keys))
    blobs = resource + ".blobs"
    if not os.path.exists(resource) or not os.path.exists(blobs):
        key_list = resource + ".list"
        with open(key_list, "w") as f:
            f.write("\n".join(keys) + "\n")
        subprocess.run([sys.executable, PRODUCER, key_list, "--out", resource, "--blobs", blobs],
                       check=True)
    return resource, blobs


class Tool:
    def __init__(self, build, env, work, size):
        self.env = env
        self.work = work
        self.exe = os.path.join(work, "decryptor-%d.exe" % size)
        self.runs = 0
        shutil.copy(os.path.join(build, "BristokeDecryptor.exe"), self.exe)

    def run(self, *args):
        """Exit code, wall seconds and log lines (stamp, text) of one run in a fresh directory."""
        self.runs += 1
        cwd = os.path.join(self.work, "%s-run%d" % (os.path.basename(self.exe), self.runs))
        os.makedirs(cwd)
        start = time.perf_counter()
        proc = subprocess.run(command(self.exe, *args), cwd=cwd, env=self.env,
                              stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL)
        wall = time.perf_counter() - start
        (log,) = glob.glob(os.path.join(cwd, "*.log"))
        with open(log, "rb") as f:
            text = f.read()[2:].decode("utf-16-le")
        lines = []
        for line in text.split("\r\n")[:-1]:
            stamp, _, message = line.partition("] - ")
            lines.append((datetime.datetime.strptime(stamp[1:], "%Y.%m.%d %H:%M:%S.%f"), message))
        return proc.returncode, wall, lines


def stamp_of(lines, head):
    for stamp, text in lines:
        if text.startswith(head):
            return stamp
    raise SystemExit("no log line %r" % head)


def check_every_key_loaded(tool, build, blobs, size):
    """Cleans a file encrypted under the last key: loading stops at the first key that fails."""
    files = os.path.join(tool.work, "files-%d" % size)
    os.makedirs(files)
    plain = os.path.join(files, "plain.txt")
    with open(plain, "w") as f:
        f.write("benchmark\n")
    subprocess.run(command(os.path.join(build, "BristokeSampleWriter.exe"), "--keys",
                           win_path(blobs), "--out", win_path(files), "--key", str(size - 1),
                           win_path(plain)), env=tool.env, check=True, stdout=subprocess.DEVNULL)
    os.remove(plain)
    rc, _, lines = tool.run("/s", win_path(files))
    if rc != 0 or "INFO: 1 file(s) cleaned." not in [text for _, text in lines]:
        raise SystemExit("the tool with %d keys did not open a file of its last key" % size)


def milliseconds(delta):
    return delta.total_seconds() * 1000


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--build", default=default_build(SOURCE))
    parser.add_argument("--runs", type=int, default=5)
    args = parser.parse_args()
    build = os.path.abspath(args.build)
    env = dict(os.environ, WINEPREFIX=os.path.join(build, "wineprefix"), WINEDEBUG="-all",
               BRISTOKE_ARCH=pe_arch(os.path.join(build, "BristokeDecryptor.exe")))
    cache = os.path.join(build, "bench-cache", "keys")
    keys = ensure_keys(cache, max(SIZES))
    # A server that outlives each run by five seconds, then ends by itself; one already running
    # for this prefix (exit code 2) is used as it is.
    subprocess.run(["wineserver", "-p5"], env=env, stdout=subprocess.DEVNULL,
                   stderr=subprocess.DEVNULL)
    # The session's services inherit the standard handles of the program that starts them: a
    # throw-away program starts them, so they never hold a run's output pipe open.
    subprocess.run(command("cmd", "/c", "exit", "0"), env=env, stdin=subprocess.DEVNULL,
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    work = tempfile.mkdtemp(prefix="bristoke-bench-")
    try:
        print("median of %d runs, ms" % args.runs)
        print("%6s %12s %12s %12s %12s %12s" % ("keys", "resource", "key loading", "Init",
                                                "whole run", "loading/key"))
        for size in SIZES:
            resource, blobs = database_for(cache, keys[:size])
            tool = Tool(build, env, work, size)
            subprocess.run(command(os.path.join(build, "BristokeResourceTool.exe"), "set",
                                   win_path(tool.exe), win_path(resource)), env=env, check=True)
            check_every_key_loaded(tool, build, blobs, size)
            loading, init, whole = [], [], []
            for _ in range(args.runs):
                rc, wall, lines = tool.run("/s", "")
                if rc != 0:
                    raise SystemExit("the tool with %d keys ended with %d" % (size, rc))
                start = stamp_of(lines, LOADING)
                loading.append(milliseconds(stamp_of(lines, SUPPORTED) - start))
                init.append(milliseconds(stamp_of(lines, LOOKING) - start))
                whole.append(wall * 1000)
            print("%6d %10d B %12.0f %12.0f %12.0f %12.2f" % (
                size, os.path.getsize(resource), statistics.median(loading),
                statistics.median(init), statistics.median(whole),
                statistics.median(loading) / size), flush=True)
    finally:
        shutil.rmtree(work, ignore_errors=True)
    return 0


if __name__ == "__main__":
    sys.exit(main())
