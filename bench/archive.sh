#!/usr/bin/env bash
# Runs the archiving benchmark in a private Wine prefix and prints its figures
# beside the size of the host's `zip -6` archive of the same log.
#   bench/archive.sh [BUILD-DIR]   (default build-x86_64; builds archive_bench first)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$root/build-x86_64}" && pwd)
# shellcheck source=../scripts/lib/wineenv.sh
. "$root/scripts/lib/wineenv.sh"
arch=$(bash "$root/tests/harness/arch.sh")
env_dir=$build/bench-archive-env
work=$env_dir/work
cmake --build "$build" --target archive_bench >/dev/null
wineenv_init "$env_dir" "$arch"
trap 'wineenv_stop "$env_dir"; rm -rf "$work"' EXIT
rm -rf "$work"
mkdir -p "$work"

wine "$build/bench/archive_bench.exe" "Z:$(echo "$work" | tr / '\\')"

(cd "$work" && zip -q -6 host.zip bench.log)
unzip -tq "$work/czipwriter.zip" >/dev/null || { echo "the host's unzip rejects the archive"; exit 1; }
echo "host zip -6 of the same log: $(stat -c %s "$work/host.zip") bytes" \
  "(CZipWriter $(stat -c %s "$work/czipwriter.zip") bytes)"
