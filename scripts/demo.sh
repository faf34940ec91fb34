#!/usr/bin/env bash
# Builds the command-line front end and scans the demo bench: the settings
# file and the simulated hubs in demo/.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh native
cmake --preset linux >/dev/null
cmake --build --preset linux --target tolvane-cli ZQ460API >/dev/null

echo "== tolvane-cli -C demo scan"
build/linux/bin/tolvane-cli -C demo scan
