#!/usr/bin/env bash
# The outputs' sends per second and the program's idle CPU, with the Linux
# program as shipped: sACN and Art-Net to loopback, counted by tshark for
# SECONDS idle (keep-alives only) and SECONDS with lightsend's chaser at
# 20 lines a second; the program's CPU (utime + stime) over the idle span,
# beside the same program without outputs in the same run.
#   PIPESERVER=... LIGHTSEND=... XPROBE=... bash bench/outputs_rate.sh [SECONDS]
source "$(dirname "$0")/../tests/support/lib.sh"
span=${1:-10}
start_xvfb
ip link set lo up
ticks() { awk '{print $14 + $15}' "/proc/$1/stat"; }
hz=$(getconf CLK_TCK)

idle_cpu() { # ARGS...: percent of a core over the span, waiting for lines.
  start_program "$@"
  local window
  window=$(main_window) || { echo "no window"; exit 1; }
  sleep 1
  local before after
  before=$(ticks "$PROGRAM_PID")
  sleep "$span"
  after=$(ticks "$PROGRAM_PID")
  awk -v t=$((after - before)) -v hz="$hz" -v s="$span" 'BEGIN {printf "%d ticks, %.3f %% of a core\n", t, 100 * t / hz / s}'
  close_and_expect_exit "$window" "program" >/dev/null
}

echo "idle CPU over ${span} s, without outputs (reference): $(idle_cpu -p 0)"
tshark -q -i lo -f 'udp port 5568 or udp port 6454' -w "$WORK/rate.pcap" >"$WORK/tshark.log" 2>&1 &
started $!
wait_until 10 grep -q "Capturing on" "$WORK/tshark.log"
mark=$(date +%s.%N)
echo "idle CPU over ${span} s, with sACN and Art-Net: $(idle_cpu -p 0 --sacn 127.0.0.1 --artnet 127.0.0.1)"
start_program -p 0 --sacn 127.0.0.1 --artnet 127.0.0.1
window=$(main_window)
sleep 1
chaser_from=$(date +%s.%N)
timeout "$span" "$LIGHTSEND" --pattern chaser --rate 20 --seconds "$span" >/dev/null 2>&1 || true
chaser_to=$(date +%s.%N)
close_and_expect_exit "$window" "program" >/dev/null
sleep 0.5
kill -INT "${STARTED_PIDS[-2]}" 2>/dev/null || true
sleep 1
count() { # PORT FROM TO: packets to PORT between two wall-clock times.
  tshark -r "$WORK/rate.pcap" -Y "udp.dstport == $1 && frame.time_epoch >= $2 && frame.time_epoch < $3" 2>/dev/null | wc -l
}
for port in 5568 6454; do
  name=$([ $port = 5568 ] && echo sACN || echo Art-Net)
  # The idle program's middle: past its start, before its close.
  idle=$(count $port "$(awk -v m="$mark" 'BEGIN {printf "%.3f", m + 3}')" "$(awk -v m="$mark" -v s="$span" 'BEGIN {printf "%.3f", m + s}')")
  busy=$(count $port "$chaser_from" "$chaser_to")
  awk -v n="$name" -v i="$idle" -v b="$busy" -v s1="$((span - 3))" \
      -v s2="$(awk -v a="$chaser_from" -v b="$chaser_to" 'BEGIN {print b - a}')" \
      'BEGIN {printf "%s: %.2f sends/s idle (keep-alives), %.1f sends/s with the chaser at 20 Hz\n", n, i / s1, b / s2}'
done
