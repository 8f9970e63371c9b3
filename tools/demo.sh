#!/usr/bin/env bash
# Sets up, builds, and runs the bundled demo session headless, printing the
# application's log.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/tools/setup.sh"
"$root/tools/build.sh"
exec "${VITRANE_BUILD_DIR:-$root/build}/vitrane-run" --trace "$root/examples/demo.scn"
