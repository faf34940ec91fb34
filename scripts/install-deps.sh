#!/usr/bin/env bash
# Installs the Debian 12 packages that Tolvane needs, and only those missing.
#   native  the native build and its tests: compiler, CMake, GoogleTest, Qt 6
#           and the serif font of the Linux window; clang and its runtime
#           libraries (libFuzzer) for the fuzz targets; libudev for the
#           read-only system mode and umockdev to test it without hubs; the
#           header-only CLI11 and nlohmann JSON of tolvane-cli (MinGW uses
#           them too); libcrypto for image digests; clang-format for the
#           format check; python3-jsonschema to hold the JSON documents to
#           their schemas; jq, which the benchmark reads a history with
#           beside tolvane-cli; Chromium, its WebDriver and Pillow, with
#           which a test opens the line report's page in a browser and
#           looks at its screenshot
#   all     (default) also the MinGW-w64 cross compilers, Wine (64-bit and, for
#           the 32-bit launcher, 32-bit), Xvfb and fonts for the windows
# Safe to run again. Needs root (it runs apt-get).
#
# A mirror in the middle of a sync serves an index that does not match its
# Release file, and apt-get update then fails although the other lists
# arrived. So the update is tried a few times and then the script goes on
# with what it has; it stops only when a package the builds need cannot be
# installed. 32-bit Wine goes in last and alone: without it the launcher's
# 32-bit cases skip themselves (its 64-bit twin runs them), so failing to
# install it is said in one line and is no failure.
set -uo pipefail

group=${1:-all}
native=(build-essential cmake pkg-config git libgtest-dev googletest
  qt6-base-dev qt6-base-dev-tools libgl-dev fonts-liberation
  clang libclang-rt-14-dev
  libudev-dev umockdev libumockdev-dev libcli11-dev nlohmann-json3-dev
  libssl-dev clang-format python3-jsonschema jq
  chromium chromium-driver python3-pil)
cross=(
  mingw-w64 g++-mingw-w64-x86-64 g++-mingw-w64-i686 binutils-mingw-w64
  wine wine64
  xvfb xauth x11-utils fonts-dejavu-core fonts-wine
  zip unzip
)
wine32=wine32:i386
update_attempts=3
update_pause=5
case "$group" in
  native) packages=("${native[@]}"); what="the native build" ;;
  all) packages=("${native[@]}" "${cross[@]}" "$wine32"); what="the native and the Windows builds" ;;
  *) echo "usage: $0 [native|all]" >&2; exit 2 ;;
esac

installed() {
  dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed'
}

# The first error apt-get wrote (the later ones sum it up), without its "E: ", as the one-line reason.
apt_reason() {
  local line
  line=$(grep "^E: " "$1" | head -n 1)
  line=${line#E: }
  line=${line%.}
  echo "${line:-apt-get exited with status $2}"
}

required=()
want_wine32=false
for p in "${packages[@]}"; do
  installed "$p" && continue
  if [ "$p" = "$wine32" ]; then
    want_wine32=true
  else
    required+=("$p")
  fi
done
if [ "${#required[@]}" -eq 0 ] && ! $want_wine32; then
  echo "install-deps: every package for $what is present"
  exit 0
fi
missing=("${required[@]}")
$want_wine32 && missing+=("$wine32")
if [ "$(id -u)" -ne 0 ]; then
  echo "install-deps: run as root to install: ${missing[*]}" >&2
  exit 1
fi

echo "install-deps: missing for $what: ${missing[*]}"
errors=$(mktemp)
trap 'rm -f "$errors"' EXIT
# Wine's 32-bit half comes from the i386 architecture.
if $want_wine32 && ! dpkg --print-foreign-architectures | grep -qx i386; then
  dpkg --add-architecture i386
fi
export DEBIAN_FRONTEND=noninteractive

# apt-get is kept quiet, so say what the silence is.
echo "install-deps: apt-get update: reading the package lists (about a minute)"
updated=false
for attempt in $(seq "$update_attempts"); do
  if apt-get update -qq -o Acquire::Retries=3 >/dev/null 2>"$errors"; then
    updated=true
    break
  fi
  [ "$attempt" -lt "$update_attempts" ] && sleep "$update_pause"
done
if ! $updated; then
  echo "install-deps: apt-get update failed $update_attempts times ($(apt_reason "$errors" 100));" \
       "going on with the package lists that did arrive"
fi

if [ "${#required[@]}" -gt 0 ]; then
  echo "install-deps: apt-get install: downloading and installing ${#required[@]} packages" \
       "(a few minutes; about 5 GB on disk for 'all'), quiet until done"
  apt-get install -y -qq --no-install-recommends "${required[@]}" >/dev/null 2>"$errors"
  status=$?
  if [ "$status" -ne 0 ]; then
    echo "install-deps: cannot install the packages for $what (${required[*]}):" \
         "$(apt_reason "$errors" "$status")" >&2
    exit 1
  fi
fi

if $want_wine32; then
  echo "install-deps: apt-get install: 32-bit Wine ($wine32)"
  apt-get install -y -qq --no-install-recommends "$wine32" >/dev/null 2>"$errors"
  status=$?
  if [ "$status" -ne 0 ]; then
    echo "install-deps: 32-bit Wine ($wine32) could not be installed: $(apt_reason "$errors" "$status");" \
         "the launcher's 32-bit cases will be skipped"
  fi
fi
echo "install-deps: done"
