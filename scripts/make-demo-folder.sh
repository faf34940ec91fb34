#!/usr/bin/env bash
# Makes a demo bench in a fresh folder: a copy of demo/ (settings and bench)
# and, in its Bin/, the images that demo/DemoImages.txt lists, written by
# tolvane-mkimage from the given program folder. Used by scripts/demo.sh and
# by the test that runs the guides' examples.
#   make-demo-folder.sh BIN_DIR FOLDER
set -euo pipefail
if [ "$#" -ne 2 ]; then
  echo "usage: $0 BIN_DIR FOLDER" >&2
  exit 2
fi
source_dir="$(cd "$(dirname "$0")/.." && pwd)"
mkimage="$(cd "$1" && pwd)/tolvane-mkimage"
work=$2

rm -rf "$work"
mkdir -p "$work/Bin"
cp "$source_dir/demo/SpiFlash.ini" "$source_dir/demo/HubBench.ini" "$work/"
# One image per line of the list; xargs keeps the quoted texts whole.
grep -v '^#' "$source_dir/demo/DemoImages.txt" | (cd "$work/Bin" && xargs -L 1 "$mkimage")
