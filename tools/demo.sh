#!/bin/sh
# The main job: builds Sarn and renders a few seconds of held string chords to out/demo.wav.
set -eu
cd "$(dirname "$0")/.."
sh tools/setup.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release
cmake --build build --target sarn-demo
mkdir -p out
./out/linux/sarn-demo out/demo.wav
