#!/usr/bin/env bash
# Walks generated trees (10,000 and 100,000 files by default; SIZES="..." to choose) with the
# directory walker under Wine, and prints entries per second and peak memory for each.
# Build first (scripts/test.sh or cmake --build build).
set -euo pipefail
cd "$(dirname "$0")/.."
root="$PWD"
build="${BUILD_DIR:-$root/build}"
export WINEPREFIX="$build/wineprefix" WINEDEBUG=-all
"$root/tests/wine-prefix.sh" start
work="$(mktemp -d)"
trap 'rm -rf "$work"; "$root/tests/wine-prefix.sh" stop' EXIT

for files in ${SIZES:-10000 100000}; do
    tree="$work/tree-$files"
    # 1,000 files a directory, in directories two levels deep: a/b/fNNNN.
    python3 - "$tree" "$files" <<'PY'
import os, sys
root, files = sys.argv[1], int(sys.argv[2])
for i in range(files):
    directory = os.path.join(root, "d%03d" % (i // 10000), "e%03d" % (i // 1000 % 10))
    if i % 1000 == 0:
        os.makedirs(directory, exist_ok=True)
    open(os.path.join(directory, "f%04d.dat" % (i % 1000)), "wb").close()
PY
    echo "== $files files"
    wine "$build/bench/walk_bench.exe" "Z:${tree//\//\\}"
    rm -rf "$tree"
done
