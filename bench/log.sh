#!/usr/bin/env bash
# Logger benchmark in a private Wine prefix: LogMessage lines/s to a file against a
# bare open-append-close loop, and the cost of a call above both thresholds. Prints
# each figure with its limit and PASS or MISS; exits with 1 on a MISS.
#   bash bench/log.sh [BUILD-DIR]   (default build-x86_64; builds log_bench first)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$root/build-x86_64}" && pwd)
# shellcheck source=../scripts/lib/wineenv.sh
. "$root/scripts/lib/wineenv.sh"
env_dir=$build/bench-log-env
cmake --build "$build" --target log_bench >/dev/null
wineenv_init "$env_dir" "$(bash "$root/tests/harness/arch.sh")"
trap 'wineenv_stop "$env_dir"' EXIT
wine "$build/bench/log_bench.exe"
