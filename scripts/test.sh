#!/usr/bin/env bash
# Sets up, builds and runs the whole test suite under Wine. The tests run the
# 32-bit build; on a machine whose kernel cannot execute 32-bit code they run the
# same sources built for 64-bit Windows, and the tests that need a 32-bit prefix
# are skipped. Whatever the outcome, the test environment's Xvfb and wineservers
# are ended before it returns. Extra arguments go to ctest.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bash "$root/scripts/build.sh"
arch=$(bash "$root/tests/harness/arch.sh")
build=$root/build
if [ "$arch" != i686 ]; then
  echo "test.sh: this machine cannot execute 32-bit code; testing the $arch build"
  bash "$root/scripts/build.sh" "$arch"
  build=$root/build-$arch
fi
trap 'bash "$root/tests/harness/testenv.sh" stop "$build/testenv" >/dev/null 2>&1 || true' EXIT
ctest --test-dir "$build" --output-on-failure "$@"
