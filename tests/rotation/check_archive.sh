#!/usr/bin/env bash
# Has the rotation test keep its archive and checks it with the host's own unzip.
set -euo pipefail
. "$TARNWICK_TESTENV/env.sh"
exe=$1
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
TARNWICK_ROTATION_KEEP="Z:$(echo "$out" | tr / '\\')" \
  wine "$exe" --gtest_filter='Rotation.EndToEnd*' >"$out/run.txt" 2>&1 || { cat "$out/run.txt"; exit 1; }
[ -f "$out/rotated.zip" ] || { echo "no archive kept"; cat "$out/run.txt"; exit 1; }
unzip -t "$out/rotated.zip"
names=$(unzip -Z1 "$out/rotated.zip")
[ "$names" = "setup_2026_12_07__19_02.log" ] || { echo "unexpected entries: $names"; exit 1; }
echo "host unzip accepts the archive"
