#!/usr/bin/env bash
# Sets up, builds everything with warnings as errors, and runs the tests.
# Needs no display or sound card: it starts a virtual X server when there is
# no display, and SDL's dummy audio driver stands in for the sound card.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="$root/build-test"
"$root/scripts/install-deps.sh" --test
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKELPWAX_WERROR=ON >/dev/null
cmake --build "$build" -j"$(nproc)"

xvfb_pid=""
cleanup() { if [[ -n "$xvfb_pid" ]]; then kill "$xvfb_pid" 2>/dev/null || true; fi; }
trap cleanup EXIT
if [[ -z "${DISPLAY:-}" ]]; then
  display=":$((90 + RANDOM % 100))"
  Xvfb "$display" -screen 0 1280x720x24 -nolisten tcp >/dev/null 2>&1 &
  xvfb_pid=$!
  export DISPLAY="$display"
  for _ in $(seq 50); do [[ -e "/tmp/.X11-unix/X${display#:}" ]] && break; sleep 0.1; done
fi
export SDL_AUDIODRIVER=dummy
cd "$build"
ctest --output-on-failure -j"$(nproc)" "$@"
