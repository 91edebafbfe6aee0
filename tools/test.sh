#!/bin/sh
# Builds and runs the whole test suite: once optimised, once with AddressSanitizer and
# UndefinedBehaviorSanitizer (a memory fault or undefined behaviour fails the run).
set -eu
cd "$(dirname "$0")/.."
sh tools/setup.sh
jobs=$(nproc)

cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release
cmake --build build -j"$jobs"
ctest --test-dir build --output-on-failure -j"$jobs"

cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DSARN_SANITIZE=ON -DSARN_BENCHMARKS=OFF
cmake --build build-asan -j"$jobs"
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  ctest --test-dir build-asan --output-on-failure -j"$jobs"
