#!/usr/bin/env bash
# The Direct3D 9 device's frames, captured under Wine, match the OpenGL device's:
#   tests/windows/d3d9_frames_test.sh CAPTURE.exe OPENGL_FRAMES_DIR OUT_DIR COMPARE SECONDS...
# Run from the show's data directory, with WINEPREFIX and a display.
set -euo pipefail
capture=$1 reference=$2 out=$3 compare=$4
shift 4
rm -rf "$out"
wine "$capture" --at "$@" -o "Z:$out" >/dev/null 2>&1
mismatches=0
for picture in "$reference"/*.png; do
  name=$(basename "$picture")
  if figures=$("$compare" "$picture" "$out/$name" 2>&1); then
    echo "$name: $figures"
  else
    echo "$name: $figures: DIFFERENT"
    mismatches=$((mismatches + 1))
  fi
done
((mismatches == 0))
