#!/usr/bin/env bash
# The Linux program's goodbye on every way out: closing its window, SIGTERM,
# SIGINT and SIGHUP, with the window and without (--no-window, no display).
# Each run sends sACN to a receiver on loopback beside one out of reach (no
# route in this namespace) and one whose name cannot be found, and WLED to
# loopback. Each way out must end the program with code 0 within 1 s, after
# three stream-terminated packets and the WLED hand-back; the last run also
# while the unresolvable output waits on a name server that never answers.
# Every run has a universe and a start pixel of its own, so one capture
# tells them apart.
source "$(dirname "$0")/../support/lib.sh"
source "$(dirname "$0")/../support/olad.sh"  # start_tshark, decode
export LIMIT=10

ip link set lo up
start_xvfb
start_tshark -i lo
sleep 0.5

# exit_ms PID: waits (at most 5 s) for the process to end; prints the
# milliseconds it took.
exit_ms() {
  local start=$EPOCHREALTIME
  for _ in $(seq 500); do kill -0 "$1" 2>/dev/null || break; sleep 0.01; done
  awk -v a="$start" -v b="$EPOCHREALTIME" 'BEGIN {printf "%d", (b - a) * 1000}'
}

# listening N: the Nth "listening" line of the runs without a window.
listening() { [ "$(grep -c '^pipeserver: listening on @tormelin, no window$' "$WORK/program.out")" -ge "$1" ]; }

# A name server that never answers, for the last run: the unresolvable
# output's sender is then inside its lookup when the signal comes. The
# program sees it as /etc/resolv.conf in a mount namespace of its own.
python3 -c '
import socket, time
s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
s.bind(("127.0.0.53", 53))
open("'"$WORK"'/dns.ready", "w").close()
while True: s.recv(512)
' &
started $!
wait_until 30 test -e "$WORK/dns.ready" || fail "the silent name server did not start"
echo "nameserver 127.0.0.53" >"$WORK/resolv.conf"

WAYS=(close TERM INT HUP headless:TERM headless:INT headless:HUP headless:TERM:silent-dns)
declare -A TIMES CODES
headless_runs=0
for n in "${!WAYS[@]}"; do
  way=${WAYS[$n]} run=$((n + 1))
  args=(-p 0 --sacn 127.0.0.1 --universe "$run" --sacn 10.99.0.1 --universe $((100 + run))
    --sacn no-such-receiver.invalid --universe $((200 + run))
    --wled 127.0.0.1 --start-pixel "$run" --color ffa000)
  if [[ $way == headless:* ]]; then
    headless_runs=$((headless_runs + 1))
    if [[ $way == *:silent-dns ]]; then
      env -u DISPLAY unshare --mount sh -c 'mount --bind "$0" /etc/resolv.conf && exec "$@"' "$WORK/resolv.conf" \
        "$PIPESERVER" -p 0 --no-window "${args[@]:2}" >>"$WORK/program.out" 2>&1 &
    else
      env -u DISPLAY "$PIPESERVER" -p 0 --no-window "${args[@]:2}" >>"$WORK/program.out" 2>&1 &
    fi
    PROGRAM_PID=$!
    started "$PROGRAM_PID"
    wait_until 5 listening "$headless_runs" || fail "$way: no line saying it listens"
  else
    start_program "${args[@]}"
    window=$(main_window) || { fail "$way: no main window"; continue; }
  fi
  bounded "$LIGHTSEND" '>5L8001'
  sleep 0.5  # The line's frame goes out; the unreachable output's fault is said.
  signal=${way#headless:}
  if [ "$way" = close ]; then "$XPROBE" close "$window"; else kill -"${signal%:*}" "$PROGRAM_PID"; fi
  TIMES[$way]=$(exit_ms "$PROGRAM_PID")
  if kill -0 "$PROGRAM_PID" 2>/dev/null; then
    fail "$way: still running 5 s later"
    continue
  fi
  code=0
  wait "$PROGRAM_PID" || code=$?
  CODES[$way]=$code
done

# Without a window, a second copy cannot serve the pipe: what the box would
# say on one line of standard error, then exit code 1 (the service's restart).
env -u DISPLAY "$PIPESERVER" --no-window >"$WORK/first.err" 2>&1 &
first=$!
started "$first"
wait_until 5 grep -q listening "$WORK/first.err" || fail "the first copy does not listen"
code=0
env -u DISPLAY timeout 5 "$PIPESERVER" --no-window >"$WORK/second.err" 2>&1 || code=$?
check_equal "a second copy without a window: exit code 1, the box's text and why it ends" "$code $(cat "$WORK/second.err")" \
  "1 pipeserver: Debug Window: Error return code from CreateNamedPipe = 98.
pipeserver: the pipe cannot be served: ending"
kill "$first"

sleep 0.3
stop_tshark

decode -Y 'acn && ip.dst == 127.0.0.1' -T fields -E separator=' ' -e acn.dmx.universe -e acn.dmx.options >"$WORK/sacn.txt"
decode -Y 'udp.dstport == 21324' -T fields -e udp.payload >"$WORK/wled.txt"
lit=ffa000$(printf '000000%.0s' $(seq 14))ffa000
for n in "${!WAYS[@]}"; do
  way=${WAYS[$n]} run=$((n + 1))
  check_equal "$way: exit code" "${CODES[$way]:-none}" 0
  check_that "$way: ended in ${TIMES[$way]:-?} ms, under 1 s" test "${TIMES[$way]:-9999}" -lt 1000
  # Data packets, then the last three: stream-terminated (option bit 0x40).
  check_equal "$way: sACN to the reachable receiver ends with three stream-terminated packets" \
    "$(awk -v u="$run" '$1 == u {printf ($2 == "0x40" || $2 == "64") ? "T" : "-"}' "$WORK/sacn.txt" | sed 's/^-*/-/')" "-TTT"
  start=$(printf '%04x' "$run")
  check_that "$way: the line's frame reached WLED" grep -qx "0402$start$lit" "$WORK/wled.txt"
  check_equal "$way: the strip handed back last (timeout 0)" \
    "$(grep "^04..$start" "$WORK/wled.txt" | tail -n 1 | cut -c1-8)" "0400$start"
done
check_equal "the unreachable outputs' faults, said once a run" \
  "$(grep -c '^pipeserver: sACN 10.99.0.1: cannot send: .* (retrying)$' "$WORK/program.out")" "${#WAYS[@]}"
check_equal "each run without a window: a client came and went" \
  "$(grep -c '^pipeserver: a client connected$' "$WORK/program.out") $(grep -c '^pipeserver: the client has gone$' "$WORK/program.out")" \
  "$headless_runs $headless_runs"
check_that "each run without a window says why it ends" \
  grep -q "^pipeserver: SIGHUP: sending the outputs' last packets and ending$" "$WORK/program.out"
echo "exit times (ms): $(for w in "${WAYS[@]}"; do printf '%s=%s ' "$w" "${TIMES[$w]:-?}"; done)"
finish
