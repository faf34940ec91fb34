#!/usr/bin/env bash
# Prepares a copy of demo/ in build/demo and runs Tolvane on it. With a
# display it opens the window there; without one the command line front end
# runs a whole cycle: scan, upgrade, and a rescan that lists the new firmware
# versions. The copy is made anew each time, so it can be run again and again.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh native
cmake --preset linux >/dev/null
targets=(tolvane-cli tolvane-mkimage ZQ460API)
window=no
if [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; then
  window=yes
  targets+=(Tolvane)
fi
cmake --build --preset linux --target "${targets[@]}" >/dev/null

work=build/demo
bin=build/linux/bin
bash scripts/make-demo-folder.sh "$bin" "$work"

if [ "$window" = yes ]; then
  echo "== Tolvane in $work; close the window to end the demo"
  program="$PWD/$bin/Tolvane"
  cd "$work"
  exec "$program"
fi

# Each step is announced as the command it is, ready to paste again.
for step in scan upgrade scan; do
  echo "== $bin/tolvane-cli -C $work $step --settle-ms 500"
  "$bin/tolvane-cli" -C "$work" "$step" --settle-ms 500
  echo
done
echo "Try next: edit $work/HubBench.ini (hubs, versions, results) and paste a command above; rm $work/HubBench.ini.state puts the old firmware back."
echo "With a display (DISPLAY set), bash scripts/demo.sh builds the window Tolvane and opens it on this bench instead."
