#!/usr/bin/env bash
# Without an audio device (none under Wine here) the Windows show still ends by
# itself after beat 400 (160.4 s) on the wall clock, with exit code 0, and says
# it plays without music:
#   tests/windows/wall_clock_end_test.sh PROGRAM.exe
# Run from the show's data directory, with WINEPREFIX and a display.
set -euo pipefail
program=$1
log=$(mktemp)
trap 'rm -f "$log"' EXIT
uptime_seconds() { cut -d. -f1 /proc/uptime; }  # monotonic: the wall clock may be stepped
started=$(uptime_seconds)
code=0
wine "$program" 2>"$log" || code=$?
seconds=$(($(uptime_seconds) - started))
tr -d '\r' <"$log" | grep -o 'kelpwax: no music.*' || echo "FAIL: no message about playing without music"
echo "ended with exit code $code, $seconds s after it was started"
grep -q 'kelpwax: no music' "$log" && [[ $code -eq 0 && $seconds -ge 160 && $seconds -le 200 ]]
