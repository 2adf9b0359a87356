#!/usr/bin/env bash
# Installs what is missing, then builds and runs every test headless: once in a normal build,
# once with AddressSanitizer and UndefinedBehaviorSanitizer.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
scripts/install-deps.sh
export QT_QPA_PLATFORM=offscreen

scripts/build.sh build -DVELORA_WERROR=ON
(cd build && ctest --output-on-failure -j2)

scripts/build.sh build-asan -DVELORA_SANITIZE=ON -DVELORA_WERROR=ON -DVELORA_BUILD_BENCHMARKS=OFF
(cd build-asan && ctest --output-on-failure -j2)

# Fuzz targets, 20 s each on their seed corpus (clang build in build-fuzz; `scripts/fuzz.sh 600` for a longer run).
scripts/fuzz.sh 20
