#!/usr/bin/env bash
# Runs a command in a private user and mount namespace whose kernel hands every 32-bit (i386)
# Linux program to QEMU's user-mode emulator (emulate), or refuses every one (refuse), as a
# machine that cannot execute 32-bit programs does.
#   i386-namespace.sh emulate|refuse COMMAND [ARGS...]
# The rule lives in the namespace's own binfmt_misc (Linux 6.7 or later) and vanishes with it:
# the machine's rules and mounts stay as they were. A refusing namespace plays another machine,
# so it also gets its own record of how the builds run (an empty $BRISTOKE_DEPS/machine, which
# scripts/probe-builds.sh fills), leaving the machine's own. The command's exit code is the
# script's, and BRISTOKE_I386_NAMESPACE tells it which namespace it runs in.
set -euo pipefail
# shellcheck source=scripts/builds.sh
. "$(dirname "$0")/builds.sh"

case "${1:-}" in
emulate)
    interpreter="$(command -v qemu-i386)" || {
        echo "i386-namespace: qemu-i386 is missing (scripts/setup.sh installs it)" >&2
        exit 1
    }
    export QEMU_RESERVED_VA="$EMULATOR_RESERVED_VA"
    records=""
    ;;
refuse)
    interpreter=/bin/false
    records="$BRISTOKE_DEPS/machine"
    mkdir -p "$records"
    ;;
*)
    echo "usage: i386-namespace.sh emulate|refuse COMMAND [ARGS...]" >&2
    exit 2
    ;;
esac
export BRISTOKE_I386_NAMESPACE="$1"
shift

# The header of an ELF32 little-endian executable or shared object for i386 (e_machine 3).
magic='\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00'
mask='\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff'
# shellcheck disable=SC2016 # expanded by the inner shell
exec unshare --user --map-root-user --mount bash -c '
    if ! mount -t binfmt_misc binfmt_misc /proc/sys/fs/binfmt_misc 2>/dev/null; then
        echo "i386-namespace: this kernel gives a namespace no binfmt_misc of its own" \
            "(Linux 6.7 or later does)" >&2
        exit 1
    fi
    echo ":i386:M::$1:$2:$3:F" >/proc/sys/fs/binfmt_misc/register
    if [ -n "$4" ]; then mount -t tmpfs -o size=1m bristoke-machine "$4"; fi
    shift 4
    exec "$@"' i386-namespace "$magic" "$mask" "$interpreter" "$records" "$@"
