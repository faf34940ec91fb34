#!/usr/bin/env bash
# Builds Tolvane natively and as 64-bit Windows programs, and the 32-bit
# launcher, and runs every test suite: natively, and the Windows programs and
# the launcher under Wine beside the native builds, each in private prefixes
# of its own.
set -euo pipefail
cd "$(dirname "$0")/.."

# Every step's time, for the table in the developer's guide: its name, the
# seconds on the clock, and the CPU seconds (user, system) of it and the
# programs it waited for, which other work on the machine hardly changes.
# Printed at the end and kept in build/test-times.txt.
mkdir -p build
times_file="$PWD/build/test-times.txt"
: >"$times_file"
step() {
  local TIMEFORMAT="$1	%R	%U	%S"
  shift
  { time "$@" 2>&3; } 3>&2 2>>"$times_file"
}

step deps bash scripts/install-deps.sh all
step format bash scripts/check-format.sh

# The Windows programs and the launcher are built first, so that their suites,
# which mostly wait for Wine and hardly use the processor, run under Wine in
# the background while the native builds take both cores. Every build treats
# compiler warnings as errors here (TOLVANE_WERROR).
# Decides which Wine loader runs the tests (see the script).
source scripts/wine-loader.sh
step "windows configure" cmake --preset windows -DTOLVANE_WERROR=ON
step "windows build" cmake --build --preset windows
# The Windows kits that the Windows tests build and run carry the launcher.
step "launcher configure" cmake --preset launcher -DTOLVANE_WERROR=ON
step "launcher build" cmake --build --preset launcher

# The launcher's cases run with the 32-bit launcher itself (launcher.*, under
# WOW64 in a 64-bit prefix of its own and in a 32-bit one) and with its 64-bit
# twin (launcher64.*); where Wine runs 64-bit programs only, the first set
# skips itself, and the kit test started the twin in the launcher's place.
if [ -n "${TOLVANE_NO_32BIT_PROGRAMS:-}" ]; then
  launcher_set="the 64-bit twin alone (launcher64.*, and in the kit test); launcher.* skipped: $TOLVANE_NO_32BIT_PROGRAMS"
else
  launcher_set="the 32-bit launcher (launcher.*, and in the kit test) and the 64-bit twin (launcher64.*)"
fi

# Tolvane.exe's window is driven and photographed on a true-colour virtual
# display, which xvfb-run stops again when the tests end. Wine's desktop
# belongs to the display its server started with, so the server starts there
# (wine-session.sh stops any left from a run without a display, which would
# show no window at all), and it stops there too, before xvfb-run takes the
# display away from under it.
wine_tests() {
  export WINEPREFIX="$PWD/build/windows/wineprefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
  step "windows tests (beside)" xvfb-run -a -s "-screen 0 1024x768x24" bash scripts/wine-session.sh \
    ctest --preset windows
  echo "launcher: its cases run with $launcher_set"
  export WINEPREFIX="$PWD/build/launcher/wineprefix"
  step "launcher tests (beside)" bash scripts/wine-session.sh ctest --preset launcher
}
# Every prefix this script runs Wine in; the launcher's tests make the last.
wine_prefixes=("$PWD/build/windows/wineprefix" "$PWD/build/launcher/wineprefix" "$PWD/build/launcher/wineprefix32")
wine_log="$PWD/build/wine-tests.log"
wine_tests >"$wine_log" 2>&1 &
wine_pid=$!
trap 'kill "$wine_pid" 2>/dev/null || true
      for p in "${wine_prefixes[@]}"; do WINEPREFIX="$p" wineserver -k 2>/dev/null || true; done' EXIT
echo "test.sh: the Windows and launcher suites run under Wine meanwhile (build/wine-tests.log)"

step "linux configure" cmake --preset linux -DTOLVANE_WERROR=ON
step "linux build" cmake --build --preset linux
step "linux tests" ctest --preset linux

# The native tests once more under AddressSanitizer, LeakSanitizer and UBSan,
# then every fuzz target from its seeds, for an equal share of
# TOLVANE_FUZZ_TOTAL_SECONDS (240), two at a time.
step "asan configure" cmake --preset asan -DTOLVANE_WERROR=ON
step "asan build" cmake --build --preset asan
step "asan tests" ctest --preset asan
step "fuzz configure" cmake --preset fuzz -DTOLVANE_WERROR=ON
step "fuzz build" cmake --build --preset fuzz
step "fuzz tests" ctest --preset fuzz

wine_status=0
step "waiting for wine" wait "$wine_pid" || wine_status=$?
cat "$wine_log"
if [ "$wine_status" -ne 0 ]; then
  echo "test.sh: the suites under Wine failed (exit status $wine_status)" >&2
  exit "$wine_status"
fi

echo "test.sh: seconds per step (clock, CPU user, CPU system):"
awk -F'\t' '{ printf "  %-20s %8s %8s %8s\n", $1, $2, $3, $4 }' "$times_file"
echo "test.sh: the launcher's cases ran with $launcher_set"
