#!/usr/bin/env bash
# Creates the test prefix on first use and starts (or stops) its persistent wineserver.
set -euo pipefail
: "${WINEPREFIX:?}"
export WINEDEBUG=-all
case "$1" in
start)
    if [ ! -f "$WINEPREFIX/system.reg" ]; then
        wineboot -i >/dev/null 2>&1 </dev/null
        wineserver -w >/dev/null 2>&1 </dev/null
    fi
    # Exit code 2: a server for this prefix is already running, which will do.
    wineserver -p >/dev/null 2>&1 </dev/null || [ $? -eq 2 ]
    # The first program of a session starts its services (services.exe, winedevice.exe, ...),
    # which inherit that program's standard handles: started by a test, they would hold its
    # output pipe open and ctest would wait for them forever. A throw-away program starts them.
    wine cmd /c exit 0 >/dev/null 2>&1 </dev/null || true
    ;;
stop)
    wineserver -k || true
    ;;
esac
