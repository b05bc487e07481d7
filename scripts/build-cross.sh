#!/usr/bin/env bash
# Cross-builds the show's portable core and the trace tool for Windows
# (mingw-w64) and the web (emscripten), with warnings as errors:
#   scripts/build-cross.sh windows|web [CMAKE OPTIONS...]
# For Windows, -DKELPWAX_DATA_DIR=build/data (a host build's generated data)
# gives the programs their icon.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
case "${1:-}" in
  windows) toolchain=mingw-w64 ;;
  web) toolchain=emscripten; export NODE_PATH=/usr/share/nodejs ;;
  *) echo "usage: scripts/build-cross.sh windows|web" >&2; exit 2 ;;
esac
build="$root/build-$1"
cmake -S "$root" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchains/$toolchain.cmake" \
  -DCMAKE_BUILD_TYPE=Release -DKELPWAX_WERROR=ON "${@:2}" >/dev/null
cmake --build "$build" -j"$(nproc)"
