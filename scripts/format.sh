#!/usr/bin/env bash
# Checks that every C and C++ source follows .clang-format, naming each file
# and line that does not; with --fix, reformats them in place instead.
#
#   scripts/format.sh [--fix]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

if git rev-parse --is-inside-work-tree >/dev/null 2>&1; then
  mapfile -t sources < <(git ls-files '*.c' '*.cpp' '*.h')
else
  mapfile -t sources < <(find . -path ./build -prune -o -type f \( -name '*.c' -o -name '*.cpp' -o -name '*.h' \) -print)
fi

if [ "${1:-}" = --fix ]; then
  clang-format -i "${sources[@]}"
elif ! clang-format --dry-run -Werror "${sources[@]}"; then
  echo "format: the files above differ from .clang-format; scripts/format.sh --fix reformats them" >&2
  exit 1
fi
