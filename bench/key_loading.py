#!/usr/bin/env python3
"""Benchmark: loading the key database at start-up with 10, 100 and 1,000 keys in the resource.

Times LoadKeyTable (what the cleaner's LoadKeys runs during Init) inside copies of
BristokeKeyProbe.exe whose RCDATA 101 holds N keys. The RSA-2048 keys are generated once into
build/bench-cache/keys/ and reused. Usage: bench/key_loading.py [--runs 5] [--build DIR]
"""
import argparse
import concurrent.futures
import os
import shutil
import statistics
import subprocess
import sys
import tempfile

SOURCE = os.path.abspath(os.path.join(os.path.dirname(__file__), ".."))
PRODUCER = os.path.join(SOURCE, "tools", "key_database", "make_key_database.py")
SIZES = (10, 100, 1000)


def win_path(path):
    return "Z:" + os.path.abspath(path).replace("/", "\\")


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
    resource = os.path.join(cache, "..", "keys-%d.bin" % len(keys))
    if not os.path.exists(resource):
        key_list = resource + ".list"
        with open(key_list, "w") as f:
            f.write("\n".join(keys) + "\n")
        subprocess.run([sys.executable, PRODUCER, key_list, "--out", resource], check=True)
    return resource


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--build", default=os.path.join(SOURCE, "build"))
    parser.add_argument("--runs", type=int, default=5)
    args = parser.parse_args()
    build = os.path.abspath(args.build)
    env = dict(os.environ, WINEPREFIX=os.path.join(build, "wineprefix"), WINEDEBUG="-all")
    cache = os.path.join(build, "bench-cache", "keys")
    keys = ensure_keys(cache, max(SIZES))
    # A server that outlives each run by five seconds, then ends by itself; one already running
    # for this prefix (exit code 2) is used as it is.
    subprocess.run(["wineserver", "-p5"], env=env, stdout=subprocess.DEVNULL,
                   stderr=subprocess.DEVNULL)
    # The session's services inherit the standard handles of the program that starts them: a
    # throw-away program starts them, so they never hold a probe's output pipe open.
    subprocess.run(["wine", "cmd", "/c", "exit", "0"], env=env, stdin=subprocess.DEVNULL,
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    work = tempfile.mkdtemp(prefix="bristoke-bench-")
    try:
        print("%6s %12s %12s %12s" % ("keys", "resource", "median ms", "ms per key"))
        for size in SIZES:
            resource = database_for(cache, keys[:size])
            exe = os.path.join(work, "probe-%d.exe" % size)
            shutil.copy(os.path.join(build, "BristokeKeyProbe.exe"), exe)
            subprocess.run(["wine", os.path.join(build, "BristokeResourceTool.exe"), "set",
                            win_path(exe), win_path(resource)], env=env, check=True)
            times = []
            for run in range(args.runs):
                out = subprocess.run(["wine", exe, win_path(os.path.join(work, "%d.log" % run))],
                                     env=env, check=True, stdout=subprocess.PIPE).stdout.decode()
                fields = dict(item.split("=") for item in out.splitlines()[0].split())
                if int(fields["keys"]) != size:
                    raise SystemExit("probe loaded %s keys of %d" % (fields["keys"], size))
                times.append(float(fields["ms"]))
            median = statistics.median(times)
            print("%6d %10d B %12.1f %12.3f" % (size, os.path.getsize(resource), median,
                                                median / size), flush=True)
    finally:
        shutil.rmtree(work, ignore_errors=True)
    return 0


if __name__ == "__main__":
    sys.exit(main())
