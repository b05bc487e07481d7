#!/usr/bin/env bash
# The virtual screens' fixture and the wrapper that runs checks on them: a
# check reaches the screen of its group and keeps its exit code; one whose
# screen is missing or gone fails with the reason, and the server's log; one
# whose screen goes while it runs is ended within seconds instead of hanging.
set -euo pipefail
harness="$(cd "$(dirname "$0")" && pwd)"
state=$(mktemp -d)
trap '"$harness/xvfb.sh" stop probe "$state"; rm -rf "$state"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }
# on_display GROUP COMMAND...: its output in $state/out, its exit code in $code.
on_display() {
  code=0
  "$harness/on_display.sh" "$state" "$@" >"$state/out" 2>&1 || code=$?
}

on_display probe true
[[ $code != 0 ]] && grep -q "no virtual X server for the probe checks" "$state/out" ||
  fail "a check without its screen: exit code $code, $(cat "$state/out")"

"$harness/xvfb.sh" start probe "$state" >/dev/null
on_display probe sh -c '[ "$DISPLAY" = ":$(cat "$1")" ] && xdpyinfo >/dev/null && exit 3' - "$state/x-probe.display"
[[ $code == 3 ]] || fail "the check on the screen: exit code $code, not its own 3: $(cat "$state/out")"

uptime_seconds() { cut -d. -f1 /proc/uptime; }  # monotonic: the wall clock may be stepped
started=$(uptime_seconds)
"$harness/on_display.sh" "$state" probe sh -c 'echo $$ >"$1"; exec sleep 60' - "$state/sleeper" >"$state/out" 2>&1 &
check=$!
for _ in $(seq 50); do [[ -s "$state/sleeper" ]] && break; sleep 0.1; done
kill "$(cat "$state/x-probe.pid")"
code=0
wait "$check" || code=$?
(($(uptime_seconds) - started < 10)) || fail "the check outlived its screen by $(($(uptime_seconds) - started)) s"
[[ $code != 0 ]] && grep -q "ended while it ran" "$state/out" && grep -q "its log" "$state/out" ||
  fail "the screen gone while the check ran: exit code $code, $(cat "$state/out")"
for _ in $(seq 20); do kill -0 "$(cat "$state/sleeper")" 2>/dev/null || break; sleep 0.1; done
! kill -0 "$(cat "$state/sleeper")" 2>/dev/null || fail "the check still runs 2 s after its screen went"

on_display probe true
[[ $code != 0 ]] && grep -q "has ended; its log" "$state/out" ||
  fail "a check after its screen went: exit code $code, $(cat "$state/out")"
echo "a check reaches its screen and keeps its exit code; without its screen it fails with the server's log"
