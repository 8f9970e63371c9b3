#!/usr/bin/env bash
# The browser build measured beside the native one, in one run: the site's
# size, load to first frame and main-thread work per animation frame in
# headless Chromium (tests/web/measure.mjs), the native frame and draw
# submission (Google Benchmark), and the image path's decode times built
# both ways (bench/web/decode_timing.cpp, wasm under node). Writes
# build-web/web-bench.json and the section "In the browser" of
# docs/PERFORMANCE.md (the whole report anew when tools/bench.sh has left
# its results in build-rel/).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
export NODE_PATH=${NODE_PATH:-/usr/share/nodejs}
bash tools/web.sh >/dev/null
cmake --build build-web/cmake --target vitrane-web-decode-timing -j 2 >/dev/null
VITRANE_BUILD_DIR=$root/build-rel VITRANE_BUILD_TYPE=Release bash tools/build.sh >/dev/null
[[ -d tests/web/node_modules ]] || (cd tests/web && npm ci --no-audit --no-fund --loglevel=error)

native_decode=$(build-rel/vitrane_decode_timing resources)
# Debian's emscripten output predates node 20's fetch.
wasm_decode=$(node --no-experimental-fetch build-web/cmake/vitrane-web-decode-timing.js resources)
browser=$(VITRANE_SITE=build-web/site node tests/web/measure.mjs | tail -n 1)
build-rel/vitrane_bench --benchmark_filter='^BM_FrameThroughRunLoop$|^BM_DrawSubmit/scene:0$' \
  --benchmark_repetitions=3 --benchmark_report_aggregates_only=true \
  --benchmark_out=build-web/native-frame.json --benchmark_out_format=json >/dev/null

gz() { gzip -9 -c "$1" | wc -c; }
site=build-web/site
node - "$native_decode" "$wasm_decode" "$browser" "$(( $(gz $site/vitrane.wasm) + $(gz $site/vitrane.js) ))" \
  "$(gz $site/vitrane.data)" > build-web/web-bench.json <<'JS'
const fs = require("fs");
const [nativeDecode, wasmDecode, browser, wasmJs, data] = process.argv.slice(2);
const bench = JSON.parse(fs.readFileSync("build-web/native-frame.json", "utf8")).benchmarks;
const median = (name) => {
  const b = bench.find((r) => r.run_name === name && r.aggregate_name === "median");
  return b ? b.cpu_time / (b.time_unit === "us" ? 1e3 : b.time_unit === "ns" ? 1e6 : 1) : null;
};
console.log(JSON.stringify({
  date: new Date().toISOString(),
  site: { wasm_js_gzip_bytes: Number(wasmJs), data_gzip_bytes: Number(data) },
  browser: JSON.parse(browser),
  native_frame_ms: median("BM_FrameThroughRunLoop"),
  native_draw_ms: median("BM_DrawSubmit/scene:0"),
  decode_native: JSON.parse(nativeDecode),
  decode_wasm: JSON.parse(wasmDecode),
}, null, 1));
JS
cat build-web/web-bench.json
if [[ -f build-rel/bench.json ]]; then
  python3 tools/bench_report.py build-rel/bench.json docs/PERFORMANCE.md build-web/web-bench.json
else
  # No run of every benchmark to write the report from: the browser's
  # section alone is brought up to date.
  python3 tools/bench_report.py --web-only docs/PERFORMANCE.md build-web/web-bench.json
fi
echo "web-bench: wrote the browser's figures into docs/PERFORMANCE.md"
