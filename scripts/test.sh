#!/usr/bin/env bash
# Builds Tolvane natively and as 64-bit Windows programs and runs every test
# suite: natively, then the Windows programs under Wine in a private prefix.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh all

cmake --preset linux
cmake --build --preset linux
ctest --preset linux

cmake --preset windows
cmake --build --preset windows
export WINEPREFIX="$PWD/build/windows/wineprefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
trap 'wineserver -k 2>/dev/null || true' EXIT
wineboot --init
ctest --preset windows
