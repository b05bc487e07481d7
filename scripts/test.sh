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

source "$root/scripts/virtual-display.sh"
# Each step first checks that the virtual display it may use is still there.
step() {
  check_virtual_display
  printf '\n== %s\n' "$*"
}

if ! $linux_only; then
  step "layout (.clang-format)"
  (cd "$root" && git ls-files '*.cpp' '*.h' '*.c' | xargs clang-format --dry-run --Werror)
  step "layout: no folder includes one it stands above"
  "$root/tests/layout/check_layout_test.sh"
  "$root/scripts/check-layout.sh" "$root"
fi

step "Linux build"
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKELPWAX_WERROR=ON >/dev/null
cmake --build "$build" -j"$(nproc)"

server_pid=""
show_pid=""
wall_clock_pid=""
sound_loss_pids=()
cleanup()
{
  for pid in "$show_pid" "$wall_clock_pid" "${sound_loss_pids[@]}" "$server_pid" "$virtual_display_pid"; do
    if [[ -n "$pid" ]]; then kill "$pid" 2>/dev/null || true; fi
  done
}
trap cleanup EXIT
if [[ -z "${DISPLAY:-}" ]]; then
  start_virtual_display "$build/xvfb.log"
fi
export SDL_AUDIODRIVER=dummy

step "Linux tests"
(cd "$build" && ctest --output-on-failure -j"$(nproc)" "$@")
$linux_only && exit 0

step "Linux packages: the .deb installed, run from / and removed; the .tar.gz run from elsewhere"
linux_packages=$("$root/scripts/package-linux.sh" "$build")
mapfile -t linux_packages <<<"$linux_packages"
"$root/tests/package/packages_test.sh" "${linux_packages[@]}" "$build/installed-show.png"

# The same start-up and frames on every target's build of the core: its device
# calls must match the Linux build's, to the last bits of the maths library.
positions=(0 10 32.4 60 84 100 110.2 140 159 160.5)
(cd "$build/data" && "$build/tools/trace/kelpwax-trace" "${positions[@]}" >"$build/trace-linux.jsonl" 2>/dev/null)

step "Windows build of the core and the programs"
"$root/scripts/build-cross.sh" windows -DKELPWAX_DATA_DIR="$build/data"
windows="$root/build-windows"
export WINEPREFIX="$windows/wine-prefix" WINEDEBUG=-all
[[ -d "$WINEPREFIX" ]] || wine wineboot -i >/dev/null 2>&1
# Without a window manager Wine draws window frames itself: the X window of a
# Win32 window is then its whole outer rectangle, and closing it does not wait for one.
wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
(cd "$build/data" && wine "$windows/tools/trace/kelpwax-trace.exe" "${positions[@]}" 2>/dev/null |
  tr -d '\r' >"$build/trace-windows.jsonl")
"$root/scripts/compare-traces.sh" "$build/trace-linux.jsonl" "$build/trace-windows.jsonl"


step "Windows: the programs need no DLL beyond Windows' own"
for program in kelpwax.exe kelpwax-fullscreen.exe; do
  dlls=$(x86_64-w64-mingw32-objdump -p "$windows/platform/windows/$program" | sed -n 's/.*DLL Name: //p' | sort -f)
  echo "$program ($(stat -c %s "$windows/platform/windows/$program") bytes) imports:" $dlls
  if grep -viqE '^(kernel32|user32|gdi32|d3d9|winmm|msvcrt|advapi32|ole32|shell32)\.dll$' <<<"$dlls"; then
    echo "FAIL: $program needs a DLL that Windows does not bring"
    exit 1
  fi
done

step "Windows: the Direct3D 9 device's own checks"
(cd "$build/data" && wine "$windows/tests/kelpwax-d3d9-device-test.exe" 2>/dev/null | tr -d '\r')

step "Windows: both programs as a viewer starts them, --help, --version, a bad argument, the data found from another folder"
"$root/tests/windows/programs_test.sh" "$windows/platform/windows" "$build/data" \
  "$("$build/kelpwax" --version | cut -d' ' -f2)" "$build/windows-screen.png"

step "Windows: start-up and frame rate at beat 210 (84 s), beside the Linux build"
(cd "$build/data" && wine "$windows/tools/capture/kelpwax-capture.exe" --fps-at 84 2>/dev/null | tr -d '\r' |
  sed 's/^/Direct3D 9 under Wine: /')
(cd "$build/data" && "$build/tools/bench/kelpwax-bench" --benchmark_filter=FrameOnGlDevice/840 2>/dev/null |
  grep -o 'fps=.*' | sed 's/^/OpenGL on Linux, hidden window: /')

# No audio device under Wine: the show must still end by itself after beat 400
# (160.4 s) on the wall clock. It runs while the next checks do.
# The background job notes the exit code and when the show ended.
wall_clock_started=$(date +%s%N)
rm -f "$build/windows-show.end"
(
  cd "$build/data"
  wine "$windows/platform/windows/kelpwax.exe" 2>"$build/windows-show.log" &
  show=$!
  trap 'kill "$show" 2>/dev/null' TERM  # the test's clean-up ends the show too
  code=0
  wait "$show" || code=$?
  echo "$code $(date +%s%N)" >"$build/windows-show.end"
) &
wall_clock_pid=$!

# The sound server killed mid-show and started again, on Linux and under Wine
# (winepulse): each run takes the whole show, so they too run while the next checks do.
for platform in linux windows; do
  program=("$build/kelpwax")
  [[ $platform == windows ]] && program=(wine "$windows/platform/windows/kelpwax.exe")
  (cd "$build/data" && SDL_AUDIODRIVER=pulseaudio exec "$root/tests/sound-server-loss.sh" "$platform" \
    "$build/sound-loss-$platform" "${program[@]}" >"$build/sound-loss-$platform.log" 2>&1) &
  sound_loss_pids+=($!)
done

step "Windows: Direct3D 9 frames against the OpenGL device's"
frames=(0 32.4 60 90 100 140)
rm -rf "$build/frames-gl" "$build/frames-d3d9"
(cd "$build/data" && SDL_VIDEODRIVER=offscreen "$build/tools/capture/kelpwax-capture" --at "${frames[@]}" \
  -o "$build/frames-gl" >/dev/null 2>&1)
(cd "$build/data" && wine "$windows/tools/capture/kelpwax-capture.exe" --at "${frames[@]}" \
  -o "Z:$build/frames-d3d9" >/dev/null 2>&1)
mismatches=0
for picture in "$build/frames-gl"/*.png; do
  name=$(basename "$picture")
  if figures=$("$build/tools/compare/kelpwax-compare" "$picture" "$build/frames-d3d9/$name" 2>&1); then
    echo "$name: $figures"
  else
    echo "$name: $figures: DIFFERENT"
    mismatches=$((mismatches + 1))
  fi
done
((mismatches == 0))

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
KELPWAX_WEB_URL="http://127.0.0.1:$port/" KELPWAX_DESKTOP_FRAMES="$frames" KELPWAX_WEB_FRAMES_OUT="$frames" \
  KELPWAX_WEB_POSITIONS="${web_positions[*]}" KELPWAX_COMPARE="$build/tools/compare/kelpwax-compare" \
  node --test "$root/tests/web/"
(cd "$build/data" && SDL_VIDEODRIVER=offscreen "$build/tools/bench/kelpwax-bench" \
  --benchmark_filter=FrameOnGlDevice/840 --benchmark_min_time=2 2>/dev/null |
  sed -n 's/.*fps=\([0-9.]*\).*/     Linux build: \1 frames\/s at beat 210 (FrameOnGlDevice benchmark, hidden window)/p')

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
with_gl='GlSprite|GlTexture|window-back-buffer|BoxOnGl|Export|Program|BadData|BadEnvironment|Capture|Lighting'
(cd "$sanitize" && ctest --output-on-failure -j"$(nproc)" -E "$with_gl")
(cd "$sanitize" && ASAN_OPTIONS=detect_leaks=0 ctest --output-on-failure -j"$(nproc)" -R "$with_gl")
(cd "$sanitize/data" && "$sanitize/tools/trace/kelpwax-trace" $(seq 0 0.5 161) >/dev/null)
echo "a trace of the whole show, every 0.5 s, ran clean"
unset LSAN_OPTIONS UBSAN_OPTIONS

step "the picture-to-sound measurement's analysis, on synthetic recordings"
KELPWAX_BUILD="$build" "$root/scripts/measure-sync.sh" selftest

step "fuzzers, 20 s each, from their corpora"
"$root/scripts/fuzz.sh" 20

step "Windows: the show ends on the wall clock without an audio device"
grep -o 'kelpwax: no music.*' "$build/windows-show.log" | tr -d '\r'
wait "$wall_clock_pid"
wall_clock_pid=""
read -r code ended <"$build/windows-show.end"
seconds=$((((ended - wall_clock_started) / 1000000000)))
echo "ended with exit code $code, $seconds s after it was started"
[[ $code -eq 0 && $seconds -ge 160 && $seconds -le 200 ]]

for platform in linux windows; do
  step "$platform: the sound server killed and started again mid-show"
  code=0
  wait "${sound_loss_pids[0]}" || code=$?
  sound_loss_pids=("${sound_loss_pids[@]:1}")
  cat "$build/sound-loss-$platform.log"
  [[ $code -eq 0 ]]
done
