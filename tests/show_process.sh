# Sourced by the shell tests that run a show program as a viewer does: a
# scratch folder, starting the program and waiting for its window, ending it
# with a key. Its EXIT trap ends the program and removes the scratch folder.
# Needs an X display in DISPLAY and xdotool.

scratch="$(mktemp -d)"
show_pid=""
show_window=""
end_what_was_started()
{
  if [[ -n "$show_pid" ]]; then kill "$show_pid" 2>/dev/null || true; fi
  rm -rf "$scratch"
}
trap end_what_was_started EXIT
fail() { echo "FAIL: $*"; exit 1; }

# start_show DIRECTORY COMMAND...: runs the command in the directory, its
# stderr in $scratch/stderr.txt, and waits for its window.
start_show() {
  local directory="$1"
  shift
  (cd "$directory" && exec "$@" 2>"$scratch/stderr.txt") &
  show_pid=$!
  show_window=$("$(dirname "${BASH_SOURCE[0]}")/wait_for_window.sh" Tidewobbler 60 "$show_pid") ||
    fail "no window after starting $*: $(cat "$scratch/stderr.txt")"
}

# Focuses the show's window and presses a key there. The window is looked up
# again each time, since Wine may replace it while the program runs.
press_key_in_show_window() {
  for _ in 1 2 3 4 5; do
    show_window=$("$(dirname "${BASH_SOURCE[0]}")/wait_for_window.sh" Tidewobbler 10) || break
    if timeout 5 xdotool windowfocus --sync "$show_window" 2>/dev/null; then
      xdotool key "$1"
      return 0
    fi
  done
  fail "could not focus the show's window to press a key"
}

# Presses a key in the show's window: the program must end with exit code 0 within 5 s.
end_show_with_key() {
  press_key_in_show_window space
  for _ in $(seq 100); do kill -0 "$show_pid" 2>/dev/null || break; sleep 0.05; done
  if kill -0 "$show_pid" 2>/dev/null; then fail "still running 5 s after a key"; fi
  local code=0
  wait "$show_pid" || code=$?
  show_pid=""
  [[ $code -eq 0 ]] || fail "exit code $code after a key"
  echo "ended by a key with exit code 0"
}
