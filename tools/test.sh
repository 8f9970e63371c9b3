#!/usr/bin/env bash
# Sets up, builds, and runs the whole test suite; then builds it again with
# AddressSanitizer and UBSan (build-asan/) and runs it there too
# (tools/sanitize.sh) when VITRANE_SANITIZE=1.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/tools/setup.sh"
"$root/tools/build.sh"
(cd "${VITRANE_BUILD_DIR:-$root/build}" && ctest --output-on-failure --parallel "$(nproc)")
if [[ "${VITRANE_SANITIZE:-0}" != 0 ]]; then
  "$root/tools/sanitize.sh"
fi
