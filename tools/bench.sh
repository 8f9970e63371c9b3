#!/usr/bin/env bash
# Builds Release into build-rel/, runs every benchmark (build-rel/vitrane_bench)
# and writes docs/PERFORMANCE.md from the results: each figure beside its
# aim, and the side-by-side ratios against the reference implementations.
# The raw results stay in build-rel/bench.json.
#
#   bash tools/bench.sh [extra vitrane_bench options...]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${VITRANE_BENCH_BUILD_DIR:-$root/build-rel}
"$root/tools/setup.sh" bench
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF >/dev/null
cmake --build "$build" --parallel "$(nproc)" --target vitrane_bench
[[ -x "$build/vitrane_bench" ]] || { echo "bench: vitrane_bench was not built (Google Benchmark missing?)" >&2; exit 1; }
# Three runs of each, reported by their median: one run on a shared machine
# can land on a busy moment.
"$build/vitrane_bench" --benchmark_repetitions=3 --benchmark_report_aggregates_only=true \
  --benchmark_out="$build/bench.json" --benchmark_out_format=json "$@"
# The browser's figures (tools/web_bench.sh) stay in the report once measured.
web=()
[[ -f "$root/build-web/web-bench.json" ]] && web=("$root/build-web/web-bench.json")
python3 "$root/tools/bench_report.py" "$build/bench.json" "$root/docs/PERFORMANCE.md" "${web[@]}"
echo "bench: wrote docs/PERFORMANCE.md"
