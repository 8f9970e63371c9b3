#!/usr/bin/env bash
# Sets up, builds, and runs the whole test suite.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/tools/setup.sh"
"$root/tools/build.sh"
cd "${VITRANE_BUILD_DIR:-$root/build}"
ctest --output-on-failure --parallel "$(nproc)"
