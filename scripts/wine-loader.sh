# Sourced by the test scripts before anything runs under Wine.
#
# Debian's `wine` prefers Wine's 32-bit loader, which 64-bit programs reach
# through it as well. A machine may run no 32-bit programs under Wine, for
# one of three reasons:
#   - 32-bit Wine (wine32:i386) is not installed, e.g. because the package
#     registry could not serve it (scripts/install-deps.sh goes on without it);
#   - it is installed, but its loader is missing;
#   - the kernel refuses 32-bit programs (virtual machines built without IA-32
#     emulation): the loader fails with "Exec format error".
# There Wine runs with its 64-bit loader alone, through small stand-ins for
# `wine` and `wine-stable` (wineboot and the other tools start through the
# latter), and TOLVANE_NO_32BIT_PROGRAMS holds the reason, which tells the
# tests that need 32-bit programs to skip themselves, or to start the
# launcher's 64-bit twin, and to say why.
# TOLVANE_WINE_DIR names the folder of Wine's loaders (Debian's by default).
wine_dir=${TOLVANE_WINE_DIR:-/usr/lib/wine}
wine32_loader=$wine_dir/wine
wine64_loader=$wine_dir/wine64

# The reason this machine runs no 32-bit programs under Wine, or nothing.
wine32_missing_reason() {
  local error
  if [ ! -e "$wine32_loader" ]; then
    if command -v dpkg-query >/dev/null &&
      ! dpkg-query -W -f='${Status}' wine32:i386 2>/dev/null | grep -q 'install ok installed'; then
      echo "32-bit Wine (wine32:i386) is not installed"
    else
      echo "Wine's 32-bit loader $wine32_loader is missing"
    fi
  elif ! error=$("$wine32_loader" --version 2>&1 >/dev/null); then
    case "$error" in
      *"Exec format error"*) echo "the kernel refuses 32-bit programs (Exec format error)" ;;
      *) echo "Wine's 32-bit loader $wine32_loader does not run: $(printf '%s\n' "$error" | head -n 1)" ;;
    esac
  fi
}

wine32_reason=$(wine32_missing_reason)
if [ -n "$wine32_reason" ] && [ -x "$wine64_loader" ]; then
  wine_stand_ins="$PWD/build/wine64-only"
  mkdir -p "$wine_stand_ins"
  for name in wine wine-stable; do
    printf '#!/bin/sh\nexport WINELOADER=%s\nexec %s "$@"\n' "$wine64_loader" "$wine64_loader" \
      >"$wine_stand_ins/$name"
    chmod +x "$wine_stand_ins/$name"
  done
  export PATH="$wine_stand_ins:$PATH" TOLVANE_NO_32BIT_PROGRAMS="$wine32_reason"
  echo "wine-loader: $wine32_reason; Wine runs 64-bit programs only, and the tests that need 32-bit programs are skipped"
fi
unset wine32_reason
