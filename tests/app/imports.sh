#!/usr/bin/env bash
# The program is started from Downloads, where anyone can drop a DLL. Every DLL it
# imports the ordinary way must be one the loader never takes from the program's
# folder: a known DLL, or the common controls, which the manifest binds to the
# system's side-by-side copy. Anything else must be delay-loaded.
#   imports.sh OBJDUMP PROGRAM
set -euo pipefail
objdump=$1 program=$2
allowed='^(advapi32|comctl32|comdlg32|gdi32|kernel32|msvcrt|ole32|oleaut32|shell32|shlwapi|user32)\.dll$'
imports=$("$objdump" -p "$program" | sed -n 's/^\s*DLL Name: //p' | tr 'A-Z' 'a-z')
echo "imports: $(echo $imports)"
echo "$imports" | grep -q '^kernel32\.dll$' || { echo "no import table read from $program"; exit 1; }
bad=$(echo "$imports" | grep -vE "$allowed" || true)
[ -z "$bad" ] || { echo "imported from wherever the loader finds them first: $bad"; exit 1; }
