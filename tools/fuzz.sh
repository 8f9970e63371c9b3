#!/usr/bin/env bash
# Builds the fuzz targets with clang, AddressSanitizer and UBSan into
# build-fuzz/ and runs each one for SECONDS (default 60), all at once, each
# on a copy of its committed seed corpus (fuzz/corpus/TARGET/) that grows
# in build-fuzz/corpus/TARGET/. Crash inputs land in build-fuzz/findings/;
# commit the ones worth keeping under tests/data/fuzz/TARGET/, where
# tests/fuzz_regressions_test.cpp replays them.
#
#   bash tools/fuzz.sh [SECONDS] [TARGET...]     TARGET: scenario interface image
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${VITRANE_FUZZ_BUILD_DIR:-$root/build-fuzz}
seconds=${1:-60}
shift || true
targets=("$@")
((${#targets[@]})) || targets=(scenario interface image)

"$root/tools/setup.sh" fuzz
CC=clang CXX=clang++ cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DVITRANE_FUZZ=ON -DBUILD_TESTING=OFF >/dev/null
cmake --build "$build" --parallel "$(nproc)" --target "${targets[@]/%/_fuzzer}"

mkdir -p "$build/findings"
pids=()
for t in "${targets[@]}"; do
  mkdir -p "$build/corpus/$t" "$build/findings/$t"
  cp -n "$root/fuzz/corpus/$t/"* "$build/corpus/$t/" 2>/dev/null || true
  # The interface and scenario files are text; a dictionary is not needed
  # for the seeds to reach the interesting keys, they already hold them.
  ASAN_OPTIONS=detect_leaks=1:allocator_may_return_null=1 \
  UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
    "$build/${t}_fuzzer" -max_total_time="$seconds" -rss_limit_mb=2048 -timeout=10 \
      -print_final_stats=1 -artifact_prefix="$build/findings/$t/" \
      "$build/corpus/$t" >"$build/$t.log" 2>&1 &
  pids+=($!)
done
status=0
for i in "${!pids[@]}"; do
  t=${targets[$i]}
  if wait "${pids[$i]}"; then
    echo "fuzz: $t: clean; $(grep -E '^stat::number_of_executed_units' "$build/$t.log" | awk '{print $2}') runs," \
         "$(grep -E '^#[0-9]+' "$build/$t.log" | tail -1 | grep -oE 'cov: [0-9]+ ft: [0-9]+ corp: [0-9]+' || true)"
  else
    status=1
    echo "fuzz: $t: FOUND A FAULT; see $build/$t.log and $build/findings/$t/" >&2
  fi
done
exit "$status"
