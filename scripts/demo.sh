#!/usr/bin/env bash
# The demo: installs what is missing, builds orvix.exe (the shipped 32-bit
# program and the 64-bit one that runs under Wine here) and runs it the way
# Plumo does, under the Wine bench, with tools/fake-parent as the parent
# window printing what the program sends back.
#
# Until the quota query lands this shows the dispatcher: a switch that needs
# a window and gets none does nothing, and "-exit 0" finds no running query.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

bash scripts/install-deps.sh

configure() {  # dir, extra cmake args...
  local dir=$1; shift
  cmake -S "$root" -B "$root/out/$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null
}

echo "== build: win32 (the shipped orvix.exe)"
configure win32 -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchain-i686-w64-mingw32.cmake"
cmake --build "$root/out/win32" -j "$(nproc)" --target orvix
python3 scripts/check_pe.py "$root/out/win32/app/orvix.exe" --machine i386 --gui

echo "== build: win64 (runs under Wine)"
configure win64 -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchain-x86_64-w64-mingw32.cmake"
cmake --build "$root/out/win64" -j "$(nproc)" --target orvix fake-parent

export ORVIX_WINE_DIR=$root/out/win64/wine
bash scripts/wine-bench.sh start "$ORVIX_WINE_DIR"
trap 'bash "$root/scripts/wine-bench.sh" stop "$ORVIX_WINE_DIR" >/dev/null' EXIT

orvix="Z:${root//\//\\}\\out\\win64\\app\\orvix.exe"
run() {
  echo "== orvix.exe $*"
  local status=0
  bash scripts/wine-run.sh "$root/out/win64/tools/fake-parent/fake-parent.exe" --timeout 60 "$orvix" "$@" || status=$?
  echo "   (exit status $status; each line above is one message Plumo's window received)"
}
run -getmyip abc
run -getversion 0 anasayfa
run -exit
run -exit 0
echo "demo done"
