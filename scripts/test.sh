#!/usr/bin/env bash
# Builds Tolvane natively and as 64-bit Windows programs, and the 32-bit
# launcher, and runs every test suite: natively, then the Windows programs and
# the launcher under Wine, each build in private prefixes of its own.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh all
bash scripts/check-format.sh

# Every build treats compiler warnings as errors here (TOLVANE_WERROR).
cmake --preset linux -DTOLVANE_WERROR=ON
cmake --build --preset linux
ctest --preset linux

# The native tests once more under AddressSanitizer, LeakSanitizer and UBSan,
# then every fuzz target for TOLVANE_FUZZ_SECONDS (60) from its seeds.
cmake --preset asan -DTOLVANE_WERROR=ON
cmake --build --preset asan
ctest --preset asan
cmake --preset fuzz -DTOLVANE_WERROR=ON
cmake --build --preset fuzz
ctest --preset fuzz

# Decides which Wine loader runs the tests (see the script).
source scripts/wine-loader.sh
cmake --preset windows -DTOLVANE_WERROR=ON
cmake --build --preset windows
# The Windows kits that the Windows tests build and run carry the launcher.
cmake --preset launcher -DTOLVANE_WERROR=ON
cmake --build --preset launcher
export WINEPREFIX="$PWD/build/windows/wineprefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
# Every prefix this script runs Wine in; the launcher's tests make the last.
wine_prefixes=("$WINEPREFIX" "$PWD/build/launcher/wineprefix" "$PWD/build/launcher/wineprefix32")
trap 'for p in "${wine_prefixes[@]}"; do WINEPREFIX="$p" wineserver -k 2>/dev/null || true; done' EXIT
# Tolvane.exe's window is driven and photographed on a true-colour virtual
# display, which xvfb-run stops again when the tests end. Wine's desktop
# belongs to the display its server started with, so the server starts there
# (wine-session.sh stops any left from a run without a display, which would
# show no window at all), and it stops there too, before xvfb-run takes the
# display away from under it.
xvfb-run -a -s "-screen 0 1024x768x24" bash scripts/wine-session.sh ctest --preset windows

# The launcher's cases run with the 32-bit launcher itself (launcher.*, under
# WOW64 in a 64-bit prefix of its own and in a 32-bit one) and with its 64-bit
# twin (launcher64.*); where Wine runs 64-bit programs only, the first set
# skips itself.
export WINEPREFIX="$PWD/build/launcher/wineprefix"
if [ -n "${TOLVANE_NO_32BIT_PROGRAMS:-}" ]; then
  echo "launcher: its cases run with the 64-bit twin alone (launcher64.*); this machine runs no 32-bit programs"
else
  echo "launcher: its cases run with the 32-bit launcher (launcher.*) and with the 64-bit twin (launcher64.*)"
fi
bash scripts/wine-session.sh ctest --preset launcher
