#!/usr/bin/env bash
# Installs what is missing, builds and starts the player.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
scripts/install-deps.sh
scripts/build.sh build
exec build/src/velora "$@"
