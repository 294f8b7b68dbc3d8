#!/usr/bin/env bash
# Finds out how this machine runs each build and writes it to $BRISTOKE_DEPS/machine:
# native-builds (the builds whose programs the kernel runs) and emulated-builds (the 32-bit one,
# where the kernel refuses 32-bit programs but QEMU's user-mode emulator runs Wine's 32-bit
# loader for it). Says what it found in one line; fails when no build runs at all.
set -euo pipefail
scripts="$(cd "$(dirname "$0")" && pwd)"
# shellcheck source=scripts/builds.sh
. "$scripts/builds.sh"
SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi

log() { printf '[setup] %s\n' "$*"; }
if [ "${BRISTOKE_I386_NAMESPACE:-}" = emulate ]; then
    echo "probe-builds: the kernel hands every 32-bit program to the emulator in this namespace" \
        "(scripts/i386-namespace.sh emulate): run it outside" >&2
    exit 1
fi

# Each of Wine's loaders is itself a program of its architecture, and some kernels refuse every
# 32-bit one whatever their configuration says.
native=()
declare -A loader=([i686]=/usr/lib/wine/wine [x86_64]=/usr/lib/wine/wine64)
for arch in i686 x86_64; do
    if "${loader[$arch]}" --version >/dev/null 2>&1; then native+=("$arch"); fi
done
# The emulated way is the one the tests take: a namespace whose kernel hands the loader to qemu.
emulated=()
why=""
if [[ " ${native[*]} " != *" i686 "* ]]; then
    if why="$("$scripts/i386-namespace.sh" emulate "${loader[i686]}" --version 2>&1 >/dev/null)"
    then
        emulated+=(i686)
    fi
    why="${why##*$'\n'}"
fi

$SUDO mkdir -p "$BRISTOKE_DEPS/machine"
# Programs of the builds read these records at every start, also while a release (which runs
# setup, and so this probe) is made beside running tests: a record is replaced in one rename,
# and only when it changes, so that no reader ever meets it empty.
record() { # name content
    local file="$BRISTOKE_DEPS/machine/$1" new
    if [ -f "$file" ] && [ "$(cat "$file")" = "$2" ]; then return; fi
    new="$($SUDO mktemp "$file.XXXXXX")"
    echo "$2" | $SUDO tee "$new" >/dev/null
    $SUDO chmod 644 "$new"
    $SUDO mv -f "$new" "$file"
}
record native-builds "${native[*]}"
record emulated-builds "${emulated[*]}"
case "${native[*]}|${emulated[*]}" in
"i686 x86_64|") log "this machine runs both builds, the 32-bit (i686) and the 64-bit (x86_64) one" ;;
"x86_64|i686")
    log "this machine runs the 64-bit build (x86_64); it cannot execute 32-bit programs, so it" \
        "runs the 32-bit build (i686) through QEMU's user-mode emulator"
    ;;
"x86_64|")
    log "this machine runs the 64-bit build (x86_64) only: it cannot execute 32-bit programs," \
        "nor emulate them (${why:-no reason given})"
    ;;
"i686|") log "this machine runs the 32-bit build (i686) only" ;;
*)
    log "this machine runs neither Wine loader (${loader[*]}): no build of the tool can run here" >&2
    exit 1
    ;;
esac
