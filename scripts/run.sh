#!/usr/bin/env bash
# Installs what is missing, builds everything, makes the demo catalogue once, serves it on the
# player's default address (127.0.0.1:8765) and starts the player. The catalogue server stops
# when the player exits.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
scripts/install-deps.sh
build=${VELORA_BUILD_DIR:-build}
scripts/build.sh "$build"

server="$root/$build/server/velora-catalogue"
demo="$root/$build/demo-catalogue"
address=127.0.0.1:8765

# The demo is made once; delete the build folder's demo-catalogue to make it afresh.
if [ ! -f "$demo/made" ]; then
    rm -rf "$demo"
    "$server" demo "$demo/music"
    "$server" import "$demo/music" --db "$demo/catalogue.sqlite"
    touch "$demo/made"
fi

coproc CATALOGUE { exec "$server" serve --db "$demo/catalogue.sqlite" --listen "$address" 2>&1; }
catalogue_pid=$CATALOGUE_PID
stop_catalogue() {
    kill "$catalogue_pid" 2>/dev/null || true
    wait "$catalogue_pid" 2>/dev/null || true
}
trap stop_catalogue EXIT

# The server says "Serving ..." once it listens; anything else is its reason for not starting.
banner=""
if ! read -r -t 30 banner <&"${CATALOGUE[0]}" || [[ "$banner" != Serving* ]]; then
    echo "The catalogue server did not start: ${banner:-no answer}" >&2
    exit 1
fi
echo "$banner"
# Keep reading the server's output so that it can never block on a full pipe.
cat <&"${CATALOGUE[0]}" &

VELORA_SERVER_URL="http://$address" "$root/$build/src/velora" "$@"
