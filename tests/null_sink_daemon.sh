# A PulseAudio daemon of the caller's own, with one null sink "show" standing in
# for a sound card; sourced by the checks that play the show's sound. Set
# `scratch` (a folder for the daemon's socket and log) before sourcing.
export PULSE_SERVER="unix:$scratch/native"
daemon_pid=""
start_daemon() {
  XDG_RUNTIME_DIR="$scratch" HOME="$scratch" pulseaudio -n --daemonize=no --exit-idle-time=-1 --use-pid-file=no \
    --disable-shm=yes -L "module-null-sink sink_name=show" \
    -L "module-native-protocol-unix socket=$scratch/native auth-anonymous=1" >>"$scratch/daemon.log" 2>&1 &
  daemon_pid=$!
  for _ in $(seq 50); do pactl info >/dev/null 2>&1 && return; sleep 0.1; done
  echo "FAIL: the PulseAudio daemon did not start:"; cat "$scratch/daemon.log"; exit 1
}
