#!/usr/bin/env bash
# Sets the machine up (idempotent) and builds.
#   build.sh            the program (32-bit) into build/
#   build.sh x86_64     the same sources for 64-bit Windows into build-x86_64/, for
#                       machines whose kernel cannot run 32-bit code under Wine
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
arch=${1:-i686}
case $arch in
  i686) build=${BUILD_DIR:-$root/build} ;;
  x86_64) build=${BUILD_DIR:-$root/build-x86_64} ;;
  *) echo "build.sh: unknown architecture $arch" >&2; exit 2 ;;
esac
bash "$root/scripts/setup.sh" >/dev/null
cmake -S "$root" -B "$build" -G Ninja \
  -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-$arch.cmake" >/dev/null
cmake --build "$build"
