#!/usr/bin/env bash
# Measures how far the picture is from the sound where a viewer sees and hears
# them: one ffmpeg records a strip of a virtual screen (Xvfb) and a PulseAudio
# null sink's monitor on one wall clock, and tools/sync/sync_analysis.py finds
# the music time heard and the music time shown in the recording.
#   scripts/measure-sync.sh linux [RUNS]       the Linux show, RUNS times (default 1)
#   scripts/measure-sync.sh windows [RUNS]     the Windows show under Wine (winepulse)
#   scripts/measure-sync.sh calibrate [RUNS]   only the recording chain's own offset
#   scripts/measure-sync.sh selftest           synthetic recordings of known offset, gap and jump
# Each run first plays a reference video through mpv, whose colour is the
# show's background as a pure function of the music it plays: what that run
# measures is the chain's own offset, subtracted from the show's. Prints one
# JSON line a run: offset (mean and sd over 4 s windows, positive when the
# picture is late), frames a second on screen, sound gaps and jumps. Judges
# music time 34-72 s, where the kick lands on every beat. Set BUSY=2 to keep
# both cores busy (stress-ng) while the show runs.
# KEEP_SCRATCH=1 keeps the recordings (their folder is not removed).
# Needs a host build with its data (build/, or KELPWAX_BUILD); the Windows show
# needs scripts/build-windows.sh first.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${KELPWAX_BUILD:-$root/build}"
target=${1:?"usage: $0 linux|windows|calibrate [RUNS] | selftest"}
runs=${2:-1}
analysis=(/usr/bin/python3 "$root/tools/sync/sync_analysis.py")
music="$build/data/quirn.ogg"
[[ -f "$music" ]] || { echo "measure-sync: no $music: build the show first (cmake --build build)" >&2; exit 1; }

if [[ $target == selftest ]]; then
  exec "${analysis[@]}" selftest "$music"
fi

scratch=$(mktemp -d)
# shellcheck source=tests/null_sink_daemon.sh
source "$root/tests/null_sink_daemon.sh"
xvfb_pid="" player_pid="" busy_pid=""
cleanup() {
  for pid in "$player_pid" "$busy_pid" "$daemon_pid" "$xvfb_pid"; do
    if [[ -n "$pid" ]]; then kill "$pid" 2>/dev/null || true; fi
  done
  wait 2>/dev/null || true
  [[ -n "${KEEP_SCRATCH:-}" ]] || rm -rf "$scratch"
}
trap cleanup EXIT

display=":$((200 + RANDOM % 100))"
Xvfb "$display" -screen 0 1280x720x24 -nolisten tcp >/dev/null 2>&1 &
xvfb_pid=$!
for _ in $(seq 50); do [[ -e "/tmp/.X11-unix/X${display#:}" ]] && break; sleep 0.1; done
export DISPLAY="$display"
start_daemon

# The top of the picture, above the scroll texts: there the backdrop lets about
# a third of the background colour through, and little else moves.
strip=(-video_size 700x40 -i "$display+300,0")

# Records the strip and the sink for SECONDS into FILE while the player runs.
# Each input is limited by itself: an output limit would count from the epoch,
# as -copyts keeps both inputs' wall-clock stamps.
record() {
  ffmpeg -v error -y -thread_queue_size 1024 -f x11grab -framerate 60 -t "$1" "${strip[@]}" \
    -thread_queue_size 1024 -f pulse -sample_rate 44100 -channels 2 -t "$1" -i show.monitor \
    -copyts -map 0:v -map 1:a -c:v rawvideo -c:a pcm_s16le "$2"
}

# The chain's own offset, from the reference video: prints the offset in ms.
calibrate() {
  [[ -f "$scratch/reference.nut" ]] || "${analysis[@]}" reference "$music" "$scratch/reference.nut"
  mpv --no-config --really-quiet --vo=x11 --ao=pulse --audio-device=pulse/show --geometry=1280x720+0+0 \
    --no-border --keepaspect=no --no-osc "$scratch/reference.nut" &
  player_pid=$!
  record 44 "$scratch/calibration.nut"
  wait "$player_pid" || true
  player_pid=""
  "${analysis[@]}" analyse "$scratch/calibration.nut" "$music" | tee "$scratch/calibration.json" >&2
  /usr/bin/python3 -c 'import json, sys; print(json.load(open(sys.argv[1]))["offset_ms"])' "$scratch/calibration.json"
}

start_show() {
  case $target in
    linux) (cd "$build/data" && SDL_AUDIODRIVER=pulseaudio exec "$build/kelpwax" 2>/dev/null) & ;;
    windows)
      (cd "$build/data" && WINEPREFIX="$root/build-windows/wine-prefix" WINEDEBUG=-all \
        exec wine "$root/build-windows/platform/windows/kelpwax.exe" 2>/dev/null) & ;;
    *) echo "measure-sync: unknown target $target" >&2; exit 2 ;;
  esac
  player_pid=$!
}

for run in $(seq "$runs"); do
  bias=$(calibrate)
  echo "run $run: the recording chain's own offset is $bias ms" >&2
  [[ $target == calibrate ]] && continue
  if [[ -n "${BUSY:-}" ]]; then
    stress-ng --cpu "$BUSY" --quiet &
    busy_pid=$!
  fi
  start_show
  # Loading takes a few seconds before the music starts; 85 s covers music time 34-72 s.
  record 85 "$scratch/show.nut"
  kill "$player_pid" 2>/dev/null || true
  wait "$player_pid" 2>/dev/null || true
  player_pid=""
  if [[ -n "$busy_pid" ]]; then kill "$busy_pid"; wait "$busy_pid" 2>/dev/null || true; busy_pid=""; fi
  "${analysis[@]}" analyse "$scratch/show.nut" "$music" --bias "$bias"
done
