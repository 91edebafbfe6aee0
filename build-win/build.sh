#!/bin/sh
# Cross-builds the Windows modules with mingw-w64: out/win64/Sarn64.dll and out/win32/Sarn.dll (stripped,
# their symbols in out/win<bits>/symbols/), and
# the Windows test host and test plug-in in out/win64/test/ and out/win32/test/. Checks that every
# module exports VSTPluginMain and main and needs nothing but Windows system DLLs.
#   SARN_WIN_BUILD_PREFIX  build directories are <prefix>64 and <prefix>32 (default: build-win)
#   SARN_WIN_JOBS          parallel jobs (default: 2)
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
prefix=${SARN_WIN_BUILD_PREFIX:-$root/build-win}
jobs=${SARN_WIN_JOBS:-2}

# System DLLs a module may import; anything else (the mingw runtime, zlib, libpng) must be linked in.
system_dlls='^(kernel32|user32|gdi32|comctl32|comdlg32|shell32|advapi32|wininet|ole32|oleaut32|msvcrt|shlwapi|uxtheme|version|winmm|msimg32|ws2_32|bcrypt|imm32|api-ms-win-.*)\.dll$'

check_module() {
  objdump=$1
  file=$2
  [ -f "$file" ] || { echo "missing $file" >&2; exit 1; }
  dlls=$("$objdump" -p "$file" | sed -n 's/^[[:space:]]*DLL Name: //p')
  for dll in $dlls; do
    if ! echo "$dll" | tr 'A-Z' 'a-z' | grep -Eq "$system_dlls"; then
      echo "$file needs $dll, which is not a Windows system DLL" >&2
      exit 1
    fi
  done
  case "$file" in
    *.dll)
      exports=$("$objdump" -p "$file" | sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p')
      for name in VSTPluginMain main; do
        echo "$exports" | grep -Eq "\] $name\$" || { echo "$file does not export $name" >&2; exit 1; }
      done ;;
  esac
  echo "$file: imports $(echo $dlls | tr '\n' ' ')"
}

# The delivered modules carry no debug information or symbol table: both go to
# out/win<bits>/symbols/<module>.debug, which the stripped module names in its debug link.
strip_module() {
  triple=$1
  file=$2
  symbols="$(dirname "$file")/symbols"
  debug="$symbols/$(basename "$file").debug"
  # Already stripped (nothing was relinked): keep the symbols taken from the build that made it.
  if ! "$triple-objdump" -h "$file" | grep -q ' \.debug_info '; then
    echo "$file: $(stat -c %s "$file") bytes, already stripped"
    return 0
  fi
  mkdir -p "$symbols"
  before=$(stat -c %s "$file")
  "$triple-objcopy" --only-keep-debug "$file" "$debug"
  "$triple-strip" --strip-all "$file"
  (cd "$symbols" && "$triple-objcopy" --add-gnu-debuglink="$(basename "$debug")" "$file")
  echo "$file: $before bytes, stripped $(stat -c %s "$file"); symbols in $debug"
}

build() {
  bits=$1
  triple=$2
  dir=$prefix$bits
  cmake -S "$root" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE="$root/build-win/toolchain-win$bits.cmake" \
    -DSARN_VST_TEST_HOST=ON \
    -DSARN_TESTS=OFF -DSARN_BENCHMARKS=OFF >/dev/null
  targets="sarn_vst_test_module vst_test_host win_shell_test win_editor_test"
  if ninja -C "$dir" -t targets all | grep -q '^sarn_vst:'; then targets="sarn_vst $targets"; fi
  cmake --build "$dir" --target $targets -j "$jobs"
  for file in "$root/out/win$bits"/*.dll; do
    [ -e "$file" ] && strip_module "$triple" "$file"
  done
  for file in "$root/out/win$bits"/*.dll "$root/out/win$bits"/test/*.dll "$root/out/win$bits"/test/*.exe; do
    [ -e "$file" ] && check_module "$triple-objdump" "$file"
  done
}

build 64 x86_64-w64-mingw32
build 32 i686-w64-mingw32
