#!/usr/bin/env bash
# Runs the archiving benchmark in a private Wine prefix and prints its figures
# beside the size of the host's `zip -6` archive of the same log.
#   bench/archive.sh [BUILD-DIR]   (default: the build this machine runs)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
# shellcheck source=lib.sh
. "$root/bench/lib.sh"
build=$(cd "${1:-$(wineenv_default_build "$root")}" && pwd)
bench_prepare "$build" archive archive_bench
work=$bench_env/work
trap 'wineenv_stop "$bench_env"; rm -rf "$work"' EXIT
rm -rf "$work"
mkdir -p "$work"

wine "$build/bench/archive_bench.exe" "Z:$(echo "$work" | tr / '\\')"

(cd "$work" && zip -q -6 host.zip bench.log)
unzip -tq "$work/czipwriter.zip" >/dev/null || { echo "the host's unzip rejects the archive"; exit 1; }
echo "host zip -6 of the same log: $(stat -c %s "$work/host.zip") bytes" \
  "(CZipWriter $(stat -c %s "$work/czipwriter.zip") bytes)"
