# Sourced by the test scripts before anything runs under Wine.
#
# Debian's `wine` prefers Wine's 32-bit loader, which 64-bit programs reach
# through it as well. Some kernels run no 32-bit programs at all (virtual
# machines built without IA-32 emulation): there `wine` fails with "Exec format
# error" before any Windows program starts. On such a machine Wine runs with
# its 64-bit loader alone, through small stand-ins for `wine` and `wine-stable`
# (wineboot and the other tools start through the latter), and
# TOLVANE_NO_32BIT_PROGRAMS=1 tells the tests that start the 32-bit launcher
# to skip themselves, saying why.
wine32_loader=/usr/lib/wine/wine
wine64_loader=/usr/lib/wine/wine64
if [ -x "$wine32_loader" ] && ! "$wine32_loader" --version >/dev/null 2>&1 && [ -x "$wine64_loader" ]; then
  wine_stand_ins="$PWD/build/wine64-only"
  mkdir -p "$wine_stand_ins"
  for name in wine wine-stable; do
    printf '#!/bin/sh\nexport WINELOADER=%s\nexec %s "$@"\n' "$wine64_loader" "$wine64_loader" \
      >"$wine_stand_ins/$name"
    chmod +x "$wine_stand_ins/$name"
  done
  export PATH="$wine_stand_ins:$PATH" TOLVANE_NO_32BIT_PROGRAMS=1
  echo "wine-loader: this machine runs no 32-bit programs; Wine runs 64-bit only, and the tests that start the 32-bit launcher are skipped"
fi
