#!/usr/bin/env bash
# Creates the test prefix on first use and starts (or stops) its persistent wineserver.
# BRISTOKE_ARCH is the build's architecture: the 32-bit build gets a 32-bit prefix, as a 32-bit
# Windows, the 64-bit one a 64-bit prefix, which runs both where the machine can. Where the
# 32-bit build runs through the emulator it gets a 64-bit prefix too (prefix_arch in
# scripts/builds.sh).
set -euo pipefail
: "${WINEPREFIX:?}"
# shellcheck source=scripts/builds.sh
. "$(dirname "$0")/../scripts/builds.sh"
export WINEDEBUG=-all BRISTOKE_ARCH="${BRISTOKE_ARCH:-x86_64}"
run="$BRISTOKE_SCRIPTS/windows-run.sh"
winearch=win64
if [ "$(prefix_arch "$BRISTOKE_ARCH")" = i686 ]; then winearch=win32; fi
case "$1" in
start)
    # A prefix made where the build ran the other way (a machine played in
    # scripts/i386-namespace.sh refuse) is made again.
    if [ -f "$WINEPREFIX/system.reg" ] && ! grep -qx "#arch=$winearch" "$WINEPREFIX/system.reg"; then
        rm -rf "$WINEPREFIX"
    fi
    if [ ! -f "$WINEPREFIX/system.reg" ]; then
        WINEARCH="$winearch" "$run" wineboot -i >/dev/null 2>&1 </dev/null
        wineserver -w >/dev/null 2>&1 </dev/null
        # Where 32-bit programs run only through the emulator, the 32-bit half of a 64-bit
        # prefix (syswow64) stays empty: wineboot's step for it runs the 32-bit loader through
        # the kernel, which refuses it. The same step, run through the emulator, fills it.
        if [ "$winearch" = win64 ] && [ "$(run_way i686 || true)" = "through the emulator" ] &&
            [ ! -f "$WINEPREFIX/drive_c/windows/syswow64/kernel32.dll" ]; then
            (cd "$WINEPREFIX/drive_c/windows/syswow64" && WINEBOOTSTRAPMODE=1 "$run" \
                /usr/lib/i386-linux-gnu/wine/i386-windows/rundll32.exe \
                setupapi,InstallHinfSection Wow64Install 128 '\\?\Z:\usr\share\wine\wine.inf' \
                >/dev/null 2>&1 </dev/null)
            wineserver -w >/dev/null 2>&1 </dev/null
        fi
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
