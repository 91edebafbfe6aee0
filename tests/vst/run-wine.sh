#!/bin/sh
# Runs a Windows test program under Wine, headless, in a prefix of its own per architecture, and
# stops that prefix's Wine server afterwards.
#   run-wine.sh win64|win32 <prefix root> <program.exe> [arguments...]
#   run-wine.sh win64|win32 <prefix root> --probe      only checks that the architecture can run
# Fails when Wine or the program is missing. Exits 77 (ctest's skip) only when the machine's kernel
# cannot execute programs of the architecture at all (a 64-bit kernel without 32-bit support), so
# that such a machine reports the tests as skipped, never as passed.
set -u
arch=$1
root=$2
program=$3
shift 3

case "$arch" in
  win64) wine=${WINE64:-/usr/lib/wine/wine64} ;;
  win32) wine=${WINE32:-/usr/lib/wine/wine} ;;
  *) echo "unknown architecture $arch" >&2; exit 2 ;;
esac
if [ ! -x "$wine" ]; then
  echo "Wine for $arch not found at $wine: run tools/setup-windows.sh" >&2
  exit 1
fi
"$wine" --version >/dev/null 2>&1
if [ $? -eq 126 ]; then
  echo "SKIPPED: this machine's kernel cannot execute $arch programs ($wine: Exec format error)" >&2
  exit 77
fi
[ "$program" = "--probe" ] && exit 0
for file in "$program" "$@"; do
  case "$file" in
    *.exe|*.dll)
      if [ ! -f "$file" ]; then
        echo "missing $file: run build-win/build.sh" >&2
        exit 1
      fi ;;
  esac
done

mkdir -p "$root"
export WINEPREFIX="$root/prefix-$arch"
export WINEARCH="$arch"
export WINEDEBUG=-all
# No Mono or Gecko installers in a fresh prefix.
export WINEDLLOVERRIDES="mscoree,mshtml="
server="$(dirname "$wine")/wineserver"

"$wine" "$program" "$@"
status=$?
"$server" -k 2>/dev/null
"$server" -w 2>/dev/null
exit $status
