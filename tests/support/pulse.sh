# Sourced by the lightbeat tests and benchmarks: a PulseAudio server of the
# caller's own, with one null sink as the default output, on a socket in a
# private directory, so that runs never meet each other or a desktop's
# sound server. Needs: pulseaudio, pactl (pulseaudio-utils).

# start_pulse DIR: starts it; exports what its clients need to find it and
# sets PULSE_PID. The sink is "lightbeat_test", its monitor the default source.
start_pulse() {
  local dir=$1
  mkdir -p "$dir/runtime" "$dir/home"
  chmod 700 "$dir/runtime"
  export PULSE_RUNTIME_PATH="$dir/runtime" XDG_RUNTIME_DIR="$dir/runtime" HOME="$dir/home"
  export PULSE_SERVER="unix:$dir/native"
  cat >"$dir/server.pa" <<PA
load-module module-null-sink sink_name=lightbeat_test rate=48000
load-module module-native-protocol-unix auth-anonymous=1 socket=$dir/native
set-default-sink lightbeat_test
PA
  # --system=false with -n: as root too, a per-user server from this script alone.
  pulseaudio -n --daemonize=no --exit-idle-time=-1 --system=false --disallow-exit \
    --log-target=file:"$dir/pulse.log" -F "$dir/server.pa" >/dev/null 2>&1 &
  PULSE_PID=$!
  local i
  for i in $(seq 100); do
    pactl info >/dev/null 2>&1 && return 0
    kill -0 "$PULSE_PID" 2>/dev/null || break
    sleep 0.1
  done
  echo "error: the private pulseaudio did not start:" >&2
  tail -n 5 "$dir/pulse.log" >&2 || true
  return 1
}

stop_pulse() {
  [ -n "${PULSE_PID:-}" ] || return 0
  kill "$PULSE_PID" 2>/dev/null || true
  wait "$PULSE_PID" 2>/dev/null || true
  PULSE_PID=""
}

# click_track FILE SECONDS INTERVAL: 48 kHz stereo, a 5 ms 2 kHz click at
# 0, INTERVAL, 2 INTERVAL, ... seconds, silence between.
click_track() {
  local count
  count=$(awk -v s="$2" -v i="$3" 'BEGIN { printf "%d", s / i - 1 }')
  sox -n -r 48000 -c 2 -b 16 "$1" synth 0.005 sine 2000 gain -6 \
    pad 0 "$(awk -v i="$3" 'BEGIN { print i - 0.005 }')" repeat "$count"
}
