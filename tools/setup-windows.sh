#!/bin/sh
# Installs the Windows cross toolchains (mingw-w64, posix thread model), zlib for mingw, the tools
# that unpack Debian's libpng source for build-win/libpng.sh, and the 64- and 32-bit Wine plus Xvfb
# that the Windows module tests run under. Safe to run again.
set -eu

export DEBIAN_FRONTEND=noninteractive
SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi

packages="g++-mingw-w64-x86-64 g++-mingw-w64-i686 libz-mingw-w64-dev dpkg-dev wine64 xvfb wine32:i386"
# On a machine that has them all, apt is not asked at all (its update alone takes tens of seconds).
if ! sh "$(dirname "$0")/installed.sh" $packages; then
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    $SUDO dpkg --add-architecture i386
  fi
  $SUDO apt-get update
  $SUDO apt-get install -y --no-install-recommends \
    g++-mingw-w64-x86-64 g++-mingw-w64-i686 libz-mingw-w64-dev dpkg-dev wine64 xvfb
  $SUDO apt-get install -y --no-install-recommends wine32:i386
fi

# The build uses the -posix compilers (std::mutex needs the posix thread model).
for c in x86_64-w64-mingw32-g++-posix i686-w64-mingw32-g++-posix; do
  command -v "$c" >/dev/null || { echo "missing $c" >&2; exit 1; }
done
