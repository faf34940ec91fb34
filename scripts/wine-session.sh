#!/usr/bin/env bash
# Runs a command with Wine's server of $WINEPREFIX up for the whole of it, and
# stops the server afterwards, waiting until it is gone. Usage:
#   WINEPREFIX=... bash scripts/wine-session.sh ctest --preset windows
#
# Left to itself the server quits a few seconds after its last program, and a
# test that starts in that moment is refused with "wine client error:0:
# recvmsg: Connection reset by peer". Here it runs persistently (-p). The
# prefix's own programs (services, the desktop) start with wineboot before the
# command: they outlive every test now, and a test that started them would
# leave its output open to them, so that ctest waited for it in vain.
set -uo pipefail
: "${WINEPREFIX:?wine-session: set WINEPREFIX to the prefix the command runs in}"

wineserver -k 2>/dev/null
wineserver -w 2>/dev/null
# The persistent server needs the prefix's folder, so a new prefix is made first.
if [ ! -d "$WINEPREFIX" ]; then
  wineboot --init && wineserver -w || exit 1
fi
if ! { wineserver -p && wineboot --init; }; then
  echo "wine-session: Wine's server or wineboot did not start in $WINEPREFIX" >&2
  wineserver -k 2>/dev/null
  exit 1
fi
"$@"
status=$?
wineserver -k
wineserver -w
exit $status
