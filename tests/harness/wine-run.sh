#!/usr/bin/env bash
# Runs a Windows program inside the test environment: wine-run.sh TESTENV-DIR program.exe [args...]
set -eu
. "$1/env.sh"
shift
exec wine "$@"
