#!/usr/bin/env bash
# The show with its sound on a PulseAudio daemon of its own (a null sink), and
# the daemon killed mid-show:
#   tests/sound-server-loss.sh linux|windows SCRATCH_DIR PROGRAM [ARGUMENTS...]
# Run from the show's data directory, with a display. 20 s after the music
# starts the daemon is killed, 10 s later started again; the sink's monitor
# must then hold the music. On Linux the show is also stopped (SIGSTOP) for
# 5 s at 60 s and continued: it must go on from the music, neither racing to
# make up the 5 s nor freezing. It passes when the show said once that the
# sound stopped and ended by itself with exit code 0, from 0.2 s before to 1.5 s
# after the time the music gives (under Wine, where it must only not hang, up
# to 120 s after): from the message's "stopped at X s", beat 401 at 160.4 s
# comes 160.4 - X s (plus the 5 s stopped) after the message.
set -euo pipefail
platform=$1 scratch=$2
shift 2
# After SIGCONT the sound server restarts the stream that ran dry in its own
# time, a second and more on a busy machine, and the picture follows the music:
# so the end may come that much late, but never early (racing to make up the
# stop). Under Wine on a machine whose cores are all busy the music itself runs
# dry now and then, and the picture follows it: there the show need only not hang.
most_late=1.5
[[ $platform == windows ]] && most_late=120
rm -rf "$scratch" && mkdir -p "$scratch"
# shellcheck source=tests/null_sink_daemon.sh
source "$(dirname "$0")/null_sink_daemon.sh"
# Nanoseconds on the monotonic clock (/proc/uptime, to 10 ms): the wall clock may be stepped during a run.
now() { awk '{ printf "%.0f\n", $1 * 1e9 }' /proc/uptime; }
seconds_since() { awk -v from="$1" -v to="$(now)" 'BEGIN { printf "%.2f", (to - from) / 1e9 }'; }

show_pid=""
# The loudest sample the sink plays over the next 2 s.
loudest_sample() {
  timeout 2 parec --device=show.monitor --format=s16le --channels=1 --rate=8000 --raw >"$scratch/heard.raw" || true
  od -An -td2 -v -w2 "$scratch/heard.raw" | awk '{ v = $1 < 0 ? -$1 : $1; if (v > m) m = v } END { print m + 0 }'
}
cleanup() {
  for pid in "$show_pid" "$daemon_pid"; do
    if [[ -n "$pid" ]]; then kill -CONT "$pid" 2>/dev/null || true; kill "$pid" 2>/dev/null || true; fi
  done
}
trap cleanup EXIT

start_daemon
# The sink's monitor records nothing until something plays: its first bytes date the music's start.
parec --device=show.monitor --format=s16le --channels=1 --rate=8000 --raw --latency-msec=20 >"$scratch/onset.raw" 2>/dev/null &
started=$(now)
# Each line the show writes on stderr, with the time it came.
"$@" 2> >(while IFS= read -r line; do echo "$(now) $line"; done >"$scratch/show.log") &
show_pid=$!
for _ in $(seq 1200); do [[ -s "$scratch/onset.raw" ]] && break; sleep 0.05; done
music_started=$(now)
echo "$(seconds_since "$started") s after start: the music plays"
sleep 20
{ kill -KILL "$daemon_pid" && wait "$daemon_pid"; } 2>/dev/null || true
echo "$(seconds_since "$started") s after start: the sound server killed"
sleep 10
start_daemon
echo "$(seconds_since "$started") s after start: the sound server started again"
sleep 3
loudest_after=$(loudest_sample)
echo "sound after the restart: loudest sample $loudest_after"
stopped_for=0
if [[ $platform == linux ]]; then
  sleep 25
  stop=$(now)
  kill -STOP "$show_pid"
  sleep 5
  kill -CONT "$show_pid"
  stopped_for=$(awk -v from="$stop" -v to="$(now)" 'BEGIN { printf "%.3f", (to - from) / 1e9 }')
  echo "stopped (SIGSTOP) for $stopped_for s, then continued"
  sleep 2
  echo "sound after continuing: loudest sample $(loudest_sample)"
fi
code=0
for _ in $(seq 5000); do kill -0 "$show_pid" 2>/dev/null || break; sleep 0.05; done
if kill -0 "$show_pid" 2>/dev/null; then
  echo "FAIL: the show still runs $(seconds_since "$started") s after start"
  kill -KILL "$show_pid"
fi
wait "$show_pid" || code=$?
show_pid=""
ended=$(now)
sleep 0.2  # the last lines of the log
tr -d '\r' <"$scratch/show.log" | grep 'sound' | cut -d' ' -f2- | sed 's/^/said: /' || true

echo "ended by itself with exit code $code, $(seconds_since "$started") s after start"
awk -v start="$music_started" -v ended="$ended" -v stopped="$stopped_for" 'BEGIN {
  printf "that is %.2f s after the music'"'"'s beat 401 (160.4 s after it was first heard, plus %s s stopped)\n",
    (ended - start) / 1e9 - 160.4 - stopped, stopped }'
failed=0
messages=$(grep -c 'the sound stopped at' "$scratch/show.log" || true)
if [[ $messages -ne 1 ]]; then echo "FAIL: $messages messages about the sound stopping, not one"; failed=1; fi
if ((loudest_after < 1000)); then echo "FAIL: no sound after the server came back"; failed=1; fi
if [[ $code -ne 0 ]]; then echo "FAIL: exit code $code"; failed=1; fi
if [[ $messages -ge 1 ]]; then
  read -r said_at position < <(grep -m1 'the sound stopped at' "$scratch/show.log" | tr -d '\r' |
    sed -E 's/^([0-9]+) .*stopped at ([0-9.]+) s.*/\1 \2/')
  lateness=$(awk -v said="$said_at" -v ended="$ended" -v at="$position" -v stopped="$stopped_for" \
    'BEGIN { printf "%.3f", (ended - said) / 1e9 - (160.4 - at) - stopped }')
  echo "that is $lateness s after the time the music gives"
  if awk -v late="$lateness" -v most="$most_late" 'BEGIN { exit !(late < -0.2 || late > most) }'; then
    echo "FAIL: not on time"
    failed=1
  fi
fi
exit $failed
