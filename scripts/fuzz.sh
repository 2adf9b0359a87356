#!/usr/bin/env bash
# Builds the fuzz targets with clang (libFuzzer, ASan, UBSan) into build-fuzz and runs each one
# on its seed corpus for a fixed time. Exits non-zero when any target finds a crash.
#   scripts/fuzz.sh          20 s per target (the test run)
#   scripts/fuzz.sh 600      ten minutes per target
#   scripts/fuzz.sh 60 fuzz_lrc   one target only
# New inputs found during a run stay in build-fuzz/corpus/<target>/; crashes are written to
# build-fuzz/findings/ (copy one into fuzz/corpus/<target>/ once it is fixed, and add a test).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
seconds=${1:-20}
shift || true
dir=build-fuzz

command -v ccache >/dev/null && export CMAKE_CXX_COMPILER_LAUNCHER=${CMAKE_CXX_COMPILER_LAUNCHER:-ccache}
cmake --preset fuzz -S "$root" -B "$root/$dir" >/dev/null

targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
    for src in fuzz/fuzz_*.cpp; do
        targets+=("$(basename "$src" .cpp)")
    done
fi
cmake --build "$root/$dir" -j"$(nproc)" --target "${targets[@]}"

export QT_QPA_PLATFORM=offscreen LANG=C.UTF-8 LC_ALL=C.UTF-8
# The targets make their own temporary folders; keep settings away from the user's.
export XDG_CONFIG_HOME="$root/$dir/config" XDG_DATA_HOME="$root/$dir/data"
export ASAN_OPTIONS=detect_leaks=0:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
mkdir -p "$XDG_CONFIG_HOME" "$XDG_DATA_HOME" "$dir/findings"

failed=()
for target in "${targets[@]}"; do
    work="$dir/corpus/$target"
    mkdir -p "$work"
    echo "== $target: $seconds s"
    # The first folder collects new inputs; the seed corpus in the repository is read only.
    if ! "$dir/fuzz/$target" -max_total_time="$seconds" -timeout=30 -rss_limit_mb=4096 -max_len=8192 \
            -print_final_stats=1 -artifact_prefix="$dir/findings/$target-" \
            "$work" "fuzz/corpus/$target" 2>"$dir/findings/$target.log"; then
        failed+=("$target")
        tail -n 60 "$dir/findings/$target.log"
    else
        grep -E '^(stat::number_of_executed_units|stat::peak_rss_mb|#[0-9]+ +DONE)' "$dir/findings/$target.log" || true
    fi
done

if [ ${#failed[@]} -gt 0 ]; then
    echo "fuzzing found problems in: ${failed[*]} (inputs in $dir/findings/)" >&2
    exit 1
fi
echo "fuzzing: no findings"
