#!/usr/bin/env bash
# Runs the browser tests: the built web site (tools/web.sh) in Debian's
# headless Chromium, checked against the headless runner.
#
#   bash tests/web/run.sh [node --test options]
#
# VITRANE_SITE (default build-web/site) and VITRANE_RUN (default
# build/vitrane-run) say where the site and the runner are;
# VITRANE_WEB_SCREENSHOT=FILE also saves a screenshot of the turned table.
# Installs what is missing first: Chromium from Debian, the test's npm
# packages from the lock file.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
# Paths given relative to where this was called from.
site=$(realpath -m "${VITRANE_SITE:-$root/build-web/site}")
runner=$(realpath -m "${VITRANE_RUN:-$root/build/vitrane-run}")
if [[ -n ${VITRANE_WEB_SCREENSHOT:-} ]]; then
  VITRANE_WEB_SCREENSHOT=$(realpath -m "$VITRANE_WEB_SCREENSHOT")
  export VITRANE_WEB_SCREENSHOT
fi
cd "$root"
[[ -f $site/index.html ]] || { echo "web tests: no site in $site: build it with bash tools/web.sh" >&2; exit 1; }
[[ -x $runner ]] || { echo "web tests: no runner at $runner: build it with bash tools/build.sh" >&2; exit 1; }

if [[ -z ${VITRANE_CHROMIUM:-} ]]; then
  source tools/install_missing.sh
  install_missing "web tests" chromium:/usr/bin/chromium
fi

# The packages as the lock file has them: npm keeps a record of what it
# installed, and a lock file that has changed since installs them again.
if ! node -e '
  const fs = require("fs");
  const read = (f) => { try { return JSON.parse(fs.readFileSync(f, "utf8")).packages || {}; } catch { return {}; } };
  const want = read(process.argv[1]), have = read(process.argv[2]);
  const missing = Object.entries(want).filter(([k, v]) => k !== "" && !v.optional && have[k]?.version !== v.version);
  process.exit(missing.length ? 1 : 0);
' "$here/package-lock.json" "$here/node_modules/.package-lock.json"; then
  echo "web tests: installing the npm packages (npm ci)"
  (cd "$here" && npm ci --no-audit --no-fund --loglevel=error)
fi

export VITRANE_SITE=$site VITRANE_RUN=$runner
# One file at a time: each drives a browser that wants both cores. A test
# that hangs fails after three minutes instead of holding the run.
exec node --test --test-concurrency=1 --test-timeout=180000 "$@" tests/web/
