#!/usr/bin/env bash
# Process exit waits for a running archiver, and never more than 20 seconds, also
# after more than 64 archivers have been created.
set -euo pipefail
. "$TARNWICK_TESTENV/env.sh"
probe=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
win() { echo "Z:$(echo "$1" | tr / '\\')"; }

run() {  # work-ms quick-archivers marker -> prints elapsed seconds
    local start end
    start=$(date +%s.%N)
    wine "$probe" exitwait "$1" "$2" "$(win "$3")" >/dev/null 2>&1
    end=$(date +%s.%N)
    python3 -c "print(f'{$end - $start:.1f}')"
}

short=$(run 3000 70 "$work/short")
echo "archiver of 3 s behind 70 finished ones: exit after ${short} s"
[ -f "$work/short" ] || { echo "exit did not wait for the archiver"; exit 1; }
python3 -c "import sys; sys.exit(0 if $short >= 3 else 1)" || { echo "exited too early"; exit 1; }

long=$(run 60000 0 "$work/long")
echo "archiver of 60 s: exit after ${long} s"
[ ! -f "$work/long" ] || { echo "the archiver was not cut short"; exit 1; }
python3 -c "import sys; sys.exit(0 if 20 <= $long <= 40 else 1)" || { echo "exit wait out of bounds"; exit 1; }
