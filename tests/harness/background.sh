# Sourced by the fixtures that leave a server running for the checks after
# them: it runs in its own session with its output in a log, so that CTest does
# not wait for it, and its process id is kept in a file for the clean-up.

# start_in_background PID_FILE LOG COMMAND [ARGUMENTS...]
start_in_background() {
  local pid_file=$1 log=$2
  shift 2
  setsid "$@" </dev/null >"$log" 2>&1 &
  echo $! >"$pid_file"
}

# stop_background PID_FILE: ends the server started with that file, if any,
# and waits up to 5 s for it to go.
stop_background() {
  [[ -f "$1" ]] || return 0
  local pid
  pid=$(cat "$1")
  kill "$pid" 2>/dev/null || true
  for _ in $(seq 50); do
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.1
  done
  rm -f "$1"
}
