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
    # The first process of a server starts Wine's services, which inherit its standard
    # handles and live as long as the server: started from a test, they would hold that
    # test's output pipe open and ctest would wait for it for ever.
    wine cmd.exe /c exit >/dev/null 2>&1 </dev/null
    ;;
stop)
    wineserver -k || true
    ;;
esac
