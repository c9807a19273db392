#!/usr/bin/env bash
# Installs what building and testing need on a Debian 12 machine, as root.
# Idempotent: when everything is already there it changes nothing and does
# not touch the network.
set -euo pipefail

packages=(
  cmake ninja-build g++ make pkg-config python3 openssl locales
  libgtest-dev googletest libbenchmark-dev
  clang libclang-rt-14-dev libfuzzer-14-dev
  g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix binutils-mingw-w64
  wine64 xvfb xauth arch-test
  libgumbo-dev libxml2-dev libinih-dev
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if ((${#missing[@]})); then
  echo "install-deps: installing ${missing[*]}"
  if [ "$(id -u)" -ne 0 ]; then
    echo "install-deps: run as root (apt-get is needed)" >&2
    exit 1
  fi
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  # With recommends: Wine and Xvfb are tested here with what they recommend.
  apt-get install -y -qq "${missing[@]}" >/dev/null
fi

# Wine takes the Windows locale (code page and separators) from LC_ALL,
# which needs the host locale to exist: tr_TR for the Turkish Windows the
# program is made for (code page 1254, Turkish separators), en_US for a
# Turkish user on a Windows in another language (code page 1252).
wanted=()
for loc in tr_TR en_US; do
  locale -a 2>/dev/null | grep -qi "^${loc}\.utf-\?8\$" || wanted+=("$loc")
done
if [ ${#wanted[@]} -gt 0 ]; then
  for loc in "${wanted[@]}"; do
    echo "install-deps: generating ${loc}.UTF-8"
    sed -i "s/^# *${loc}\.UTF-8 UTF-8/${loc}.UTF-8 UTF-8/" /etc/locale.gen
    grep -q "^${loc}\.UTF-8 UTF-8" /etc/locale.gen || echo "${loc}.UTF-8 UTF-8" >> /etc/locale.gen
  done
  locale-gen >/dev/null
fi

# The shipped orvix.exe is a 32-bit program: Debian's 32-bit Wine runs it
# (wine32:i386 beside wine64, one prefix for both widths). Only where the
# kernel executes i386 code: some virtual machines refuse it, and there the
# package's own scripts could not even run. The 32-bit build then reports its
# Wine tests as skipped, with the reason (cmake/OrvixTesting.cmake).
if ! arch-test i386 >/dev/null 2>&1; then
  echo "install-deps: this machine does not execute i386 code: no 32-bit Wine (the 32-bit Windows tests will be skipped)"
elif ! dpkg-query -W -f='${Status}' wine32:i386 2>/dev/null | grep -q "install ok installed"; then
  echo "install-deps: installing wine32:i386"
  export DEBIAN_FRONTEND=noninteractive
  dpkg --print-foreign-architectures | grep -qx i386 || dpkg --add-architecture i386
  apt-get update -qq
  # A Multi-Arch: same library must have one version for both architectures:
  # upgrade the amd64 side to what the indexes offer, then install.
  if ! apt-get install -y -qq wine32:i386 >/dev/null; then
    echo "install-deps: wine32:i386 could not be installed now (the i386 and amd64 indexes disagree?);" \
         "the 32-bit Windows tests will be skipped" >&2
  fi
fi
