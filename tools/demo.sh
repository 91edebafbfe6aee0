#!/bin/sh
# The main job: builds the three modules (out/linux/Sarn.so, out/win64/Sarn64.dll, out/win32/Sarn.dll)
# and renders the demo phrase of held string chords through the Linux module, with the factory
# program "Big Strings", to out/demo.wav, and its face as the editor draws it to out/face.png. Safe to
# run again.
set -eu
cd "$(dirname "$0")/.."
sh tools/setup.sh
sh tools/setup-windows.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release
cmake --build build --target sarn_vst sarn-render sarn-face
sh build-win/build.sh
mkdir -p out
./out/linux/sarn-render --module out/linux/Sarn.so --program "Big Strings" --output out/demo.wav
./out/linux/sarn-face --program "Big Strings" --out out/face.png
