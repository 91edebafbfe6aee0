#!/bin/sh
# Builds the fuzz targets (the program and bank loaders, the renderer's MIDI file reader, the PNG
# decoder) with libFuzzer, AddressSanitizer and UndefinedBehaviorSanitizer into build-fuzz/ and runs
# each one.
#   tools/fuzz.sh 20000                  20000 runs per target (the default)
#   tools/fuzz.sh -max_total_time=600    any libFuzzer options instead of a run count
#   SARN_FUZZ_TARGETS="bank_file"        only these targets
set -eu

root=$(cd "$(dirname "$0")/.." && pwd)
build="$root/build-fuzz"
targets=${SARN_FUZZ_TARGETS:-"program_state bank_chunk program_file bank_file bank_image midi_file png"}

# Sources a target compiles in besides the libraries.
target_sources() {
  case "$1" in
    midi_file) echo "$root/tools/render/MidiFile.cpp" ;;
  esac
}

if ! command -v clang++ >/dev/null 2>&1 || ! dpkg -s libclang-rt-14-dev >/dev/null 2>&1; then
  apt-get update
  apt-get install -y clang libclang-rt-14-dev
fi

case "${1:-20000}" in
  -*) options="$*" ;;
  *) options="-runs=${1:-20000}" ;;
esac

# The libraries with coverage instrumentation, through the project's own build.
flags="-fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer -g -O1"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ \
  -DCMAKE_CXX_FLAGS="$flags" -DSARN_TESTS=OFF -DSARN_BENCHMARKS=OFF >/dev/null
cmake --build "$build" --target sarn_plugin sarn_raster -j2

# libpng from Debian's source with the same instrumentation, so that the PNG target's coverage
# reaches into the decoder itself.
if [ ! -f "$build/libpng/libpng.a" ]; then
  pngsrc=$(sh "$root/build-win/libpng.sh" source)
  rm -rf "$build/libpng"
  mkdir -p "$build/libpng"
  cp "$pngsrc/scripts/pnglibconf.h.prebuilt" "$build/libpng/pnglibconf.h"
  for file in png pngerror pngget pngmem pngpread pngread pngrio pngrtran pngrutil pngset pngtrans \
      pngwio pngwrite pngwtran pngwutil; do
    clang $flags -I"$build/libpng" -I"$pngsrc" -c "$pngsrc/$file.c" -o "$build/libpng/$file.o"
  done
  ar rcs "$build/libpng/libpng.a.tmp" "$build/libpng"/*.o
  mv "$build/libpng/libpng.a.tmp" "$build/libpng/libpng.a"
fi
libs="$build/plugin/libsarn_plugin.a $build/raster/libsarn_raster.a
  $build/params/libsarn_params.a $build/engine/libsarn_engine.a $build/libpng/libpng.a -lz -lfreetype -lfontconfig"

compile() {  # output, sources, sanitizer flags
  clang++ -std=c++17 -Wall -Wextra -Wshadow $3 -fno-sanitize-recover=undefined -fno-omit-frame-pointer -g -O1 \
    -I"$root" -o "$1" $2 $libs
}

compile "$build/fuzz_seeds" "$root/tests/fuzz/MakeSeeds.cpp" "-fsanitize=address,undefined"
for target in program_state bank_chunk program_file bank_file bank_image midi_file $targets; do
  mkdir -p "$build/corpus/$target"
done
"$build/fuzz_seeds" "$build/corpus"

# One target: compiled, run, and its figures written to its own report, so that two can run at once.
fuzz_target() {
  target=$1
  report="$build/fuzz_$target.report"
  echo 1 >"$build/fuzz_$target.status"
  source=$(echo "$target" | awk -F_ '{ for (i = 1; i <= NF; i++) printf "%s", toupper(substr($i, 1, 1)) substr($i, 2) }')
  compile "$build/fuzz_$target" "$root/tests/fuzz/Fuzz$source.cpp $(target_sources "$target")" \
    "-fsanitize=fuzzer,address,undefined" >"$report" 2>&1 || return 1
  # No single allocation of the PNG decoder may exceed what an input of up to 4 KB can honestly need
  # (the largest, a 1-bit image inflated 1032 to 1 into 32-bit pixels, is 135 MB).
  limit=""
  [ "$target" = png ] && limit="-malloc_limit_mb=160"
  echo "== fuzz_$target $options $limit" >>"$report"
  if "$build/fuzz_$target" $options $limit -print_final_stats=1 -artifact_prefix="$build/crash_${target}_" \
      "$build/corpus/$target" 2>"$build/fuzz_$target.log"; then
    echo 0 >"$build/fuzz_$target.status"
  else
    echo "fuzz_$target FAILED, see $build/fuzz_$target.log" >>"$report"
  fi
  # Inputs run, speed, coverage (edges) and memory of the run.
  grep -E '^(Done [0-9]+ runs|#[0-9]+[[:space:]]+DONE|stat::number_of_executed_units|stat::average_exec_per_sec|stat::peak_rss_mb)' \
    "$build/fuzz_$target.log" >>"$report" || true
}

# Two targets at a time (each fuzzer runs on one thread), the reports in the order of the list.
running=0
for target in $targets; do
  fuzz_target "$target" &
  running=$((running + 1))
  if [ $running -eq 2 ]; then
    wait
    running=0
  fi
done
wait
status=0
for target in $targets; do
  cat "$build/fuzz_$target.report"
  [ "$(cat "$build/fuzz_$target.status")" = 0 ] || { echo "fuzz_$target FAILED" >&2; status=1; }
done
exit $status
