#!/usr/bin/env bash
# Installs the Debian 12 packages that Tolvane needs, and only those missing.
#   native  the native build and its tests: compiler, CMake, GoogleTest, Qt 6
#           and the serif font of the Linux window; clang and its runtime
#           libraries (libFuzzer) for the fuzz targets; libudev for the
#           read-only system mode and umockdev to test it without hubs; the
#           header-only CLI11 and nlohmann JSON of tolvane-cli (MinGW uses
#           them too); libcrypto for image digests; clang-format for the
#           format check; python3-jsonschema to hold the JSON documents to
#           their schemas
#   all     (default) also the MinGW-w64 cross compilers, Wine (64-bit and, for
#           the 32-bit launcher, 32-bit), Xvfb and fonts for the windows
# Safe to run again. Needs root (it runs apt-get).
set -euo pipefail

group=${1:-all}
native=(build-essential cmake pkg-config git libgtest-dev googletest
  qt6-base-dev qt6-base-dev-tools libgl-dev fonts-liberation
  clang libclang-rt-14-dev
  libudev-dev umockdev libumockdev-dev libcli11-dev nlohmann-json3-dev
  libssl-dev clang-format python3-jsonschema)
cross=(
  mingw-w64 g++-mingw-w64-x86-64 g++-mingw-w64-i686 binutils-mingw-w64
  wine wine64 wine32:i386
  xvfb xauth x11-utils fonts-dejavu-core fonts-wine
  zip unzip
)
case "$group" in
  native) packages=("${native[@]}"); what="the native build" ;;
  all) packages=("${native[@]}" "${cross[@]}"); what="the native and the Windows builds" ;;
  *) echo "usage: $0 [native|all]" >&2; exit 2 ;;
esac

installed() {
  dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed'
}

missing=()
for p in "${packages[@]}"; do
  installed "$p" || missing+=("$p")
done
if [ "${#missing[@]}" -eq 0 ]; then
  echo "install-deps: every package for $what is present"
  exit 0
fi
if [ "$(id -u)" -ne 0 ]; then
  echo "install-deps: run as root to install: ${missing[*]}" >&2
  exit 1
fi

echo "install-deps: missing for $what: ${missing[*]}"
# Wine's 32-bit half comes from the i386 architecture.
if [ "$group" = all ] && ! dpkg --print-foreign-architectures | grep -qx i386; then
  dpkg --add-architecture i386
fi
export DEBIAN_FRONTEND=noninteractive
# apt-get is kept quiet, so say what the silence is.
echo "install-deps: apt-get update: reading the package lists (about a minute)"
apt-get update -qq
echo "install-deps: apt-get install: downloading and installing ${#missing[@]} packages" \
     "(a few minutes; about 5 GB on disk for 'all'), quiet until done"
apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
echo "install-deps: done"
