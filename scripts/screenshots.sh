#!/usr/bin/env bash
# Screenshots of the real downloader dialog in each of its eleven languages,
# taken on a private Xvfb inside Wine's virtual desktop (which draws the title
# bar), cropped to the dialog:  <build>/screenshots/<code>-<dpi>dpi.png
#   bash scripts/screenshots.sh [DPI]     (default 96)
# The build must exist (scripts/build.sh); the 64-bit one where 32-bit code cannot run.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
# shellcheck source=lib/wineenv.sh
. "$root/scripts/lib/wineenv.sh"
dpi=${1:-96}
arch=$(bash "$root/tests/harness/arch.sh")
if [ "$arch" = i686 ]; then build=${BUILD_DIR:-$root/build}; else build=${BUILD_DIR:-$root/build-$arch}; fi
program=$build/app/CorvantisClientDownloader.exe
[ -f "$program" ] || { echo "screenshots.sh: build first ($program is missing)" >&2; exit 1; }
out=$build/screenshots
env_dir=$build/screenshots-env
mkdir -p "$out"

wineenv_init "$env_dir" "$arch"
trap 'wineenv_stop "$env_dir"' EXIT
wineenv_start_xvfb "$env_dir"
wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$dpi" /f >/dev/null 2>&1
wineserver -w

for code in en de fr it es pt nl jp kr cs ct; do
  wine explorer "/desktop=shot,800x600" "$program" "-language='$code'" >/dev/null 2>&1 &
  pid=$!
  sleep "${SHOT_DELAY:-6}"
  shot=$out/$code-${dpi}dpi.png
  wineenv_screenshot "$env_dir/screen.png"
  # The virtual desktop sits in the top left corner; the dialog is the only
  # thing on its plain background, so trimming that leaves the dialog.
  convert "$env_dir/screen.png" -crop 800x600+0+0 +repage -fuzz 2% -trim +repage "$shot"
  wineserver -k >/dev/null 2>&1 || true
  wait "$pid" 2>/dev/null || true
  echo "$shot"
done
