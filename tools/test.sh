#!/usr/bin/env bash
# Sets up, builds, and runs the whole test suite; builds the web app and
# runs its tests in headless Chromium (tools/web_test.sh); builds the tests
# of what runs on other threads with ThreadSanitizer (build-tsan/) and runs
# them (tools/tsan.sh); then builds it all again with AddressSanitizer and
# UBSan (build-asan/) and runs it there too (tools/sanitize.sh).
# VITRANE_WEB=0 leaves the web app out, VITRANE_TSAN=0 the thread pass,
# VITRANE_SANITIZE=0 the last one.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/tools/setup.sh"
"$root/tools/build.sh"
(cd "${VITRANE_BUILD_DIR:-$root/build}" && ctest --output-on-failure --parallel "$(nproc)")
if [[ "${VITRANE_WEB:-1}" != 0 ]]; then
  "$root/tools/web_test.sh"
else
  echo "test: the web app and its browser tests are left out (VITRANE_WEB=0)"
fi
if [[ "${VITRANE_TSAN:-1}" != 0 ]]; then
  "$root/tools/tsan.sh"
else
  echo "test: the ThreadSanitizer pass is left out (VITRANE_TSAN=0)"
fi
if [[ "${VITRANE_SANITIZE:-1}" != 0 ]]; then
  "$root/tools/sanitize.sh"
fi
