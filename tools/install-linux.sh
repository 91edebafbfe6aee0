#!/bin/sh
# Puts the Linux modules where Linux hosts look for plug-ins: the VST2 module in ~/.vst and the LV2
# bundle in ~/.lv2 for the user who runs it, /usr/local/lib/vst and /usr/local/lib/lv2 for every user
# with --system, or both into the folder given. SARN_MODULE names another VST2 module to install
# (default out/linux/Sarn.so).
set -eu
cd "$(dirname "$0")/.."
module=${SARN_MODULE:-out/linux/Sarn.so}
bundle=out/linux/sarn.lv2
case "${1:-}" in
  "") folder="${HOME:?HOME is not set}/.vst"; lv2folder="$HOME/.lv2" ;;
  --system) folder=/usr/local/lib/vst; lv2folder=/usr/local/lib/lv2 ;;
  -h|--help)
    echo "usage: sh tools/install-linux.sh [--system | <folder>]"
    exit 0 ;;
  -*)
    echo "install-linux.sh: unknown option $1 (try --help)" >&2
    exit 2 ;;
  *) folder=$1; lv2folder=$1 ;;
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
if [ -f "$bundle/manifest.ttl" ] && [ -f "$bundle/sarn.so" ]; then
  # The bundle is made whole beside the old one and then takes its place.
  mkdir -p "$lv2folder"
  rm -rf "$lv2folder/.sarn.lv2.new"
  mkdir "$lv2folder/.sarn.lv2.new"
  install -m 0644 "$bundle"/*.ttl "$lv2folder/.sarn.lv2.new/"
  install -m 0755 "$bundle/sarn.so" "$lv2folder/.sarn.lv2.new/sarn.so"
  rm -rf "$lv2folder/sarn.lv2"
  mv "$lv2folder/.sarn.lv2.new" "$lv2folder/sarn.lv2"
  echo "installed $lv2folder/sarn.lv2"
else
  echo "install-linux.sh: no LV2 bundle in $bundle (build the target sarn_lv2_bundle); only the VST2 module installed" >&2
fi
