#!/bin/sh
# Builds the static libpng that the Windows modules link, from Debian's source package, with the
# mingw-w64 C compilers against zlib from libz-mingw-w64-dev. The build of the Windows modules runs it
# (raster/CMakeLists.txt). The source is fetched once into build-win/third_party/src, never committed.
#   sh build-win/libpng.sh 64 DIR   builds DIR/include/png.h (and its two companions) and
#                                   DIR/lib/libpng.a for 64- or 32-bit Windows; nothing when they are there
#   sh build-win/libpng.sh source   only fetches the source and prints its folder (the fuzz build
#                                   compiles it with coverage instrumentation)
set -eu
here=$(cd "$(dirname "$0")" && pwd)
third="$here/third_party"
version=1.6.39
package_version=1.6.39-2+deb12u5  # the newer security release has no source in the archive
src="$third/src/libpng-$version"
SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi

mkdir -p "$third"
# Two builds configuring at once wait for each other instead of unpacking over each other.
exec 9>"$third/.lock"
flock 9

fetch() {
  [ -f "$src/png.c" ] && return 0
  mkdir -p "$third/src"
  if ! ls "$third/src"/libpng1.6_"$package_version".dsc >/dev/null 2>&1; then
    # Source packages come from the same archive as the binaries.
    list=/etc/apt/sources.list.d/sarn-deb-src.sources
    if [ ! -f "$list" ]; then
      sed 's/^Types:.*/Types: deb-src/' /etc/apt/sources.list.d/debian.sources | $SUDO tee "$list" >/dev/null
      $SUDO apt-get update
    fi
    (cd "$third/src" && apt-get source --download-only "libpng1.6=$package_version")
  fi
  rm -rf "$src.tmp"
  # Unpacks the upstream sources and applies Debian's patches.
  (cd "$third/src" && dpkg-source --no-check -x "libpng1.6_$package_version.dsc" "$src.tmp" >/dev/null)
  mv "$src.tmp" "$src"
}

usage() {
  echo "usage: $0 64|32 DIR, or $0 source" >&2
  exit 2
}

build() {
  bits=$1
  out=$2
  case "$bits" in
    64) triple=x86_64-w64-mingw32; flags="-O2" ;;
    32) triple=i686-w64-mingw32; flags="-O2 -msse2 -mfpmath=sse" ;;
    *) usage ;;
  esac
  [ -f "$out/lib/libpng.a" ] && [ -f "$out/include/png.h" ] && return 0
  fetch
  work="$out/obj"
  rm -rf "$work"
  mkdir -p "$work" "$out/include" "$out/lib"
  cp "$src/scripts/pnglibconf.h.prebuilt" "$work/pnglibconf.h"
  for file in png pngerror pngget pngmem pngpread pngread pngrio pngrtran pngrutil pngset pngtrans \
      pngwio pngwrite pngwtran pngwutil; do
    # shellcheck disable=SC2086
    "$triple-gcc" $flags -I"$work" -I"$src" -c "$src/$file.c" -o "$work/$file.o"
  done
  "$triple-ar" rcs "$work/libpng.a" "$work"/*.o
  cp "$src/png.h" "$src/pngconf.h" "$work/pnglibconf.h" "$out/include/"
  mv "$work/libpng.a" "$out/lib/libpng.a"
  rm -rf "$work"
  echo "libpng $version for win$bits in $out"
}

if [ "${1:-}" = source ]; then
  fetch >&2
  echo "$src"
  exit 0
fi
[ $# -eq 2 ] || usage
build "$1" "$(mkdir -p "$2" && cd "$2" && pwd)"
