#!/usr/bin/env bash
# The whole road on one machine: sets the machine up, builds, starts the stand-in
# vendor server on 127.0.0.1, and runs the real downloader under Wine as a passive
# run with -msiargs='/qn'. The program downloads the x64 Full package through the
# server, starts the installer and ends; this script then waits for the client's
# marker file and prints where the client was installed.
#   bash scripts/run.sh [PROGRAM ARGUMENTS...]   (default: -passive='1' -msiargs='/qn')
# With a display ($DISPLAY) the dialog appears there; without one it runs on a
# private Xvfb. A picture taken during the download lands in <build>/run/download.png.
# Exit status: 0 only when the client's marker file exists.
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
program=$build/app/CorvantisClientDownloader.exe
inspect=$build/tools/standin/standin_inspect.exe
state=$run_dir/standin
[ $# -gt 0 ] || set -- "-passive='1'" "-msiargs='/qn'"

# Every run starts from a new prefix, so an earlier install cannot pass for this one.
rm -rf "$run_dir/prefix"
wineenv_init "$run_dir" "$arch"
finish() {
  python3 "$root/tools/standin/standin.py" stop "$state" >/dev/null 2>&1 || true
  wineenv_stop "$run_dir"
}
trap finish EXIT
if [ -z "${DISPLAY:-}" ]; then
  wineenv_start_xvfb "$run_dir"
  echo "run.sh: no display; the program runs on a private Xvfb ($DISPLAY)"
fi

bash "$root/tools/standin/standin.sh" up "$state" "$build"
# shellcheck disable=SC1091
. "$state/env.sh"
# A gentle trickle, so that the bar can be seen moving.
echo "slow:1024:0.3" > "$state/mode"

marker="$WINEPREFIX/drive_c/Program Files/Corvantis/VTC Client/vtcclient-x64.marker"
echo "run.sh: wine $program $*"
wine "$program" "$@" &
program_pid=$!
# The picture is taken once the status shows the download and the bar has moved.
wine "$inspect" watch 60000 "Downloading https://" >/dev/null 2>&1 || true
sleep 1.5
wineenv_screenshot "$run_dir/download.png" && echo "run.sh: picture of the download in $run_dir/download.png"
set +e
wait "$program_pid"
code=$?
set -e
echo "run.sh: the program ended with exit code $code"

for _ in $(seq 120); do
  [ -f "$marker" ] && break
  sleep 1
done
if [ -f "$marker" ]; then
  echo "run.sh: the client is installed in $(dirname "$marker")"
  echo "run.sh: (C:\\Program Files\\Corvantis\\VTC Client in the prefix $WINEPREFIX)"
  exit 0
fi
echo "run.sh: the client was not installed (no $marker)" >&2
exit 1
