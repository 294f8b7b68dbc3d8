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
    # Start the prefix's services now: started by the first test's process instead, they
    # would inherit its output pipe and keep ctest waiting for it until the server stops.
    wineboot >/dev/null 2>&1 </dev/null
    ;;
stop)
    wineserver -k || true
    ;;
esac
