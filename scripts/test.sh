#!/usr/bin/env bash
# Sets up the machine, builds with warnings as errors and runs every test.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/setup.sh
cmake -S . -B build -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake -DBRISTOKE_WERROR=ON >/dev/null
cmake --build build
# Tests labelled "long" (a 5 GiB file, a tree of 100,000 files) run only with LONG_TESTS=1.
long=(-LE long)
if [ "${LONG_TESTS:-0}" = 1 ]; then
    long=()
fi
ctest --test-dir build --output-on-failure -j2 "${long[@]}" "$@"
