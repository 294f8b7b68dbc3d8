#!/usr/bin/env bash
# Creates the test prefix on first use and starts (or stops) its persistent wineserver.
# BRISTOKE_ARCH is the build's architecture: the 32-bit build gets a 32-bit prefix, as a 32-bit
# Windows, the 64-bit one a 64-bit prefix, which runs both where the machine can.
set -euo pipefail
: "${WINEPREFIX:?}"
export WINEDEBUG=-all BRISTOKE_ARCH="${BRISTOKE_ARCH:-x86_64}"
run="$(dirname "$0")/../scripts/windows-run.sh"
case "$1" in
start)
    if [ ! -f "$WINEPREFIX/system.reg" ]; then
        winearch=win64
        if [ "$BRISTOKE_ARCH" = i686 ]; then winearch=win32; fi
        WINEARCH="$winearch" "$run" wineboot -i >/dev/null 2>&1 </dev/null
        wineserver -w >/dev/null 2>&1 </dev/null
    fi
    # Exit code 2: a server for this prefix is already running, which will do.
    wineserver -p >/dev/null 2>&1 </dev/null || [ $? -eq 2 ]
    # The first process of a server starts Wine's services, which inherit its standard
    # handles and live as long as the server: started from a test, they would hold that
    # test's output pipe open and ctest would wait for it for ever.
    "$run" cmd.exe /c exit >/dev/null 2>&1 </dev/null
    # Some of the 64-bit prefix's services come up a moment later, started by whichever process
    # runs next: one more throw-away process, once they are up, keeps them off the tests.
    sleep 1
    "$run" cmd.exe /c exit >/dev/null 2>&1 </dev/null
    ;;
stop)
    wineserver -k || true
    ;;
esac
