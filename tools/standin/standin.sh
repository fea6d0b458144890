#!/usr/bin/env bash
# Brings the stand-in vendor server up for a Wine prefix, or takes it down.
#   standin.sh up STATE BUILD_DIR [HOST]   certificates and packages (once), server and
#                                          proxy on 127.0.0.1, test CA trusted in
#                                          $WINEPREFIX; writes STATE/env.sh (http_proxy)
#   standin.sh down STATE                  ends the server and the proxy
# The caller's environment must name the Wine prefix (WINEPREFIX, wine on PATH).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
cmd=$1 state=$2

case $cmd in
  up)
    build=$3 host=${4:-download.corvantis.com}
    mkdir -p "$state"
    python3 "$here/standin.py" prepare "$state" --host "$host" \
      --basic-exe "$build/tools/standin/standin_basic.exe"
    python3 "$here/standin.py" start "$state" > "$state/env.sh"
    ca=$(cd "$state/pki" && pwd)/ca.der
    if ! wine "$build/tools/standin/standin_trustca.exe" "Z:${ca//\//\\}"; then
      python3 "$here/standin.py" stop "$state"
      echo "standin: could not trust the test CA in $WINEPREFIX" >&2
      exit 1
    fi
    echo "standin: up ($(grep -o 'http_proxy=[^ ]*' "$state/env.sh"))"
    ;;
  down)
    python3 "$here/standin.py" stop "$state"
    echo "standin: down"
    ;;
  *) echo "usage: standin.sh up STATE BUILD_DIR [HOST] | down STATE" >&2; exit 2 ;;
esac
