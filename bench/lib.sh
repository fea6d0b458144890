# Sourced by the benchmark scripts after setting `root`.
# shellcheck source=../scripts/lib/wineenv.sh
. "$root/scripts/lib/wineenv.sh"

# bench_prepare BUILD-DIR NAME TARGET: builds TARGET, makes the private prefix
# BUILD-DIR/bench-NAME-env (once; later runs reuse it) and ends its processes when
# the script exits. Sets bench_env.
bench_prepare() {
  local build=$1 name=$2 target=$3
  cmake --build "$build" --target "$target" >/dev/null
  bench_env=$build/bench-$name-env
  wineenv_init "$bench_env" "$(bash "$root/tests/harness/arch.sh")"
  trap 'wineenv_stop "$bench_env"' EXIT
}
