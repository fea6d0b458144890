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

start_xvfb() {
  local fdfile="$dir/xvfb.display"
  rm -f "$fdfile"
  Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$fdfile" >/dev/null 2>&1 &
  echo $! > "$dir/xvfb.pid"
  for _ in $(seq 100); do
    [ -s "$fdfile" ] && break
    sleep 0.1
  done
  [ -s "$fdfile" ] || { echo "testenv: Xvfb did not start" >&2; exit 1; }
  echo ":$(head -n1 "$fdfile")"
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

# Where the kernel cannot execute 32-bit code, Debian's wine wrapper still picks the
# 32-bit loader; the shims call the 64-bit one directly, and there is no 32-bit prefix.
make_shims() {
  mkdir -p "$dir/bin"
  local loader=/usr/lib/wine/wine
  [ "$arch" = i686 ] || loader=/usr/lib/wine/wine64
  printf '#!/bin/sh\nexec %s "$@"\n' "$loader" > "$dir/bin/wine"
  printf '#!/bin/sh\nexec wine wineboot.exe "$@"\n' > "$dir/bin/wineboot"
  chmod +x "$dir/bin/wine" "$dir/bin/wineboot"
}

arch=$(bash "$(dirname "$0")/arch.sh")

case $cmd in
  start)
    stop_all
    rm -rf "$dir/prefix" "$dir/prefix32" "$dir/home" "$dir/bin"
    mkdir -p "$dir/home"
    trap 'stop_all' ERR   # a failed start leaves nothing running
    make_shims
    display=$(start_xvfb)
    { wine_common; echo "export DISPLAY='$display'"; echo "export WINEPREFIX='$dir/prefix'"; } > "$dir/env.sh"
    make_prefix "$dir/prefix"
    if [ "$arch" = i686 ]; then
      echo "export WINEPREFIX='$dir/prefix32'" > "$dir/prefix32.sh"
      make_prefix "$dir/prefix32" win32
    else
      rm -f "$dir/prefix32.sh"   # tests that need a 32-bit prefix skip themselves
    fi
    echo "testenv: ready in $dir (display $display)"
    ;;
  stop)
    stop_all
    echo "testenv: stopped"
    ;;
  *) echo "usage: testenv.sh start|stop DIR" >&2; exit 2 ;;
esac
