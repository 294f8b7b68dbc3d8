#!/usr/bin/env bash
# Sets up the machine, builds both architectures with warnings as errors, checks both
# executables' import tables, and runs every test on the build this machine runs natively: the
# 32-bit one where it can, the 64-bit one where it cannot. Where it cannot but QEMU's user-mode
# emulator runs the 32-bit build (scripts/setup.sh finds out), the 32-bit build's core (ctest
# label emulated-core) and the demo follow, through the emulator. BRISTOKE_TEST_ARCH=i686|x86_64
# chooses the suite's build, natively or emulated. Extra arguments go to ctest
# (scripts/test.sh -R e2e).
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/setup.sh
# shellcheck source=scripts/builds.sh
. scripts/builds.sh
arch="$(suite_arch)"
core=""
if [ "$arch" != i686 ] && [ "$(run_way i686 || true)" = "through the emulator" ]; then
    core=i686
fi
say() { printf '[test] %s\n' "$*"; }
suite="the suite on the $(arch_name "$arch") build (build/$arch), $(run_way "$arch")"
core_line="the core of the $(arch_name i686) build's tests (build/i686, label emulated-core) and the demo, $(run_way i686)"
if [ -n "$core" ]; then say "$suite; then $core_line"; else say "$suite"; fi
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
verdict() { if [ "$1" -eq 0 ]; then echo passed; else echo FAILED; fi; }
set +e
run_for "$arch" ctest --preset "$preset" "$@"
rc=$?
ending="$suite: $(verdict $rc)"
if [ -n "$core" ]; then
    say "$core_line"
    run_for i686 ctest --preset "i686" -L emulated-core "$@"
    core_rc=$?
    BRISTOKE_TEST_ARCH=i686 scripts/demo.sh </dev/null
    demo_rc=$?
    ending+="; $core_line: $(verdict $core_rc), demo $(verdict $demo_rc)"
    rc=$((rc | core_rc | demo_rc))
fi
set -e
say "$ending"
exit "$rc"
