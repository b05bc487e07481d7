#!/usr/bin/env bash
# Sets up, builds everything with warnings as errors, and runs every target's tests.
#   scripts/test.sh                 everything: layout check, the Linux build and its
#                                   tests, the Windows and web builds, the fuzzers
#   scripts/test.sh --linux-only    the Linux build and its tests alone, for a quick check
# Any other arguments go to ctest (e.g. -R Program).
# Needs no display or sound card: it starts a virtual X server when there is
# no display, and SDL's dummy audio driver stands in for the sound card.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="$root/build-test"
linux_only=false
if [[ "${1:-}" == "--linux-only" ]]; then linux_only=true; shift; fi

"$root/scripts/install-deps.sh" --test

step() { printf '\n== %s\n' "$*"; }

if ! $linux_only; then
  step "layout (.clang-format)"
  (cd "$root" && git ls-files '*.cpp' '*.h' '*.c' | xargs clang-format --dry-run --Werror)
fi

step "Linux build"
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKELPWAX_WERROR=ON >/dev/null
cmake --build "$build" -j"$(nproc)"

xvfb_pid=""
server_pid=""
cleanup()
{
  for pid in $xvfb_pid $server_pid; do kill "$pid" 2>/dev/null || true; done
}
trap cleanup EXIT
if [[ -z "${DISPLAY:-}" ]]; then
  display=":$((90 + RANDOM % 100))"
  Xvfb "$display" -screen 0 1280x720x24 -nolisten tcp >/dev/null 2>&1 &
  xvfb_pid=$!
  export DISPLAY="$display"
  for _ in $(seq 50); do [[ -e "/tmp/.X11-unix/X${display#:}" ]] && break; sleep 0.1; done
fi
export SDL_AUDIODRIVER=dummy

step "Linux tests"
(cd "$build" && ctest --output-on-failure -j"$(nproc)" "$@")
$linux_only && exit 0

# The same start-up and frames on every target's build of the core: its device
# calls must match the Linux build's, to the last bits of the maths library.
positions=(0 10 32.4 60 84 100 110.2 140 159 160.5)
(cd "$build/data" && "$build/tools/trace/kelpwax-trace" "${positions[@]}" >"$build/trace-linux.jsonl" 2>/dev/null)

step "Windows build of the core"
"$root/scripts/build-cross.sh" windows
export WINEPREFIX="$root/build-windows/wine-prefix" WINEDEBUG=-all
[[ -d "$WINEPREFIX" ]] || wine wineboot -i >/dev/null 2>&1
(cd "$build/data" && wine "$root/build-windows/tools/trace/kelpwax-trace.exe" "${positions[@]}" 2>/dev/null |
  tr -d '\r' >"$build/trace-windows.jsonl")
"$root/scripts/compare-traces.sh" "$build/trace-linux.jsonl" "$build/trace-windows.jsonl"

step "web build of the core"
"$root/scripts/build-cross.sh" web
(cd "$build/data" && node "$root/build-web/tools/trace/kelpwax-trace.js" "${positions[@]}" 2>/dev/null \
  >"$build/trace-web.jsonl")
"$root/scripts/compare-traces.sh" "$build/trace-linux.jsonl" "$build/trace-web.jsonl"

step "web page in headless Chromium"
"$root/scripts/build-web.sh" "$build" >/dev/null
(cd "$root/dist/web" && for file in kelpwax.wasm kelpwax.js kelpwax.data; do
  printf '%-13s %6.2f MB, %6.2f MB gzip-compressed\n' "$file" "$(($(stat -c %s "$file") / 10000))e-2" \
    "$(($(gzip -9c "$file" | wc -c) / 10000))e-2"
done)
# The page's frames held at these positions must match the desktop's OpenGL frames.
web_positions=(0 32.4 60 90 100 140)
frames="$build/web-frames"
rm -rf "$frames" && mkdir -p "$frames"
(cd "$build/data" && SDL_VIDEODRIVER=offscreen "$build/tools/capture/kelpwax-capture" --at "${web_positions[@]}" \
  -o "$frames" >/dev/null 2>&1)
port=$((20000 + RANDOM % 20000))
"$root/scripts/serve-web.sh" "$port" >/dev/null 2>&1 &
server_pid=$!
for _ in $(seq 50); do curl -fs -o /dev/null "http://127.0.0.1:$port/" && break; sleep 0.1; done
node --experimental-websocket --no-warnings "$root/tests/web/page_test.mjs" "http://127.0.0.1:$port/" "$frames" \
  "${web_positions[@]}"
(cd "$build/data" && SDL_VIDEODRIVER=offscreen "$build/tools/bench/kelpwax-bench" \
  --benchmark_filter=FrameOnGlDevice --benchmark_min_time=2 2>/dev/null |
  sed -n 's/.*fps=\([0-9.]*\).*/     Linux build: \1 frames\/s at beat 210 (FrameOnGlDevice benchmark, hidden window)/p')
for seconds in "${web_positions[@]}"; do
  printf '%6s s: ' "$seconds"
  "$build/tools/compare/kelpwax-compare" "$frames/frame-$(printf '%09.3f' "$seconds").png" "$frames/web-$seconds.png"
done

step "sanitizer build: the tests and the whole show under AddressSanitizer and UndefinedBehaviorSanitizer"
sanitize="$root/build-sanitize"
cmake -S "$root" -B "$sanitize" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKELPWAX_SANITIZE=ON -DKELPWAX_WERROR=ON >/dev/null
cmake --build "$sanitize" -j"$(nproc)"
export LSAN_OPTIONS="suppressions=$root/tests/sanitizer-suppressions.txt:print_suppressions=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
# Tests that open OpenGL load the system's GL stack at run time and unload it
# again, after which its leftovers can no longer be told apart by library: they
# run with every check but the leak check. All the show's code also runs in the
# other tests and in the trace below, with leak checks on.
with_gl='GlSprite|BoxOnGl|Export|Program|BadData|BadEnvironment|Capture|Lighting'
(cd "$sanitize" && ctest --output-on-failure -j"$(nproc)" -E "$with_gl")
(cd "$sanitize" && ASAN_OPTIONS=detect_leaks=0 ctest --output-on-failure -j"$(nproc)" -R "$with_gl")
(cd "$sanitize/data" && "$sanitize/tools/trace/kelpwax-trace" $(seq 0 0.5 161) >/dev/null)
echo "a trace of the whole show, every 0.5 s, ran clean"
unset LSAN_OPTIONS UBSAN_OPTIONS

step "fuzzers, 20 s each, from their corpora"
"$root/scripts/fuzz.sh" 20
