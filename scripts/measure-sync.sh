#!/usr/bin/env bash
# Measures how far the picture is from the sound where a viewer sees and hears
# them: one ffmpeg records a strip of a virtual screen (Xvfb) and a PulseAudio
# null sink's monitor on one wall clock, and tools/sync/sync_analysis.py finds
# the music time heard and the music time shown in the recording.
#   scripts/measure-sync.sh linux [RUNS]       the Linux show, RUNS times (default 1)
#   scripts/measure-sync.sh windows [RUNS]     the Windows show under Wine (winepulse)
#   scripts/measure-sync.sh web [RUNS]         the web page in Chromium (SwiftShader), 1280 x 720
#   scripts/measure-sync.sh gate               one Linux run that fails (exit 1) on an
#                                              offset beyond 25 ms either way or any sound gap
#   scripts/measure-sync.sh calibrate [RUNS]   only the recording chain's own offset
#   scripts/measure-sync.sh selftest           synthetic recordings of known offset, gap and jump
# Each run's recording first holds a reference video played by mpv, whose
# colour is the show's background as a pure function of the music it plays,
# then the show: what the reference measures is the chain's own offset in that
# very recording, subtracted from the show's. Prints one JSON line a run:
# offset (mean and sd over 4 s windows, positive when the picture is late),
# frames a second on screen, sound gaps and jumps, and the chain's offset
# (bias_ms). Judges music time 34-72 s, where the kick lands on every beat.
# Set BUSY=2 to keep both cores busy (stress-ng) while the show runs.
# KEEP_SCRATCH=1 keeps the recordings (their folder is not removed).
# Needs a host build with its data (build/, or KELPWAX_BUILD); the Windows show
# needs scripts/build-windows.sh first (or KELPWAX_WINDOWS_EXE, another build's program);
# the web page scripts/build-web.sh (dist/web, or KELPWAX_WEB_DIR) and the web
# test's puppeteer-core (scripts/install-deps.sh --test).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${KELPWAX_BUILD:-$root/build}"
target=${1:?"usage: $0 linux|windows|web|calibrate [RUNS] | gate | selftest"}
runs=${2:-1}
analysis=(/usr/bin/python3 "$root/tools/sync/sync_analysis.py")
music="$build/data/quirn.ogg"
[[ -f "$music" ]] || { echo "measure-sync: no $music: build the show first (cmake --build build)" >&2; exit 1; }

if [[ $target == selftest ]]; then
  exec "${analysis[@]}" selftest "$music"
fi

case $target in
  linux | windows | web | calibrate) ;;
  gate) runs=1 ;;
  *) echo "measure-sync: unknown target $target: use linux, windows, web, gate, calibrate or selftest" >&2; exit 2 ;;
esac
windows_exe="${KELPWAX_WINDOWS_EXE:-$root/build-windows/platform/windows/kelpwax.exe}"
if [[ $target == windows && ! -f "$windows_exe" ]]; then
  echo "measure-sync: no $windows_exe: build it first (scripts/build-windows.sh)" >&2
  exit 1
fi
web_dir="${KELPWAX_WEB_DIR:-$root/dist/web}"
if [[ $target == web ]]; then
  [[ -f "$web_dir/index.html" ]] || { echo "measure-sync: no $web_dir/index.html: run scripts/build-web.sh" >&2; exit 1; }
  [[ -d "$root/tests/web/node_modules/puppeteer-core" ]] ||
    { echo "measure-sync: no puppeteer-core: run scripts/install-deps.sh --test" >&2; exit 1; }
fi

scratch=$(mktemp -d)
# shellcheck source=tests/null_sink_daemon.sh
source "$root/tests/null_sink_daemon.sh"
export WINEPREFIX="$root/build-windows/wine-prefix" WINEDEBUG=-all
player_pid="" busy_pid="" recorder_pid="" silence_pid="" server_pid=""
cleanup() {
  for pid in "$recorder_pid" "$player_pid" "$busy_pid" "$silence_pid" "$server_pid"; do
    if [[ -n "$pid" ]]; then kill "$pid" 2>/dev/null || true; fi
  done
  if [[ $target == windows ]]; then wineserver -k 2>/dev/null || true; fi
  for pid in "$daemon_pid" "$virtual_display_pid"; do
    if [[ -n "$pid" ]]; then kill "$pid" 2>/dev/null || true; fi
  done
  wait 2>/dev/null || true
  [[ -n "${KEEP_SCRATCH:-}" ]] || rm -rf "$scratch"
}
trap cleanup EXIT

source "$root/scripts/virtual-display.sh"
start_virtual_display "$scratch/xvfb.log"
start_daemon
# An idle sink's monitor delivers its sound in fits; a silent stream keeps it
# running at its pace between the reference and the show.
pacat --raw --device=show --format=s16le --rate=44100 --channels=2 </dev/zero &
silence_pid=$!

# The top of the picture, above the scroll texts: there the backdrop lets about
# a third of the background colour through, and little else moves.
strip=(-video_size 700x40 -i "$DISPLAY+300,0")

# Records the strip and the sink for SECONDS into FILE, in the background.
# Each input is limited by itself: an output limit would count from the epoch,
# as -copyts keeps both inputs' wall-clock stamps (seconds since 1970).
start_recording() {
  ffmpeg -v error -y -thread_queue_size 1024 -f x11grab -framerate 60 -t "$1" "${strip[@]}" \
    -thread_queue_size 1024 -f pulse -sample_rate 44100 -channels 2 -t "$1" -i show.monitor \
    -copyts -map 0:v -map 1:a -c:v rawvideo -c:a pcm_s16le "$2" &
  recorder_pid=$!
}

finish_recording() {
  wait "$recorder_pid"
  recorder_pid=""
}

# Plays the reference video to its end: the chain's own offset is what it measures.
play_reference() {
  [[ -f "$scratch/reference.nut" ]] || "${analysis[@]}" reference "$music" "$scratch/reference.nut"
  mpv --no-config --really-quiet --vo=x11 --ao=pulse --audio-device=pulse/show --geometry=1280x720+0+0 \
    --no-border --keepaspect=no --no-osc "$scratch/reference.nut" || true
}

# The page is served on the first free port of 18700-18709.
if [[ $target == web ]]; then
  for port in $(seq 18700 18709); do
    python3 -u -m http.server --bind 127.0.0.1 --directory "$web_dir" "$port" >"$scratch/server.log" 2>&1 &
    server_pid=$!
    # A port that is taken ends the server at once; one that is free has it say so.
    for _ in $(seq 30); do
      grep -q "^Serving HTTP" "$scratch/server.log" && break 2
      kill -0 "$server_pid" 2>/dev/null || break
      sleep 0.1
    done
    kill "$server_pid" 2>/dev/null || true
    wait "$server_pid" 2>/dev/null || true
    server_pid=""
  done
  [[ -n "$server_pid" ]] || { echo "measure-sync: no free port in 18700-18709 to serve the page" >&2; exit 1; }
fi

start_show() {
  case $target in
    linux | gate) (cd "$build/data" && SDL_AUDIODRIVER=pulseaudio exec "$build/kelpwax" 2>/dev/null) & ;;
    windows) (cd "$build/data" && exec wine "$windows_exe" 2>/dev/null) & ;;
    web) NODE_PATH="$root/tests/web/node_modules" node "$root/tools/sync/play_web.cjs" "http://127.0.0.1:$port/" & ;;
  esac
  player_pid=$!
}

stop_show() {
  kill "$player_pid" 2>/dev/null || true
  wait "$player_pid" 2>/dev/null || true
  player_pid=""
}

# The reference plays 46 s; the show takes a few seconds to load (Wine more, the
# first time it sets up its prefix, which it does before the recording starts)
# and 72 s of music after that.
if [[ $target == windows ]]; then wineboot --init >/dev/null 2>&1; fi
reference_seconds=48
show_seconds=85
[[ $target == windows ]] && show_seconds=100
[[ $target == web ]] && show_seconds=90
[[ $target == calibrate ]] && show_seconds=0

failed=0
for run in $(seq "$runs"); do
  recording="$scratch/run$run.nut"
  start_recording $((reference_seconds + show_seconds)) "$recording"
  play_reference
  seam=$(date +%s.%N)
  if [[ $target != calibrate ]]; then
    if [[ -n "${BUSY:-}" ]]; then
      stress-ng --cpu "$BUSY" --quiet &
      busy_pid=$!
    fi
    start_show
  fi
  finish_recording
  [[ $target == calibrate ]] || stop_show
  if [[ -n "$busy_pid" ]]; then kill "$busy_pid"; wait "$busy_pid" 2>/dev/null || true; busy_pid=""; fi
  "${analysis[@]}" analyse "$recording" "$music" --wall-to "$seam" >"$scratch/calibration.json"
  bias=$(/usr/bin/python3 -c 'import json, sys; print(json.load(open(sys.argv[1]))["offset_ms"])' \
    "$scratch/calibration.json")
  if [[ $target == calibrate ]]; then
    cat "$scratch/calibration.json"
    continue
  fi
  echo "run $run: the recording chain's own offset is $bias ms: $(cat "$scratch/calibration.json")" >&2
  "${analysis[@]}" analyse "$recording" "$music" --bias "$bias" --wall-from "$seam" | tee "$scratch/show.json"
  if [[ $target == gate ]]; then
    /usr/bin/python3 - "$scratch/show.json" <<'JUDGE' || failed=1
import json, sys
result = json.load(open(sys.argv[1]))
faults = []
if result["offset_ms"] is None or abs(result["offset_ms"]) > 25:
    faults.append(f"the picture is {result['offset_ms']} ms from the sound (at most 25 ms either way)")
if result["gaps_ms"]:
    faults.append(f"the sound has gaps of {result['gaps_ms']} ms")
for fault in faults:
    print(f"FAIL: {fault}")
sys.exit(1 if faults else 0)
JUDGE
  fi
done
exit "$failed"
