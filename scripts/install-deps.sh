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

# Wine takes the Windows locale (code page 1254, Turkish separators) from
# LC_ALL, which needs the host locale to exist.
if ! locale -a 2>/dev/null | grep -qi '^tr_TR\.utf-\?8$'; then
  echo "install-deps: generating tr_TR.UTF-8"
  sed -i 's/^# *tr_TR.UTF-8 UTF-8/tr_TR.UTF-8 UTF-8/' /etc/locale.gen
  grep -q '^tr_TR.UTF-8 UTF-8' /etc/locale.gen || echo 'tr_TR.UTF-8 UTF-8' >> /etc/locale.gen
  locale-gen >/dev/null
fi
