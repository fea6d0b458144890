#!/usr/bin/env bash
# Runs the branding benchmark under the test environment's Wine and prints its figures.
#   bench/branding.sh [BUILD-DIR]   (default build-x86_64; builds branding_bench first)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$root/build-x86_64}" && pwd)
env_dir=$build/bench-branding-env
cmake --build "$build" --target branding_bench >/dev/null
bash "$root/tests/harness/testenv.sh" start "$env_dir" >/dev/null
trap 'bash "$root/tests/harness/testenv.sh" stop "$env_dir" >/dev/null' EXIT
(
  # shellcheck disable=SC1091
  . "$env_dir/env.sh"
  wine "$build/bench/branding_bench.exe"
)
