#!/usr/bin/env bash
# Branding benchmark in a private Wine prefix: ReadPayload on a 100 MB signed copy
# against one block read of the whole file, and CZipExtractor::ExtractAll on a
# 2000-file archive against a bare minizip loop. Prints each figure with its limit
# and PASS or MISS; exits with 1 on a MISS.
#   bash bench/branding.sh [BUILD-DIR] [payload|extraction]
#   (default build-x86_64 and both parts; builds branding_bench first)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$root/build-x86_64}" && pwd)
# shellcheck source=../scripts/lib/wineenv.sh
. "$root/scripts/lib/wineenv.sh"
env_dir=$build/bench-branding-env
cmake --build "$build" --target branding_bench >/dev/null
wineenv_init "$env_dir" "$(bash "$root/tests/harness/arch.sh")"
trap 'wineenv_stop "$env_dir"' EXIT
wine "$build/bench/branding_bench.exe" ${2:+"$2"}
