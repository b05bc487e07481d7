#!/usr/bin/env bash
# Prints start-up and the frame rate at beat 210 (84 s) of the Direct3D 9
# capture tool under Wine, beside the Linux build's OpenGL frame rate:
#   tests/windows/frame_rate_figures.sh CAPTURE.exe LINUX_BENCH
# Run from the show's data directory. Figures only: the machine's load decides them.
set -euo pipefail
wine "$1" --fps-at 84 2>/dev/null | tr -d '\r' | sed 's/^/Direct3D 9 under Wine: /'
"$2" --benchmark_filter=FrameOnGlDevice/840 2>/dev/null | grep -o 'fps=.*' |
  sed 's/^/OpenGL on Linux, hidden window: /'
