# Shared by scripts/run.sh and scripts/screenshots.sh: a private Wine prefix and
# HOME under a folder of the build, and a private Xvfb when asked for.
# Source it, then call wineenv_init DIR ARCH.

# wineenv_init DIR ARCH: exports WINEPREFIX, HOME, PATH (with a `wine` that runs
# the loader ARCH needs) and creates the prefix, set to Windows 10, once.
wineenv_init() {
  local dir=$1 arch=$2
  mkdir -p "$dir/home"
  dir=$(cd "$dir" && pwd)
  wineenv_make_shims "$dir" "$arch"
  export PATH="$dir/bin:$PATH"
  export WINEPREFIX="$dir/prefix" HOME="$dir/home"
  export XDG_CONFIG_HOME="$dir/home/.config" XDG_CACHE_HOME="$dir/home/.cache" XDG_DATA_HOME="$dir/home/.local/share"
  export WINEDEBUG=-all WINEDLLOVERRIDES='mscoree,mshtml='
  unset WINEARCH
  if [ ! -f "$dir/prefix/.tarnwick-ready" ]; then
    rm -rf "$dir/prefix"
    wine wineboot.exe -i >/dev/null 2>&1
    wine reg add 'HKCU\Software\Wine' /v Version /d win10 /f >/dev/null 2>&1
    # The dialog's font with the glyphs of Chinese, Japanese and Korean.
    wine reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\FontLink\SystemLink' \
      /v Tahoma /t REG_MULTI_SZ /d 'wqy-microhei.ttc,WenQuanYi Micro Hei' /f >/dev/null 2>&1 || true
    wineserver -w
    touch "$dir/prefix/.tarnwick-ready"
  fi
}

# wineenv_make_shims DIR ARCH: DIR/bin/wine and DIR/bin/wineboot. Where the kernel
# cannot execute 32-bit code, Debian's wine wrapper still picks the 32-bit loader;
# the shims call the loader ARCH needs directly.
wineenv_make_shims() {
  local dir=$1 loader=/usr/lib/wine/wine
  [ "$2" = i686 ] || loader=/usr/lib/wine/wine64
  mkdir -p "$dir/bin"
  printf '#!/bin/sh\nexec %s "$@"\n' "$loader" > "$dir/bin/wine"
  printf '#!/bin/sh\nexec wine wineboot.exe "$@"\n' > "$dir/bin/wineboot"
  chmod +x "$dir/bin/wine" "$dir/bin/wineboot"
}

# wineenv_start_xvfb DIR: starts a private Xvfb and exports its DISPLAY.
wineenv_start_xvfb() {
  local dir=$1 fdfile="$1/xvfb.display"
  rm -f "$fdfile"
  Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$fdfile" >/dev/null 2>&1 &
  echo $! > "$dir/xvfb.pid"
  for _ in $(seq 100); do
    [ -s "$fdfile" ] && break
    sleep 0.1
  done
  [ -s "$fdfile" ] || { echo "Xvfb did not start" >&2; return 1; }
  export DISPLAY=":$(head -n1 "$fdfile")"
}

# wineenv_stop DIR: ends the prefix's processes and the Xvfb this folder started.
wineenv_stop() {
  local dir=$1
  [ -n "${WINEPREFIX:-}" ] && wineserver -k >/dev/null 2>&1 || true
  if [ -f "$dir/xvfb.pid" ]; then
    kill "$(cat "$dir/xvfb.pid")" 2>/dev/null || true
    rm -f "$dir/xvfb.pid"
  fi
}

# wineenv_screenshot FILE: the whole X screen as a PNG (ImageMagick's import
# needs none of the Wine variables).
wineenv_screenshot() {
  env -i PATH=/usr/bin:/bin DISPLAY="$DISPLAY" import -window root "$1"
}

# wineenv_default_build ROOT: the build this machine can run: build/ where 32-bit
# code runs, build-<arch> (from scripts/build.sh <arch>) elsewhere.
wineenv_default_build() {
  local arch
  arch=$(bash "$1/tests/harness/arch.sh")
  if [ "$arch" = i686 ]; then echo "$1/build"; else echo "$1/build-$arch"; fi
}
