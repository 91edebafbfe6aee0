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

# A display number nobody uses.
display=""
for n in $(seq 140 199); do
  if [ ! -e "/tmp/.X$n-lock" ] && [ ! -e "/tmp/.X11-unix/X$n" ]; then
    display=$n
    break
  fi
done
[ -n "$display" ] || { echo "no free X display" >&2; exit 1; }
mkdir -p "$root"
Xvfb ":$display" -noreset -nolisten tcp -screen 0 1280x800x24 >"$root/xvfb-$arch.log" 2>&1 &
xvfb=$!
trap 'kill $xvfb 2>/dev/null; wait $xvfb 2>/dev/null' EXIT INT TERM
for _ in $(seq 1 100); do
  [ -e "/tmp/.X11-unix/X$display" ] && break
  sleep 0.05
done
[ -e "/tmp/.X11-unix/X$display" ] || { echo "Xvfb did not start on :$display" >&2; exit 1; }
export DISPLAY=":$display"

name=$(basename "$program")
sh "$here/run-wine.sh" "$arch" "$root" reg add "HKCU\\Software\\Wine\\AppDefaults\\$name\\X11 Driver" \
  /v Managed /t REG_SZ /d N /f >"$root/reg-$arch.log" 2>&1
sh "$here/run-wine.sh" "$arch" "$root" "$program" "$@"
