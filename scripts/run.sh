#!/usr/bin/env bash
# Sets up, builds and starts the show: scripts/run.sh [--fullscreen]
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/scripts/install-deps.sh"
cmake -S "$root" -B "$root/build" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$root/build" -j"$(nproc)" --target kelpwax kelpwax-fullscreen
program=kelpwax
if [[ "${1:-}" == "--fullscreen" ]]; then program=kelpwax-fullscreen; fi
cd "$root/build/data"  # the show reads its data from its working directory
exec "$root/build/$program"
