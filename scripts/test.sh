#!/usr/bin/env bash
# Installs what is missing, then builds and runs every test headless: once in a normal build,
# once with AddressSanitizer and UndefinedBehaviorSanitizer.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
scripts/install-deps.sh
export QT_QPA_PLATFORM=offscreen

VELORA_PRESET=ci scripts/build.sh build
ctest --preset ci --test-dir build

VELORA_PRESET=asan scripts/build.sh build-asan
ctest --preset asan --test-dir build-asan

# Fuzz targets, 20 s each on their seed corpus (clang build in build-fuzz; `scripts/fuzz.sh 600` for a longer run).
scripts/fuzz.sh 20
