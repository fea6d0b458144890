#!/usr/bin/env bash
# Runs the logger benchmark under the test environment's Wine and prints its figures.
#   bench/log.sh [BUILD-DIR]   (default build-x86_64; builds log_bench first)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$root/build-x86_64}" && pwd)
env_dir=$build/bench-log-env
cmake --build "$build" --target log_bench >/dev/null
bash "$root/tests/harness/testenv.sh" start "$env_dir" >/dev/null
trap 'bash "$root/tests/harness/testenv.sh" stop "$env_dir" >/dev/null' EXIT
(
  # shellcheck disable=SC1091
  . "$env_dir/env.sh"
  wine "$build/bench/log_bench.exe"
)
