#!/usr/bin/env bash
# Builds all three targets and runs every test:
#   out/native  portable core, GoogleTest suites, diagnostic tool
#   out/asan    the same suites under AddressSanitizer + UndefinedBehaviorSanitizer
#   out/fuzz    libFuzzer targets (clang), each run for a short bounded time
#   out/win64   the 64-bit orvix.exe and its Windows tests under Wine (Turkish
#               locale); its script suites only where 32-bit programs cannot run
#   out/win32   the shipped 32-bit orvix.exe and every Windows test under Wine,
#               plus the release's own orvix.exe end to end (where this machine
#               runs 32-bit programs; elsewhere reported as skipped)
#   out/release the shipped program as it goes to users (scripts/release.sh,
#               built once; its PE checks: version resource, nothing left to strip)
# Exit status is non-zero when anything fails to build or any test fails.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

bash scripts/install-deps.sh

jobs=$(nproc)
failed=()

configure() {  # dir, extra cmake args...
  local dir=$1; shift
  cmake -S "$root" -B "$root/out/$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null
}

build() {
  cmake --build "$root/out/$1" -j "$jobs"
}

run_ctest() {  # dir, label
  echo "== ctest: $1"
  if ! ctest --test-dir "$root/out/$1" -j "$jobs" --output-on-failure --no-tests=error; then
    failed+=("$1")
  fi
}

echo "== build: native"
configure native -DORVIX_BENCHMARKS=ON
build native
echo "== build: asan"
configure asan -DORVIX_SANITIZE=ON
build asan
echo "== build: win64"
configure win64 -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchain-x86_64-w64-mingw32.cmake"
build win64
echo "== build: win32"
configure win32 -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchain-i686-w64-mingw32.cmake"
build win32
echo "== build: release"
# Its own tree (other flags, no tests): only the program is built. A failed
# release build or PE check fails the test command but not the suites below.
if ! bash scripts/release.sh; then
  failed+=(release)
fi
echo "== build: fuzz"
configure fuzz -DORVIX_FUZZ=ON -DORVIX_TESTS=OFF -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++
build fuzz

run_ctest native
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 run_ctest asan
run_ctest win64
run_ctest win32
if [ -f "$root/out/fuzz/CTestTestfile.cmake" ]; then
  run_ctest fuzz
fi

if ((${#failed[@]})); then
  echo "FAILED: ${failed[*]}"
  exit 1
fi
echo "All test suites passed."
