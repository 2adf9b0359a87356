#!/usr/bin/env bash
# Soak run: builds the soak program into build-hard and plays a queue of a few hundred short
# songs in list loop for a set time (default 120 s) with lyrics and the local library page
# active, in a private headless environment. Prints the resident memory at the start and the
# end and the count of errors; exits non-zero when there were errors.
#   scripts/soak.sh [seconds] [songs]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
seconds=${1:-120}
songs=${2:-300}
dir=build-hard

command -v ccache >/dev/null && export CMAKE_CXX_COMPILER_LAUNCHER=${CMAKE_CXX_COMPILER_LAUNCHER:-ccache}
cmake --preset default -S "$root" -B "$root/$dir" -DVELORA_BUILD_BENCHMARKS=ON >/dev/null
cmake --build "$root/$dir" -j"$(nproc)" --target bench_soak

home=$(mktemp -d)
trap 'rm -rf "$home"' EXIT
export QT_QPA_PLATFORM=offscreen LANG=C.UTF-8 LC_ALL=C.UTF-8
export XDG_CONFIG_HOME="$home/config" XDG_DATA_HOME="$home/data" XDG_RUNTIME_DIR="$home/run"
mkdir -p "$XDG_CONFIG_HOME" "$XDG_DATA_HOME" "$XDG_RUNTIME_DIR"
chmod 700 "$XDG_RUNTIME_DIR"
# The program's own log is not the result; the soak prints its figures on stdout.
export QT_LOGGING_RULES="*.debug=false"
# Set-up, the run itself and a margin for tearing down; a hang fails instead of waiting forever.
timeout --signal=KILL $((seconds + 240)) "$dir/bench/bench_soak" "$seconds" "$songs" 2> >(grep -v -e PulseAudio -e 'Failed to connect' >&2)
