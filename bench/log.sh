#!/usr/bin/env bash
# Logger benchmark in a private Wine prefix: LogMessage lines/s to a file against a
# bare open-append-close loop, and the cost of a call above both thresholds. Prints
# each figure with its limit and PASS or MISS; exits with 1 on a MISS.
#   bash bench/log.sh [BUILD-DIR]   (default: the build this machine runs)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
# shellcheck source=lib.sh
. "$root/bench/lib.sh"
build=$(cd "${1:-$(wineenv_default_build "$root")}" && pwd)
bench_prepare "$build" log log_bench
wine "$build/bench/log_bench.exe"
