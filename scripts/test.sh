#!/usr/bin/env bash
# Sets up the machine, builds both architectures with warnings as errors, checks both
# executables' import tables, and runs every test on the build this machine runs: the 32-bit one
# where it can, the 64-bit one where it cannot. BRISTOKE_TEST_ARCH=i686|x86_64 chooses.
# Extra arguments go to ctest (scripts/test.sh -R e2e).
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/setup.sh
# shellcheck source=scripts/builds.sh
. scripts/builds.sh
arch="$(suite_arch)"
say() { printf '[test] %s\n' "$*"; }
say "the suite runs on the $(arch_name "$arch") build, build/$arch"
for build_arch in i686 x86_64; do
    configure_build "$build_arch" -DBRISTOKE_WERROR=ON
    cmake --build --preset "$build_arch"
done
for build_arch in i686 x86_64; do
    if [ "$build_arch" != "$arch" ]; then
        say "reading the $(arch_name "$build_arch") build's binaries (build/$build_arch)"
        ctest --test-dir "build/$build_arch" --output-on-failure -L binary
    fi
done
# Tests labelled "long" (a 5 GiB file, a tree of 100,000 files, the release of both
# architectures built twice) run only with LONG_TESTS=1.
# The presets give a test that hangs 15 minutes before it fails, instead of holding the run.
preset="$arch"
if [ "${LONG_TESTS:-0}" = 1 ]; then
    preset="$arch-all"
fi
set +e
ctest --preset "$preset" "$@"
rc=$?
set -e
say "the suite ran on the $(arch_name "$arch") build, build/$arch"
exit "$rc"
