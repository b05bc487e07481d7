#!/usr/bin/env bash
# Runs a check on the virtual X screen of its group (tests/harness/xvfb.sh):
#   tests/harness/on_display.sh STATE_DIR GROUP COMMAND [ARGUMENTS...]
# When the screen's server is gone before the check starts, or ends while it
# runs, the check fails with the server's log; one that outlives its server is
# ended, not left to hang.
set -euo pipefail
state=$1 group=$2
shift 2
# Listing a GoogleTest program's tests (at build time, before any screen runs) needs no screen.
[[ "${2:-}" == --gtest_list_tests ]] && exec "$@"

source "$(dirname "$0")/../../scripts/virtual-display.sh"
virtual_display_log="$state/x-$group.log"
if ! virtual_display_pid=$(cat "$state/x-$group.pid" 2>/dev/null) ||
  ! DISPLAY=":$(cat "$state/x-$group.display" 2>/dev/null)"; then
  echo "FAIL: no virtual X server for the $group checks: the test x-server-$group starts it" >&2
  exit 1
fi
export DISPLAY
check_virtual_display

# The check runs in a process group of its own, so that all of it can be ended.
set -m
"$@" &
check=$!
tail --pid="$virtual_display_pid" -s 0.2 -f /dev/null &
watch=$!
set +m
end_check() { kill -- -"$check" 2>/dev/null || true; }
trap 'end_check; kill "$watch"; exit 143' TERM INT
code=0
wait -n "$check" "$watch" || code=$?
if kill -0 "$check" 2>/dev/null; then
  end_check
  check_virtual_display || true
  echo "FAIL: the check's X server ended while it ran" >&2
  exit 1
fi
kill "$watch"
if ((code != 0)); then check_virtual_display || true; fi
exit "$code"
