#!/usr/bin/env bash
# The build that goes to users: the 32-bit orvix.exe, optimised (-O2),
# statically linked, stripped, with a version resource, and reproducible.
#
#   bash scripts/release.sh           out/release/orvix.exe, orvix.exe.debug, SHA256SUMS
#   bash scripts/release.sh --check   builds twice from scratch, in out/release and in
#                                     a folder elsewhere, and compares the two byte by byte
#
# orvix.exe.debug holds the program's debug information; the program names it
# (and its CRC) in its .gnu_debuglink section. The version is the one in
# resources/version.h. The build tree is out/release/build (cmake/OrvixRelease.cmake
# holds what makes it reproducible).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

check=0
case "${1:-}" in
  "") ;;
  --check) check=1 ;;
  *) echo "usage: $0 [--check]" >&2; exit 2 ;;
esac

bash scripts/install-deps.sh

version=$(sed -nE 's/^#define ORVIX_VERSION_(MAJOR|MINOR|PATCH|BUILD) ([0-9]+)$/\2/p' resources/version.h | paste -sd.)
if ! [[ $version =~ ^[0-9]+\.[0-9]+\.[0-9]+\.[0-9]+$ ]]; then
  echo "release: no version in resources/version.h" >&2
  exit 1
fi

# Nothing of the machine, the clock or the user gets into the build. "Now"
# is 0 for GCC (__DATE__) and for objcopy and strip, which rewrite the PE
# header's time stamp (the linker leaves it 0, --no-insert-timestamp): the
# program's bytes depend on the tree's content only, not on a commit's time.
export SOURCE_DATE_EPOCH=0 TZ=UTC LC_ALL=C.UTF-8
umask 022

build() {  # build tree, output folder
  local tree=$1 out=$2
  cmake -S "$root" -B "$tree" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchain-i686-w64-mingw32.cmake" \
    -DORVIX_RELEASE=ON -DORVIX_TESTS=OFF >/dev/null
  cmake --build "$tree" -j "$(nproc)" --target orvix
  cp "$tree/app/orvix.exe" "$tree/app/orvix.exe.debug" "$out/"
  python3 "$root/scripts/check_pe.py" "$out/orvix.exe" --machine i386 --gui --version "$version" --stripped --dpi-aware
  (cd "$out" && sha256sum orvix.exe orvix.exe.debug >SHA256SUMS)
}

out=$root/out/release
mkdir -p "$out"
if ((check)); then
  rm -rf "$out/build"
fi
echo "== release: orvix.exe $version (commit $(git -C "$root" rev-parse --short HEAD 2>/dev/null || echo unknown))"
start=$SECONDS
build "$out/build" "$out"
echo "built in $((SECONDS - start)) s: $(stat -c %s "$out/orvix.exe") bytes, symbols $(stat -c %s "$out/orvix.exe.debug") bytes"
cat "$out/SHA256SUMS"

if ((check)); then
  other=$(mktemp -d /tmp/orvix-release-check.XXXXXX)
  trap 'rm -rf "$other"' EXIT
  echo "== release --check: the same build again in $other"
  build "$other/build" "$other"
  if cmp -s "$out/SHA256SUMS" "$other/SHA256SUMS"; then
    echo "release --check: the two builds are identical"
  else
    for f in orvix.exe orvix.exe.debug; do
      if ! cmp -s "$out/$f" "$other/$f"; then
        echo "release --check: $f differs ($(cmp -l "$out/$f" "$other/$f" | wc -l) bytes), first at:"
        cmp -l "$out/$f" "$other/$f" | head -5
      fi
    done
    exit 1
  fi
fi
