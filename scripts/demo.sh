#!/usr/bin/env bash
# Sets up, builds and runs the tool under Wine on a sample directory, in this terminal.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/setup.sh
cmake -S . -B build -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake >/dev/null
cmake --build build
export WINEPREFIX="$PWD/build/wineprefix" WINEDEBUG=-all
root="$PWD"
"$root/tests/wine-prefix.sh" start
trap '"$root/tests/wine-prefix.sh" stop' EXIT

demo="$PWD/build/demo"
rm -rf "$demo"
mkdir -p "$demo/samples/nested"
echo "a plain text file" >"$demo/samples/readme.txt"
echo "another one" >"$demo/samples/nested/notes.txt"
cd "$demo"
echo "[demo] running the tool on $demo/samples (it lists what it finds; the log lands in $demo)"
wine ../BristokeDecryptor.exe "Z:${demo//\//\\}\\samples" || true
