#!/usr/bin/env bash
# Sets the machine up, builds, and runs the downloader under Wine in a private
# prefix under the build folder. Arguments go to the program, for example
#   bash scripts/run.sh -language='de'
# With a display ($DISPLAY) the dialog appears there and the script returns when
# it is closed. Without one the program runs on a private Xvfb for RUN_SECONDS
# (default 20) seconds; a picture of the screen lands in <build>/run/screen.png.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
# shellcheck source=lib/wineenv.sh
. "$root/scripts/lib/wineenv.sh"

# Where the kernel cannot execute 32-bit code, the 64-bit build is what runs.
arch=$(bash "$root/tests/harness/arch.sh")
if [ "$arch" = i686 ]; then
  bash "$root/scripts/build.sh"
  build=$root/build
else
  echo "run.sh: this machine cannot execute 32-bit code; running the $arch build"
  bash "$root/scripts/build.sh" "$arch"
  build=$root/build-$arch
fi
run_dir=$build/run
wineenv_init "$run_dir" "$arch"
program=$build/app/CorvantisClientDownloader.exe

if [ -n "${DISPLAY:-}" ]; then
  trap 'wineenv_stop "$run_dir"' EXIT
  set +e
  wine "$program" "$@"
  code=$?
  echo "run.sh: the program ended with exit code $code"
  exit 0
fi

trap 'wineenv_stop "$run_dir"' EXIT
wineenv_start_xvfb "$run_dir"
echo "run.sh: no display; running on a private Xvfb ($DISPLAY) for ${RUN_SECONDS:-20} seconds"
wine "$program" "$@" &
program_pid=$!
for _ in $(seq "${RUN_SECONDS:-20}"); do
  kill -0 "$program_pid" 2>/dev/null || break
  sleep 1
done
wineenv_screenshot "$run_dir/screen.png" || true
if kill -0 "$program_pid" 2>/dev/null; then
  wineserver -k >/dev/null 2>&1 || true
fi
wait "$program_pid" 2>/dev/null || true
echo "run.sh: screen picture in $run_dir/screen.png"
