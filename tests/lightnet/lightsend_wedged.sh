#!/usr/bin/env bash
# lightsend against a server that never accepts: a listening socket on
# @tormelin whose queue is full (it has one connection queued and room for
# no more), and one with room that never reads. lightsend must give up
# after its stated 3 s of busy retries, and Ctrl-C (SIGINT) or SIGTERM must
# end it at once, whether it waits to connect or in a blocked write.
source "$(dirname "$0")/../support/lib.sh"
export LIMIT=10

# wedged_server BACKLOG FILL: listens with the backlog, queues FILL
# connections of its own, accepts nothing; ready once $WORK/wedged exists.
wedged_server() {
  rm -f "$WORK/wedged"
  python3 - "$1" "$2" "$WORK/wedged" <<'PY' &
import socket, sys, time
backlog, fill, ready = int(sys.argv[1]), int(sys.argv[2]), sys.argv[3]
server = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
server.bind("\0tormelin")
server.listen(backlog)
queued = [socket.socket(socket.AF_UNIX, socket.SOCK_STREAM) for _ in range(fill)]
for s in queued:
    s.connect("\0tormelin")
open(ready, "w").close()
time.sleep(60)
PY
  SERVER_PID=$!
  started "$SERVER_PID"
  wait_until 30 test -e "$WORK/wedged" || { fail "the wedged server did not start"; finish; }
}

# run_lightsend SIGNAL-OR-none AFTER ARGS...: runs lightsend, sends the
# signal AFTER seconds; sets CODE and MS (from the start, or from the signal).
run_lightsend() {
  local signal=$1 after=$2; shift 2
  local start=$EPOCHREALTIME
  timeout -k 2 "$LIMIT" "$LIGHTSEND" "$@" >"$WORK/ls.out" 2>"$WORK/ls.err" &
  local pid=$!
  if [ "$signal" != none ]; then
    sleep "$after"
    kill -0 "$pid" 2>/dev/null || fail "lightsend ended before the signal"
    start=$EPOCHREALTIME
    # timeout runs lightsend as its child; the signal goes to lightsend.
    pkill -"$signal" -P "$pid" -x lightsend || fail "no lightsend under timeout to signal"
  fi
  CODE=0
  wait "$pid" || CODE=$?
  MS=$(awk -v a="$start" -v b="$EPOCHREALTIME" 'BEGIN {printf "%d", (b - a) * 1000}')
}

ip link set lo up

# A full queue: connect cannot complete.
wedged_server 0 1
run_lightsend none 0 '>5L0001'
check_equal "full queue: lightsend gives up, status 1" "$CODE" 1
check_that "full queue: after its 3 s of retries, well before the 10 s limit ($MS ms)" test "$MS" -ge 2900 -a "$MS" -lt 6000
check_that "full queue: says the server is busy" grep -q "busy" "$WORK/ls.err"
for signal in TERM INT; do
  run_lightsend "$signal" 0.5 '>5L0001'
  check_that "full queue: SIG$signal ends the wait before its retries would (under 1.5 s: $MS ms, status $CODE)" test "$MS" -lt 1500 -a "$CODE" -ne 124
done
kill "$SERVER_PID"; wait "$SERVER_PID" 2>/dev/null || true

# Room in the queue, nobody reading: the connection is made, then writes
# block once the socket's buffer is full.
wedged_server 4 0
for signal in TERM INT; do
  run_lightsend "$signal" 2 --pattern counter --rate 1000 --seconds 8
  check_that "blocked write: SIG$signal ends lightsend at once (under 1.5 s: $MS ms, status $CODE)" test "$MS" -lt 1500 -a "$CODE" -ne 124
done
finish
