#!/bin/sh
# Puts the Linux module where Linux VST2 hosts look for plug-ins: ~/.vst for the user who runs it,
# /usr/local/lib/vst for every user with --system, or the folder given. SARN_MODULE names another
# module to install (default out/linux/Sarn.so).
set -eu
cd "$(dirname "$0")/.."
module=${SARN_MODULE:-out/linux/Sarn.so}
case "${1:-}" in
  "") folder="${HOME:?HOME is not set}/.vst" ;;
  --system) folder=/usr/local/lib/vst ;;
  -h|--help)
    echo "usage: sh tools/install-linux.sh [--system | <folder>]"
    exit 0 ;;
  -*)
    echo "install-linux.sh: unknown option $1 (try --help)" >&2
    exit 2 ;;
  *) folder=$1 ;;
esac
if [ ! -f "$module" ]; then
  echo "install-linux.sh: $module is missing; build it first:" >&2
  echo "  cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release && cmake --build build --target sarn_vst" >&2
  exit 1
fi
mkdir -p "$folder"
# A new file beside the old one, then renamed over it: a host that has the module loaded keeps its copy.
install -m 0755 "$module" "$folder/.Sarn.so.new"
mv -f "$folder/.Sarn.so.new" "$folder/Sarn.so"
echo "installed $folder/Sarn.so"
