#!/usr/bin/env bash
# run-at-dpi.sh DPI PROGRAM [ARGS...]
# Runs a Windows test program in a Wine prefix of its own whose screen is set to
# DPI dots per inch (HKCU\Control Panel\Desktop\LogPixels), so that the shared
# test prefix keeps its 96. The prefix is made once under the test environment
# and reused; its wineserver is ended on the way out.
set -euo pipefail
dpi=$1
shift
# shellcheck disable=SC1091
. "$TARNWICK_TESTENV/env.sh"
prefix=$TARNWICK_TESTENV/prefix-dpi$dpi
export WINEPREFIX=$prefix
trap 'wineserver -k >/dev/null 2>&1 || true' EXIT
if [ ! -f "$prefix/.layout-ready" ]; then
  rm -rf "$prefix"
  wineboot -i >/dev/null 2>&1
  wine reg add 'HKCU\Software\Wine' /v Version /d win10 /f >/dev/null 2>&1
  wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$dpi" /f >/dev/null 2>&1
  wineserver -w
  touch "$prefix/.layout-ready"
fi
TARNWICK_LAYOUT_DPI=$dpi wine "$@"
