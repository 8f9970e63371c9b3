#!/usr/bin/env bash
# Sets up and builds, then shows the application: in its window when there
# is a display to open it on, otherwise by running the bundled demo session
# headless, printing the application's log and keeping the session's
# snapshots in out/demo/.
#
#   bash tools/demo.sh [--headless] [vitrane options...]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${VITRANE_BUILD_DIR:-$root/build}

headless=0
if [[ "${1:-}" == "--headless" ]]; then
  headless=1
  shift
fi

"$root/tools/setup.sh"
"$root/tools/build.sh"

if ((!headless)) && [[ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]]; then
  if [[ -x "$build/vitrane" ]]; then
    exec "$build/vitrane" "$@"
  fi
  echo "demo: the window was not built (SDL2 or SDL2_mixer missing); running headless" >&2
fi

out="$root/out/demo"
mkdir -p "$out"
# Only this session's pictures: none left over from an earlier run.
rm -f "$out"/*.png
status=0
"$build/vitrane-run" --trace --out "$out" "$root/examples/demo.scn" || status=$?
shots=("$out"/*.png)
if [[ -e "${shots[0]}" ]]; then
  echo "demo: ${#shots[@]} snapshot(s) in $out/" >&2
fi
exit "$status"
