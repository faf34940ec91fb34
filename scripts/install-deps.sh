#!/usr/bin/env bash
# Installs every Debian 12 package that building and testing Tolvane needs:
# the native toolchain and GoogleTest, the MinGW-w64 cross compilers, Wine
# (64-bit and 32-bit, for the 64-bit program and the 32-bit launcher), Xvfb
# and fonts for the windows, and Qt 6 for the Linux window.
# Safe to run again: it installs only what is missing. Needs root.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config git zip unzip
  libgtest-dev googletest
  mingw-w64 g++-mingw-w64-x86-64 g++-mingw-w64-i686 binutils-mingw-w64
  wine wine64 wine32:i386 winbind
  xvfb xauth x11-utils fonts-liberation fonts-dejavu-core
  qt6-base-dev qt6-base-dev-tools libgl-dev
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  dpkg --add-architecture i386
  need_update=1
fi
if [ "${#missing[@]}" -eq 0 ]; then
  echo "install-deps: all packages present"
  exit 0
fi

echo "install-deps: installing ${missing[*]}"
if [ "$(id -u)" -ne 0 ]; then
  echo "install-deps: run as root (missing packages: ${missing[*]})" >&2
  exit 1
fi
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq
apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
echo "install-deps: done"
