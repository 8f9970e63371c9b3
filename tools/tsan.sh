#!/usr/bin/env bash
# Builds the tests of what runs on other threads (the background queue,
# photo library loads and their decoders, the IIO reader, session
# recording, camera capture) with ThreadSanitizer into build-tsan/ (or
# $VITRANE_TSAN_BUILD_DIR) and runs them. Any report fails the test it
# happens in; tools/tsan.supp names the few third-party libraries whose
# own threads it cannot see into, each with its reason.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${VITRANE_TSAN_BUILD_DIR:-$root/build-tsan}
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVITRANE_TSAN=ON >/dev/null
# The thread tests alone, not the whole suite a third time.
cmake --build "$build" --parallel "$(nproc)" --target vitrane_thread_tests
# halt_on_error: the first report ends the test, so ctest shows it failed.
# second_deadlock_stack: a lock-order report names where both locks were taken.
export TSAN_OPTIONS="halt_on_error=1:second_deadlock_stack=1:history_size=4:suppressions=$root/tools/tsan.supp"
cd "$build"
ctest --output-on-failure --parallel "$(nproc)" -L threads --timeout 900
