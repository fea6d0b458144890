#!/usr/bin/env bash
# screenshots.sh [BUILD_DIR] [OUT_DIR]
# Pictures of the laid-out downloader dialog in all eleven languages at 96 and
# at 144 DPI, as OUT_DIR/<language>-<dpi>.png, for people to look at. Uses its
# own test environment under BUILD_DIR and ends it before it returns.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
build=$(cd "${1:-$root/build-$(bash "$root/tests/harness/arch.sh")}" && pwd)
out=$(mkdir -p "${2:-$build/layout-screenshots}" && cd "${2:-$build/layout-screenshots}" && pwd)
cmake --build "$build" --target layout_dialog_tests >/dev/null
exe=$build/tests/layout/layout_dialog_tests.exe
env_dir=$build/testenv-screenshots
export TARNWICK_TESTENV=$env_dir
trap 'bash "$root/tests/harness/testenv.sh" stop "$env_dir" >/dev/null 2>&1 || true' EXIT
bash "$root/tests/harness/testenv.sh" start "$env_dir" >/dev/null
rm -f "$out"/*.bmp "$out"/*.png
# Without the Windows fonts a Wine prefix shows Chinese, Japanese and Korean
# texts as boxes: link the dialog font to a free font that has their glyphs.
link_cjk_font() {
  wine reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\FontLink\SystemLink' \
    /v Tahoma /t REG_MULTI_SZ /d 'wqy-microhei.ttc,WenQuanYi Micro Hei' /f >/dev/null 2>&1 || true
}
shots="Z:$(echo "$out" | tr / '\\')"
(
  # shellcheck disable=SC1091
  . "$env_dir/env.sh"
  link_cjk_font
  TARNWICK_LAYOUT_SHOTS=$shots wine "$exe" >/dev/null
  wineserver -k || true
)
bash "$here/run-at-dpi.sh" 144 reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\FontLink\SystemLink' \
  /v Tahoma /t REG_MULTI_SZ /d 'wqy-microhei.ttc,WenQuanYi Micro Hei' /f >/dev/null 2>&1 || true
TARNWICK_LAYOUT_SHOTS=$shots bash "$here/run-at-dpi.sh" 144 "$exe" >/dev/null
for bmp in "$out"/*.bmp; do
  convert "$bmp" "${bmp%.bmp}.png" && rm -f "$bmp"
done
ls "$out"
