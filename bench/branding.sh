#!/usr/bin/env bash
# Branding benchmark in a private Wine prefix: ReadPayload on a 100 MB signed copy
# against one block read of the whole file into memory, and CZipExtractor::ExtractAll on a
# 2000-file archive against a bare minizip loop. Prints each figure with its limit
# and PASS or MISS; exits with 1 on a MISS.
#   bash bench/branding.sh [BUILD-DIR] [payload|extraction]
#   (default: the build this machine runs, and both parts)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
# shellcheck source=lib.sh
. "$root/bench/lib.sh"
build=$(cd "${1:-$(wineenv_default_build "$root")}" && pwd)
bench_prepare "$build" branding branding_bench
wine "$build/bench/branding_bench.exe" ${2:+"$2"}
