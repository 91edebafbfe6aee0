#!/bin/sh
# Builds and runs the whole test suite: optimised with the Linux and both Windows modules (the
# Windows ones under 64- and 32-bit Wine), then again with AddressSanitizer and
# UndefinedBehaviorSanitizer, so that a memory fault or undefined behaviour fails the run, then the
# threaded suites with ThreadSanitizer, so that a data race fails it; last, each fuzz target runs for
# a few seconds.
set -eu
cd "$(dirname "$0")/.."
sh tools/setup.sh
sh tools/setup-windows.sh
jobs=$(nproc)
# The test programs share one precompiled GoogleTest header; a compiler cache, if one is configured,
# keeps caching them only with this sloppiness.
export CCACHE_SLOPPINESS=pch_defines,time_macros

cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release -DSARN_TEST_PCH=ON
cmake --build build -j"$jobs"
sh build-win/build.sh
ctest --test-dir build --output-on-failure -j"$jobs"

# The sanitizer build keeps its modules to itself; the Windows modules were tested above.
cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DSARN_SANITIZE=ON -DSARN_BENCHMARKS=OFF \
  -DSARN_TEST_PCH=ON -DSARN_OUTPUT_ROOT="$PWD/build-asan/out"
cmake --build build-asan -j"$jobs"
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  ctest --test-dir build-asan --output-on-failure -j"$jobs" -E "win32|win64|renders_match"

# ThreadSanitizer on what runs on several threads at once: the plug-in base with the host's threads,
# the editor core's mailbox, and the X11 editor's own thread against the host's and the audio
# thread. (The face's three-thread stress case, which spins on the plug-in's lock, takes minutes
# under the sanitizer's unfair locks and stays in the builds above.)
cmake -S . -B build-tsan -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DSARN_THREAD_SANITIZE=ON -DSARN_BENCHMARKS=OFF \
  -DSARN_TEST_PCH=ON -DSARN_OUTPUT_ROOT="$PWD/build-tsan/out"
cmake --build build-tsan -j"$jobs" --target plugin_tests editor_tests x11_tests
export TSAN_OPTIONS="halt_on_error=1:second_deadlock_stack=1:suppressions=$PWD/tests/tsan.supp"
# The X11 editor's suite mostly waits for its display: it runs beside the other two, its report after them.
XDG_CONFIG_HOME="$PWD/build-tsan/test-config" SARN_UPDATE_SERVER=127.0.0.1:9 build-tsan/tests/x11_tests \
  >build-tsan/x11_tests.log 2>&1 &
x11=$!
trap 'kill $x11 2>/dev/null' EXIT
XDG_CONFIG_HOME="$PWD/build-tsan/test-config" build-tsan/tests/plugin_tests
build-tsan/tests/editor_tests
x11_status=0
wait $x11 || x11_status=$?
trap - EXIT
cat build-tsan/x11_tests.log
[ $x11_status -eq 0 ] || { echo "x11_tests failed under ThreadSanitizer ($x11_status)" >&2; exit 1; }
unset TSAN_OPTIONS

# Every fuzz target for a few seconds, so that none stops building or finding its way unnoticed.
sh tools/fuzz.sh -max_total_time=3
