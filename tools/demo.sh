#!/usr/bin/env bash
# Sets up and builds, then shows the application: in its window when there
# is a display to open it on, otherwise by running the bundled demo session
# headless, which leaves its pictures (snapshots of a quarter turn and an
# animated PNG of it) and its log in out/demo/, and ends with a short
# summary. --trace prints the log, each line prefixed by the frames
# delivered so far, instead of keeping it in out/demo/session.log.
#
#   bash tools/demo.sh [--headless] [--trace] [vitrane options...]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${VITRANE_BUILD_DIR:-$root/build}

headless=0 trace=0
while [[ "${1:-}" == "--headless" || "${1:-}" == "--trace" ]]; do
  [[ "$1" == "--headless" ]] && headless=1
  [[ "$1" == "--trace" ]] && trace=1
  shift
done

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
if ((trace)); then
  "$build/vitrane-run" --trace --out "$out" "$root/examples/demo.scn" || status=$?
else
  "$build/vitrane-run" --trace --out "$out" "$root/examples/demo.scn" >"$out/session.log" || status=$?
fi
if ((status != 0)); then
  echo "demo: the session failed (exit status $status); its log is in ${out#"$root"/}/session.log" >&2
  exit "$status"
fi

shots=("$out"/*.png)
relative=${out#"$root"/}
cat <<SUMMARY

The demo turned the tablet a quarter turn, flat on its table: the picture
turned the other way on screen, so the wood grain kept its direction.

Its pictures are in $relative/:
$(cd "$out" && for f in *.png; do printf '  %s\n' "$f"; done)
  (5-quarter-turn.png is animated: open it in a web browser to see it move)
$( ((trace)) || printf '%s\n' "The session's log is $relative/session.log (bash tools/demo.sh --headless --trace prints it)." )

To try it yourself in a window (needs a display):
  bash tools/demo.sh            or  build/vitrane
Left and Right turn the tablet, W A S D lift a side, H lists the keys.
SUMMARY
echo "demo: ${#shots[@]} picture(s) in $relative/" >&2
