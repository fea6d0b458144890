#!/usr/bin/env bash
# Builds the Linux branding tool with the host compiler: build-host.sh <output>
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
out=$1
mkdir -p "$(dirname "$out")"
g++ -std=c++17 -O2 -Wall -Wextra -I"$here/.." -o "$out" \
  "$here/BrandingTool.cpp" "$here/../branding/ExePayload.cpp" -lz
