#!/usr/bin/env bash
# Decode times of the image path in the browser build (WebAssembly under
# node) beside the native build of the same program, in one run; prints
# both JSON lines and the ratios. Builds what it needs (tools/web.sh for
# the wasm side, a Release build in build-rel/ for the native one).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
export NODE_PATH=${NODE_PATH:-/usr/share/nodejs}
[[ -f build-web/cmake/build.ninja ]] || bash tools/web.sh >/dev/null
cmake --build build-web/cmake --target vitrane-web-decode-timing -j 2 >/dev/null
VITRANE_BUILD_DIR=$root/build-rel VITRANE_BUILD_TYPE=Release bash tools/build.sh >/dev/null
native=$(build-rel/vitrane_decode_timing resources)
# Debian's emscripten output predates node 20's fetch.
wasm=$(node --no-experimental-fetch build-web/cmake/vitrane-web-decode-timing.js resources)
echo "native: $native"
echo "wasm:   $wasm"
node -e '
  const [n, w] = [JSON.parse(process.argv[1]), JSON.parse(process.argv[2])];
  for (const k of Object.keys(n)) if (typeof n[k] === "number") console.log(`${k}: wasm/native ${(w[k] / n[k]).toFixed(2)}x`);
' "$native" "$wasm"
