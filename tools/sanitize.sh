#!/usr/bin/env bash
# Builds everything with AddressSanitizer and UndefinedBehaviorSanitizer
# into build-asan/ (or $VITRANE_ASAN_BUILD_DIR) and runs the whole test
# suite there. Any sanitizer report fails the test it happens in.
#
# Leaks inside third-party libraries we cannot free (Mesa's drivers, X11,
# fontconfig) are listed in tools/lsan.supp; nothing of ours belongs there.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${VITRANE_ASAN_BUILD_DIR:-$root/build-asan}
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVITRANE_SANITIZE=ON >/dev/null
# The tests and the programs they run; the benchmarks are not measured here.
cmake --build "$build" --parallel "$(nproc)" --target vitrane_tests
# Third-party libraries stay loaded to the end in this build, so the leaks
# they keep for the life of the process can be named in tools/lsan.supp.
# intercept_tls_get_addr=0: GCC 12's runtime takes a dynamic TLS block that
# happens to start 16 bytes into a page for an old glibc's header and reads
# garbage as its bounds, so the leak checker's tracer dies with signal 11
# after a test has passed (Mesa's dlopen'd drivers make such blocks); which
# test it hits moves with any change to allocation. Those blocks come from
# malloc, so the heap scan still reaches what they hold.
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:strict_string_checks=1:detect_stack_use_after_return=0:intercept_tls_get_addr=0
export UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1
export LSAN_OPTIONS=suppressions=$root/tools/lsan.supp:print_suppressions=0
cd "$build"
# The tests' own time limits were set for the plain build.
ctest --output-on-failure --parallel "$(nproc)" --timeout 900
