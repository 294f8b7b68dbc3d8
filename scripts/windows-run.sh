#!/usr/bin/env bash
# Runs a Windows program under Wine with the loader of its own architecture.
#   windows-run.sh PROGRAM [ARGS...]
# PROGRAM is a PE file, or one of Wine's own programs (cmd, reg, wineboot, ...), which run with
# the architecture of the test prefix of the build in BRISTOKE_ARCH (x86_64 unless set).
# Debian's `wine` wrapper is not used: it takes the 32-bit loader whenever wine32 is installed,
# even where the kernel cannot run it.
# Where the kernel cannot, and scripts/probe-builds.sh found that the emulator can, a 32-bit
# program runs through QEMU's user-mode emulator: the loader is a 64-bit process then.
set -euo pipefail
# shellcheck source=scripts/builds.sh
. "$(dirname "$0")/builds.sh"
export WINEDEBUG="${WINEDEBUG:--all}"
: "${WINEPREFIX:?WINEPREFIX must name the prefix to run in}"

pe_arch() { # file: i686 or x86_64, from the machine field of its PE header
    local header machine
    header=$(od -An -tu4 -j60 -N4 "$1" | tr -d ' ')
    machine=$(od -An -tu2 -j$((header + 4)) -N2 "$1" | tr -d ' ')
    case "$machine" in
    332) echo i686 ;;
    34404) echo x86_64 ;;
    *) echo "windows-run: $1 is not a 32- or 64-bit Windows program" >&2; return 1 ;;
    esac
}

if [ -f "$1" ]; then
    arch=$(pe_arch "$1")
else
    arch="$(prefix_arch "${BRISTOKE_ARCH:-x86_64}")"
fi
case "$arch" in
i686) loader=/usr/lib/wine/wine ;;
x86_64) loader=/usr/lib/wine/wine64 ;;
*) echo "windows-run: unknown architecture $arch" >&2; exit 2 ;;
esac
export WINELOADER="$loader"
case "$(run_way "$arch")" in
natively) exec "$loader" "$@" ;;
"through the emulator")
    # The loader would re-execute itself through the kernel, which refuses it. Both variables
    # reach the program's children, which the kernel hands to qemu in scripts/i386-namespace.sh.
    export WINELOADERNOEXEC=1 QEMU_RESERVED_VA="$EMULATOR_RESERVED_VA"
    # Wine's debugger, started for a process that crashes, cannot attach to an emulated one and
    # waits for ever: the process just ends.
    export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:+$WINEDLLOVERRIDES;}winedbg.exe=d"
    exec qemu-i386 "$loader" "$@"
    ;;
esac
echo "windows-run: this machine cannot run $(arch_name "$arch") programs" >&2
exit 2
