#!/usr/bin/env bash
# Runs the program's architecture check in a 32-bit Wine prefix, where the first
# status line must say 32 bit. Skips (77) where this machine has no such prefix.
set -eu
env_dir=${TARNWICK_TESTENV:?}
[ -f "$env_dir/prefix32.sh" ] || { echo "no 32-bit prefix on this machine"; exit 77; }
. "$env_dir/env.sh"
. "$env_dir/prefix32.sh"
export TARNWICK_EXPECT_BITS=32
exec wine "$1" --gtest_filter='RealProgram.StartsWithItsDialogInEnglishByDefault'
