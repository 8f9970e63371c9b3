#!/usr/bin/env bash
# The web app's tests: builds the site (tools/web.sh) and the native runner
# it is checked against, tests the site's server, and runs the browser
# tests (tests/web/run.sh, which installs Debian's chromium and the npm
# packages pinned by tests/web/package-lock.json; no browser is
# downloaded). VITRANE_WEB_SCREENSHOT=FILE also saves a picture of the page.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
build=${VITRANE_BUILD_DIR:-$root/build}

bash tools/web.sh
[[ -x $build/vitrane-run ]] || bash tools/build.sh
node --test tools/web_serve_test.mjs
VITRANE_SITE=$root/build-web/site VITRANE_RUN=$build/vitrane-run bash tests/web/run.sh
