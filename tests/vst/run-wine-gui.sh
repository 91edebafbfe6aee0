#!/bin/sh
# Runs a Windows GUI test program under Wine on an X display of its own: starts Xvfb (24-bit, no reset
# when the last client leaves), tells Wine not to wait for a window manager that is not there, runs the
# program through run-wine.sh and stops the display afterwards.
#   run-wine-gui.sh win64|win32 <prefix root> <program.exe> [arguments...]
# Exits 77 (ctest's skip) where the kernel cannot run programs of the architecture, like run-wine.sh.
set -u
here=$(cd "$(dirname "$0")" && pwd)
arch=$1
root=$2
program=$3
shift 3

sh "$here/run-wine.sh" "$arch" "$root" --probe
status=$?
[ $status -eq 0 ] || exit $status
if ! command -v Xvfb >/dev/null 2>&1; then
  echo "Xvfb not found: run tools/setup-windows.sh" >&2
  exit 1
fi

# Xvfb picks a display number nobody uses and writes it to descriptor 3, so that tests running at the
# same time never share a display.
mkdir -p "$root"
numberfile="$root/display-$arch"
rm -f "$numberfile"
Xvfb -displayfd 3 -noreset -nolisten tcp -screen 0 1280x800x24 3>"$numberfile" >"$root/xvfb-$arch.log" 2>&1 &
xvfb=$!
trap 'kill $xvfb 2>/dev/null; wait $xvfb 2>/dev/null' EXIT INT TERM
display=""
for _ in $(seq 1 200); do
  display=$(tr -d '\n' <"$numberfile" 2>/dev/null)
  [ -n "$display" ] && [ -e "/tmp/.X11-unix/X$display" ] && break
  display=""
  sleep 0.05
done
[ -n "$display" ] || { echo "Xvfb did not start (see $root/xvfb-$arch.log)" >&2; exit 1; }
export DISPLAY=":$display"

name=$(basename "$program")
sh "$here/run-wine.sh" "$arch" "$root" reg add "HKCU\\Software\\Wine\\AppDefaults\\$name\\X11 Driver" \
  /v Managed /t REG_SZ /d N /f >"$root/reg-$arch.log" 2>&1
sh "$here/run-wine.sh" "$arch" "$root" "$program" "$@"
