#!/usr/bin/env bash
# Formats the project's C++ sources with the repository's .clang-format.
#   scripts/format.sh           rewrites the files in place
#   scripts/format.sh --check   changes nothing; names each file that differs and fails
# CLANG_FORMAT names the program (default: clang-format-14, else clang-format).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
tool=${CLANG_FORMAT:-$(command -v clang-format-14 || command -v clang-format || true)}
if [ -z "$tool" ]; then
    echo "clang-format is not installed" >&2
    exit 2
fi
# The tracked sources only: build folders and generated files stay out.
if git rev-parse --is-inside-work-tree >/dev/null 2>&1; then
    mapfile -t files < <(git ls-files -- '*.cpp' '*.h')
else
    mapfile -t files < <(find src server tests bench fuzz -name '*.cpp' -o -name '*.h' | sort)
fi
if [ "${1:-}" = "--check" ]; then
    "$tool" --dry-run --Werror "${files[@]}"
else
    "$tool" -i "${files[@]}"
fi
