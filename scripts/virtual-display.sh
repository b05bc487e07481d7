# Sourced by the scripts that need an X display without having one: starts a
# virtual X server (Xvfb) on a display number that is free on this machine.
#   start_virtual_display LOG    sets DISPLAY and virtual_display_pid
#   check_virtual_display        fails, showing the server's log, when it is gone
# Xvfb picks the number itself (-displayfd): a number chosen here could be
# taken by another X server, whose clients would then connect to that one.
# -noreset keeps the server as it is when its last client disconnects.

virtual_display_pid=""
virtual_display_log=""

start_virtual_display() {
  virtual_display_log="$1"
  local number_file
  number_file=$(mktemp)
  Xvfb -displayfd 3 -screen 0 1280x720x24 -nolisten tcp -noreset 3>"$number_file" >"$virtual_display_log" 2>&1 &
  virtual_display_pid=$!
  for _ in $(seq 100); do
    [[ -s "$number_file" ]] && break
    kill -0 "$virtual_display_pid" 2>/dev/null || break
    sleep 0.1
  done
  local number
  number=$(tr -dc 0-9 <"$number_file")
  rm -f "$number_file"
  if [[ -z "$number" ]]; then
    echo "the virtual X server (Xvfb) did not start; its log, $virtual_display_log:" >&2
    cat "$virtual_display_log" >&2
    return 1
  fi
  export DISPLAY=":$number"
}

check_virtual_display() {
  [[ -z "$virtual_display_pid" ]] && return 0
  if ! kill -0 "$virtual_display_pid" 2>/dev/null; then
    echo "the virtual X server on $DISPLAY has ended; its log, $virtual_display_log:" >&2
    cat "$virtual_display_log" >&2
    return 1
  fi
}
