#!/usr/bin/env bash
# A virtual X screen (1280 x 720) for a group of checks, started before them
# and ended after them by CTest:
#   tests/harness/xvfb.sh start|stop DISPLAY STATE_DIR
set -euo pipefail
action=$1 display=$2 state=$3
source "$(dirname "$0")/background.sh"
pid_file="$state/xvfb-${display#:}.pid"
log="$state/xvfb-${display#:}.log"
mkdir -p "$state"
stop_background "$pid_file"
[[ $action == stop ]] && exit 0

if [[ -e "/tmp/.X${display#:}-lock" ]]; then
  echo "display $display is in use by another X server; configure with" \
    "-DKELPWAX_TEST_DISPLAYS=\"N N N N\" to choose free ones" >&2
  exit 1
fi
start_in_background "$pid_file" "$log" Xvfb "$display" -screen 0 1280x720x24 -nolisten tcp
for _ in $(seq 100); do
  if [[ -e "/tmp/.X11-unix/X${display#:}" ]]; then
    echo "Xvfb on $display"
    exit 0
  fi
  kill -0 "$(cat "$pid_file")" 2>/dev/null || break
  sleep 0.1
done
echo "Xvfb did not start on $display:" >&2
cat "$log" >&2
stop_background "$pid_file"
exit 1
