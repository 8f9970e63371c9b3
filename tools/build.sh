#!/usr/bin/env bash
# Configures and builds everything into build/ (or $VITRANE_BUILD_DIR).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${VITRANE_BUILD_DIR:-$root/build}
# Warnings are errors here, the build CI runs: a warning is fixed when it
# appears, not after it has company. (VITRANE_WERROR=OFF for a compiler
# that warns about more.)
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=${VITRANE_BUILD_TYPE:-RelWithDebInfo} \
  -DVITRANE_WERROR=${VITRANE_WERROR:-ON} >/dev/null
cmake --build "$build" --parallel "$(nproc)"
