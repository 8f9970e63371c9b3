#!/usr/bin/env bash
# The long soak: the test suite's soak session (tests/soak_test.cpp) for
# MINUTES of virtual time (default 60) on the normal build. ctest runs the
# same session for three minutes.
#
#   bash tools/soak.sh [MINUTES]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${VITRANE_BUILD_DIR:-$root/build}
"$root/tools/build.sh"
VITRANE_SOAK_MINUTES=${1:-60} exec "$build/vitrane_tests" --gtest_filter='Soak.*'
