#!/usr/bin/env bash
# Sets up, builds, and runs the whole test suite; then builds it again with
# AddressSanitizer and UBSan (build-asan/) and runs it there too
# (tools/sanitize.sh). VITRANE_SANITIZE=0 leaves the second pass out.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/tools/setup.sh"
"$root/tools/build.sh"
(cd "${VITRANE_BUILD_DIR:-$root/build}" && ctest --output-on-failure --parallel "$(nproc)")
if [[ "${VITRANE_SANITIZE:-1}" != 0 ]]; then
  "$root/tools/sanitize.sh"
fi
