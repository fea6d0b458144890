#!/usr/bin/env bash
# Installs everything the project needs on a fresh Debian 12 machine.
# Idempotent: a second run only checks and returns quickly.
set -euo pipefail

here=$(cd "$(dirname "$0")/.." && pwd)
sudo_cmd=()
[ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)

packages=(
  g++-mingw-w64-i686 g++-mingw-w64-x86-64 mingw-w64-tools libz-mingw-w64-dev
  wine wine32:i386 wine64
  xvfb xauth x11-utils
  cmake ninja-build googletest
  imagemagick python3 openssl
  fonts-wqy-microhei
  msitools wixl osslsigncode zip unzip curl
  dpkg-dev
)

missing_packages() {
  local p
  for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}\n' "$p" 2>/dev/null | grep -q '^install ok installed$' || echo "$p"
  done
}

ensure_deb_src() {
  # minizip is built from Debian's zlib source package, which needs a deb-src entry
  # for the main suite (the security suite does not serve zlib's source).
  local f=/etc/apt/sources.list.d/project-deb-src.sources
  [ -f "$f" ] && return 1
  "${sudo_cmd[@]}" tee "$f" >/dev/null <<'SRC'
Types: deb-src
URIs: http://deb.debian.org/debian
Suites: bookworm
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
SRC
  return 0
}

need_update=0
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  "${sudo_cmd[@]}" dpkg --add-architecture i386
  need_update=1
fi
ensure_deb_src && need_update=1

if [ -n "$(missing_packages)" ] || [ "$need_update" = 1 ]; then
  export DEBIAN_FRONTEND=noninteractive
  "${sudo_cmd[@]}" apt-get update -q
  mapfile -t todo < <(missing_packages)
  if [ "${#todo[@]}" -gt 0 ]; then
    "${sudo_cmd[@]}" apt-get install -y -q --no-install-recommends "${todo[@]}"
  fi
fi

# zlib's source package, unpacked once into a cache outside the tree.
src_cache="${TARNWICK_CACHE:-$HOME/.cache/tarnwick}"
mkdir -p "$src_cache"
if ! ls -d "$src_cache"/zlib-*/contrib/minizip >/dev/null 2>&1; then
  ( cd "$src_cache" && apt-get source -q zlib >/dev/null )
fi
ls -d "$src_cache"/zlib-*/contrib/minizip | head -n 1 > "$src_cache/minizip-dir"
echo "setup: toolchain ready (minizip source in $(cat "$src_cache/minizip-dir"))"
