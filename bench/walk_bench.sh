#!/usr/bin/env bash
# Walks generated trees (10,000 and 100,000 files by default; SIZES="..." to choose) under Wine
# and prints, for each, files per second and peak memory of:
#   walker       the directory walker alone (bench/walk_bench.exe; memory from the process)
#   list_tree    a plain recursive search of the same tree, paths counted, not printed
#                (bench/list_tree.cpp), and
#   dir /s /b    a recursive listing by Wine's cmd, paths printed, for comparison
#   tool /f /n   the tool listing every file (walk and one log line a file, no scan, no file
#                opened: identities and sizes come with the listing)
#   tool /n      the tool listing the infected files (walk and scan: most files are opened)
#   tool /s      the tool cleaning (walk, scan, and the family's files cleaned)
# Peak memory of whole processes is the maximum resident set (/usr/bin/time), which includes
# Wine's own; it must not grow with the tree, but for a forced run's identity of each file (about
# 60 bytes a file). A tree holds 1,000 files a directory, two levels deep, with assorted
# extensions, every tenth file 700 bytes (the rest empty), and 20 of the family's files. Build
# first (scripts/test.sh).
set -euo pipefail
cd "$(dirname "$0")/.."
root="$PWD"
# shellcheck source=scripts/builds.sh
. scripts/builds.sh
arch="$(suite_arch)"
build="${BUILD_DIR:-$root/build/$arch}"
export WINEPREFIX="$build/wineprefix" WINEDEBUG=-all BRISTOKE_ARCH="$arch"
run="$root/scripts/windows-run.sh"
"$root/tests/wine-prefix.sh" start
work="$(mktemp -d)"
trap 'rm -rf "$work"; "$root/tests/wine-prefix.sh" stop' EXIT
winpath() { echo "Z:${1//\//\\}"; }

# The family's files, once: five of each variant.
mkdir -p "$work/plain" "$work/family"
for n in $(seq 1 5); do head -c $((1000 * n)) /dev/urandom >"$work/plain/doc$n.xls"; done
for variant in 1 3 4 5; do
    mkdir -p "$work/family/$variant"
    "$run" "$build/BristokeSampleWriter.exe" --keys "$(winpath "$build/key_database/key_blobs.txt")" \
        --out "$(winpath "$work/family/$variant")" --variant "$variant" \
        $(for f in "$work"/plain/*; do winpath "$f"; done) >/dev/null
done
tool="$work/BristokeDecryptor-bench.exe"
cp "$build/BristokeDecryptor.exe" "$tool"

# Prints the name, files per second, seconds and peak memory of a command run in the work
# directory with /usr/bin/time (the tool's log goes there).
measure() {
    local name="$1" files="$2"
    shift 2
    (cd "$work" && /usr/bin/time -f "%e %M" "$@" >/dev/null 2>"$work/time.txt") || true
    awk -v name="$name" -v files="$files" 'END {
        printf "  %-12s %9.0f files/s  %6.2f s  peak RSS %7d KiB\n", name, files / $1, $1, $2
    }' "$work/time.txt"
}

for files in ${SIZES:-10000 100000}; do
    tree="$work/tree-$files"
    python3 - "$tree" "$files" "$work/family" <<'PY'
import os, shutil, sys
root, files, family = sys.argv[1], int(sys.argv[2]), sys.argv[3]
extensions = [".txt", ".doc", ".jpg", ".pdf", ".dat", ".xls", "", ".brsk", ".BRSK.bak"]
for i in range(files):
    directory = os.path.join(root, "d%03d" % (i // 10000), "e%03d" % (i // 1000 % 10))
    if i % 1000 == 0:
        os.makedirs(directory, exist_ok=True)
    with open(os.path.join(directory, "f%06d%s" % (i, extensions[i % len(extensions)])), "wb") as f:
        f.write(b"x" * 700 if i % 10 == 3 else b"")
samples = sorted(os.path.join(d, n) for d, _, names in os.walk(family) for n in names)
for n, sample in enumerate(samples):
    directory = os.path.join(root, "d%03d" % (n % max(1, files // 10000)), "e%03d" % (n % 10))
    shutil.copy(sample, os.path.join(directory, "v%d-%s" % (n, os.path.basename(sample))))
PY
    total=$(find "$tree" -type f | wc -l)
    echo "== $files files ($total with the family's)"
    "$run" "$build/bench/walk_bench.exe" "$(winpath "$tree")" | sed 's/^/  walker: /'
    listed=$("$run" cmd /c dir /s /b "$(winpath "$tree")" | wc -l)
    echo "  dir /s /b listed $listed entries"
    measure "walker" "$total" "$run" "$build/bench/walk_bench.exe" "$(winpath "$tree")"
    measure "list_tree" "$total" "$run" "$build/bench/list_tree.exe" "$(winpath "$tree")"
    measure "dir /s /b" "$total" "$run" cmd /c dir /s /b "$(winpath "$tree")"
    measure "tool /f /n" "$total" "$run" "$tool" /f /n "$(winpath "$tree")"
    measure "tool /n" "$total" "$run" "$tool" /n "$(winpath "$tree")"
    measure "tool /s" "$total" "$run" "$tool" /s "$(winpath "$tree")"
    rm -f "$work"/*.log
    rm -rf "$tree"
done
