#!/usr/bin/env bash
# Lays out the C++ sources as .clang-format says, or with --check lists the
# files whose layout differs and fails when there are any.
#
#   bash tools/format.sh [--check]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
check=0
case "${1:-}" in
  "") ;;
  --check) check=1 ;;
  *) echo "usage: tools/format.sh [--check]" >&2; exit 2 ;;
esac
command -v clang-format >/dev/null || { echo "format: clang-format is missing (apt-get install clang-format)" >&2; exit 1; }
cd "$root"
# The layer probes are left as written: they are never compiled into the program.
mapfile -t files < <(git ls-files '*.cpp' '*.h' | grep -v '^tests/layers/')
if ((check)); then
  differ=()
  for f in "${files[@]}"; do
    clang-format --dry-run -Werror "$f" >/dev/null 2>&1 || differ+=("$f")
  done
  if ((${#differ[@]})); then
    printf 'format: laid out otherwise than .clang-format says: %s\n' "${differ[@]}" >&2
    echo "format: bash tools/format.sh lays them out" >&2
    exit 1
  fi
  echo "format: ${#files[@]} files as .clang-format says"
else
  clang-format -i "${files[@]}"
fi
