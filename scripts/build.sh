#!/usr/bin/env bash
# Configures and builds into the folder given (default: build), incrementally, from a preset of
# CMakePresets.json (VELORA_PRESET, default "default"; "ci" turns warnings into errors).
# Usage: [VELORA_PRESET=name] scripts/build.sh [BUILD_DIR] [extra cmake options...]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
dir=${1:-build}
shift || true
preset=${VELORA_PRESET:-default}
# Read by CMake when it first configures a folder.
command -v ccache >/dev/null && export CMAKE_CXX_COMPILER_LAUNCHER=${CMAKE_CXX_COMPILER_LAUNCHER:-ccache}
cmake --preset "$preset" -S "$root" -B "$root/$dir" "$@" >/dev/null
cmake --build "$root/$dir" -j"$(nproc)"
