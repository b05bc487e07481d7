#!/usr/bin/env bash
# Generates the show's data in a host build, which every target's programs read
# and the Windows and web builds package, and prints the data folder:
#   scripts/host-data.sh [BUILD_DIR]    (default: build, as scripts/run.sh uses)
# A folder without a build yet is configured as a Release build first; the
# generator's progress goes to stderr.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="$(realpath -m "${1:-$root/build}")"
[[ -f "$build/CMakeCache.txt" ]] || cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" -j"$(nproc)" --target kelpwax-data >&2
echo "$build/data"
