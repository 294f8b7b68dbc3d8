#!/usr/bin/env bash
# Runs a Windows program of the build under Wine in the test prefix.
export WINEDEBUG="${WINEDEBUG:--all}"
: "${WINEPREFIX:?WINEPREFIX must name the test prefix}"
exec wine "$@"
