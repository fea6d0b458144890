#!/usr/bin/env bash
# Starts and stops the hermetic Wine environment of one test run.
#   testenv.sh start DIR   fresh 64-bit prefix (win10) and 32-bit prefix, HOME, Xvfb
#   testenv.sh stop DIR    ends the prefixes' wineservers and the Xvfb it started
# Tests read the variables from DIR/env.sh; DIR/prefix32.sh, where it exists, switches
# to the 32-bit prefix.
set -euo pipefail
cmd=$1
dir=$(mkdir -p "$2" && cd "$2" && pwd)

wine_common() {
  cat <<ENV
export PATH='$dir/bin':"\$PATH"
export TARNWICK_TEST_ARCH='$arch'
export HOME='$dir/home'
export XDG_CONFIG_HOME='$dir/home/.config' XDG_CACHE_HOME='$dir/home/.cache' XDG_DATA_HOME='$dir/home/.local/share'
export WINEDEBUG=-all
export WINEDLLOVERRIDES='mscoree,mshtml='
unset WINEARCH http_proxy https_proxy HTTP_PROXY HTTPS_PROXY no_proxy NO_PROXY
ENV
}

make_prefix() {  # prefix-dir [win32]
  local prefix=$1 arch=${2:-}
  (
    # shellcheck disable=SC1091
    . "$dir/env.sh"
    export WINEPREFIX=$prefix
    [ -n "$arch" ] && export WINEARCH=$arch
    wineboot -i >/dev/null 2>&1
    wine reg add 'HKCU\Software\Wine' /v Version /d win10 /f >/dev/null 2>&1
    wineserver -w
  )
}

stop_all() {
  local p
  for p in "$dir/prefix" "$dir/prefix32"; do
    [ -d "$p" ] && WINEPREFIX=$p wineserver -k >/dev/null 2>&1 || true
  done
  if [ -f "$dir/xvfb.pid" ]; then
    kill "$(cat "$dir/xvfb.pid")" 2>/dev/null || true
    rm -f "$dir/xvfb.pid"
  fi
}

here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=../../scripts/lib/wineenv.sh
. "$here/../../scripts/lib/wineenv.sh"
arch=$(bash "$here/arch.sh")

case $cmd in
  start)
    stop_all
    rm -rf "$dir/prefix" "$dir/prefix32" "$dir/home" "$dir/bin"
    mkdir -p "$dir/home"
    trap 'stop_all' ERR   # a failed start leaves nothing running
    wineenv_make_shims "$dir" "$arch"
    wineenv_start_xvfb "$dir"
    display=$DISPLAY
    { wine_common; echo "export DISPLAY='$display'"; echo "export WINEPREFIX='$dir/prefix'"; } > "$dir/env.sh"
    make_prefix "$dir/prefix"
    if [ "$arch" = i686 ]; then
      echo "export WINEPREFIX='$dir/prefix32'" > "$dir/prefix32.sh"
      make_prefix "$dir/prefix32" win32
    else
      # No 32-bit prefix where 32-bit code cannot run: tests that need one skip themselves.
      rm -f "$dir/prefix32.sh"
    fi
    echo "testenv: ready in $dir (display $display)"
    ;;
  stop)
    stop_all
    echo "testenv: stopped"
    ;;
  *) echo "usage: testenv.sh start|stop DIR" >&2; exit 2 ;;
esac
