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
    # The first Wine process boots the session's services, which keep its standard handles open
    # for as long as the server runs. Boot them here, away from any test's output pipe, or ctest
    # waits for that pipe to close, which never happens.
    wine cmd /c exit >/dev/null 2>&1 </dev/null
    ;;
stop)
    wineserver -k || true
    ;;
esac
