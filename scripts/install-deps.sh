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
  wine64 xvfb xauth
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
