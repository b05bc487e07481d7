#!/usr/bin/env bash
# A virtual X screen (1280 x 720) for a group of checks, started before them
# and ended after them by CTest:
#   tests/harness/xvfb.sh start|stop GROUP STATE_DIR
# Xvfb picks a free display number itself (scripts/virtual-display.sh);
# "start" leaves STATE_DIR/x-GROUP.display (the number), .pid and .log for
# tests/harness/on_display.sh, which runs the group's checks on that screen.
set -euo pipefail
action=$1 group=$2 state=$3
source "$(dirname "$0")/background.sh"
source "$(dirname "$0")/../../scripts/virtual-display.sh"
mkdir -p "$state"
stop_background "$state/x-$group.pid"
rm -f "$state/x-$group.display"
[[ $action == stop ]] && exit 0

start_virtual_display "$state/x-$group.log"
echo "$virtual_display_pid" >"$state/x-$group.pid"
echo "${DISPLAY#:}" >"$state/x-$group.display"
echo "Xvfb for the $group checks on $DISPLAY"
