#!/usr/bin/env bash
# Download benchmark: the program's DownloadPackage against a bare WinINet read loop,
# same Wine prefix, same stand-in server, one run; curl's time for the same file
# beside them; peak memory for a 20 MB and a 200 MB package. Medians of three rounds.
#   bash bench/download.sh [BUILD_DIR]     (default: the build this machine runs)
# Starts its own test environment and stand-in server and ends both.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
# shellcheck source=../scripts/lib/wineenv.sh
. "$root/scripts/lib/wineenv.sh"
build=${1:-$(wineenv_default_build "$root")}
cmake --build "$build" --target bench_download_package bench_bare_download standin_trustca standin_basic >/dev/null

env_dir=$build/bench-env
state=$build/bench-standin
cleanup() {
  bash "$root/tools/standin/standin.sh" down "$state" >/dev/null 2>&1 || true
  bash "$root/tests/harness/testenv.sh" stop "$env_dir" >/dev/null 2>&1 || true
}
trap cleanup EXIT
bash "$root/tests/harness/testenv.sh" start "$env_dir" >/dev/null
# shellcheck disable=SC1091
. "$env_dir/env.sh"
python3 "$root/tools/standin/standin.py" prepare "$state" --blob 20 --blob 200 >/dev/null
bash "$root/tools/standin/standin.sh" up "$state" "$build" >/dev/null
# shellcheck disable=SC1091
. "$state/env.sh"

url() { echo "https://download.corvantis.com/bench/blob-$1.bin"; }
field() { sed -n "s/.*\\b$1=\\([0-9]*\\).*/\\1/p" <<<"$2"; }
target='C:\bench-blob.bin'

# Three rounds, the two loops taking turns; the medians are compared, so that one
# slow round (the machine is shared) does not decide the ratio.
bare_runs=() prog_runs=()
for round in 1 2 3; do
  bare200=$(wine "$build/bench/bench_bare_download.exe" "$(url 200)" "$target")
  prog200=$(wine "$build/bench/bench_download_package.exe" "$(url 200)" "$target")
  [ "$(field ok "$prog200")" = 1 ] && [ "$(field bytes "$prog200")" = $((200 << 20)) ] ||
    { echo "bench: the 200 MB download failed: $prog200" >&2; exit 1; }
  bare_runs+=("$(field ms "$bare200")") prog_runs+=("$(field ms "$prog200")")
  echo "round $round: DownloadPackage $(field ms "$prog200") ms, bare loop $(field ms "$bare200") ms"
done
median() { printf '%s\n' "$@" | sort -n | sed -n 2p; }
prog20=$(wine "$build/bench/bench_download_package.exe" "$(url 20)" "$target")
quiet200=$(wine "$build/bench/bench_download_package.exe" "$(url 200)" "$target" quiet)
curl200=$(curl -s --proxy "$http_proxy" --cacert "$state/pki/ca.pem" -o /dev/null -w '%{time_total}' "$(url 200)")
rm -f "$WINEPREFIX/drive_c/bench-blob.bin"

bare_ms=$(median "${bare_runs[@]}")
prog_ms=$(median "${prog_runs[@]}")
ratio=$(python3 -c "print(f'{$prog_ms / $bare_ms:.3f}')")
echo "200 MB download: DownloadPackage ${prog_ms} ms, bare WinINet loop ${bare_ms} ms, ratio ${ratio} (limit 1.10); curl $(python3 -c "print(round($curl200 * 1000))") ms"
echo "DownloadPackage without a progress bar: $(field ms "$quiet200") ms (the cost of the progress messages)"
echo "peak working set: DownloadPackage 20 MB $(field peak_kb "$prog20") KB, 200 MB $(field peak_kb "$prog200") KB; bare loop 200 MB $(field peak_kb "$bare200") KB"
echo "peak private bytes: DownloadPackage 20 MB $(field peak_private_kb "$prog20") KB, 200 MB $(field peak_private_kb "$prog200") KB"
python3 -c "import sys; sys.exit(0 if $prog_ms / $bare_ms <= 1.10 else 1)" || { echo "bench: ratio above 1.10" >&2; exit 1; }
