#!/bin/sh
# Instructions per RenderBlock call, counted by callgrind (load-independent, repeatable):
#   sh tools/bench/count-instructions.sh <sarn-bench-engine> [benchmark filter]
# The default filter is the 64-key full load at 44.1 kHz. Prints the calls and instructions per call.
set -eu
bench=$1
filter=${2:-'BM_FullLoad/64/44100'}
out=$(mktemp)
valgrind --tool=callgrind --callgrind-out-file="$out" --toggle-collect='Engine::RenderBlock*' \
  "$bench" --benchmark_filter="$filter" --benchmark_min_time=0.05 >/dev/null 2>&1
# Sum the calls of RenderBlock and the instructions spent in them.
fn=$(sed -n 's/^c\{0,1\}fn=(\([0-9]*\)) Engine::RenderBlock.*/\1/p' "$out" | head -1)
awk -v fn="($fn)" '$0 == "cfn=" fn { getline calls; getline cost; split(calls, c, "[= ]"); split(cost, i, " ");
  n += c[2]; ir += i[2] } END { printf "%d calls, %.0f instructions per call\n", n, ir / n }' "$out"
rm -f "$out"
