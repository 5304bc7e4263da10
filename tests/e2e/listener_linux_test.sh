#!/usr/bin/env bash
# End to end on Linux: the real listener (in listener_host) driven by socat
# and lightsend over the abstract socket "tormelin".
# Usage: listener_linux_test.sh LISTENER_HOST LIGHTSEND
set -uo pipefail

# The abstract name is global to a network namespace, and other test runs on
# this machine use it too: run in a private one.
if [ -z "${PIPESERVER_PRIVATE_NET:-}" ]; then
  if unshare --net true 2>/dev/null; then
    PIPESERVER_PRIVATE_NET=1 exec unshare --net bash "$0" "$@"
  fi
  echo "warning: unshare --net is unavailable; using the shared network namespace," \
       "so a concurrent run may take the name \"tormelin\"" >&2
fi

HOST=$1 LIGHTSEND=$2
source "$(dirname "$0")/e2e_lib.sh"

# Sends raw bytes as one write, through a client nobody here wrote.
raw() { printf "$1" | bounded socat - ABSTRACT-CONNECT:tormelin; }

start_host() {  # start_host OUTPUT: runs a host, its pid in HOST_PID.
  "$HOST" >"$1" 2>&1 &
  HOST_PID=$!
  PIDS+=("$HOST_PID")
}

echo "--- the listener starts and waits"
HOST_OUT=$WORK/host1.out
start_host "$HOST_OUT"
FIRST=$HOST_PID
expect_next 'state status=">???" lamps=00 00'

echo "--- socat: connect, send, disconnect, again and again"
raw '>5L1234\n'
expect_next 'state status=">5L1234" lamps=34 12'
expect_next 'state status=">xxx" lamps=34 12'
for value in 1 80 FF00 8001 0; do
  raw ">5L$value\n"
  bank0=$(printf '%02x' $((0x$value & 0xFF))) bank1=$(printf '%02x' $((0x$value >> 8)))
  expect_next "state status=\">5L$value\" lamps=$bank0 $bank1"
  expect_next "state status=\">xxx\" lamps=$bank0 $bank1"
done

echo "--- framing as the client sees it"
raw '>5L12\r\n'                       # The carriage return is kept.
expect_next 'state status=">5L12\x0d" lamps=12 00'
expect_next 'state status=">xxx" lamps=12 00'
raw '>5L1\n>5L2\n'                    # Two lines in one write: only the first.
expect_next 'state status=">5L1" lamps=01 00'
expect_next 'state status=">xxx" lamps=01 00'
raw '>5L123456\n'                     # Nine characters: dropped.
expect_next 'state status=">xxx" lamps=01 00'
raw '  >3L1234\n'                     # Bytes before '>' skipped; one bank still draws both rows.
expect_next 'state status=">3L1234" lamps=34 12'
expect_next 'state status=">xxx" lamps=34 12'
raw '>\n'
expect_next 'state status=">" lamps=34 12'
expect_next 'state status=">xxx" lamps=34 12'

echo "--- a client that sends nothing: the end of its connection, no spinning"
bounded socat -u /dev/null ABSTRACT-CONNECT:tormelin
expect_next 'state status=">xxx" lamps=34 12'
ticks() { awk '{print $14 + $15}' "/proc/$FIRST/stat"; }
before=$(ticks); sleep 1; after=$(ticks)
# A listener spinning on 0-byte reads burns about 100 ticks a second.
if [ $((after - before)) -lt 20 ]; then pass "idle listener used $((after - before)) ticks in 1 s"
else fail "idle listener used $((after - before)) ticks in 1 s: spinning"; fi

echo "--- lightsend: arguments, standard input, a pattern"
bounded "$LIGHTSEND" --delay 200 '>5L1' '>3LFF' '>4L12' || fail "lightsend arguments: status $?"
expect_next 'state status=">5L1" lamps=01 00'
expect_next 'state status=">3LFF" lamps=ff 00'
expect_next 'state status=">4L12" lamps=ff 00'
expect_next 'state status=">xxx" lamps=ff 00'
printf '>5L8001\r\n>5L0\n' | bounded "$LIGHTSEND" --delay 200 - || fail "lightsend -: status $?"
expect_next 'state status=">5L8001" lamps=01 80'
expect_next 'state status=">5L0" lamps=00 00'
expect_next 'state status=">xxx" lamps=00 00'
for round in 1 2 3; do
  bounded "$LIGHTSEND" ">5L$round" || fail "lightsend round $round: status $?"
  expect_next "state status=\">5L$round\" lamps=0$round 00"
  expect_next "state status=\">xxx\" lamps=0$round 00"
done
bounded "$LIGHTSEND" --pattern chaser --rate 10 --seconds 1.6 --mode 3 || fail "pattern: status $?"
for step in 0 1 2 3 4 5 6 7 0 1 2 3 4 5 6 7; do
  value=$((1 << step))
  expect_next "state status=\">3L$(printf %X $value)\" lamps=$(printf %02x $value) 00"
done
expect_next 'state status=">xxx" lamps=80 00'

echo "--- lightsend refuses a line the server would drop, before sending anything"
bounded "$LIGHTSEND" '>5L1' '>5L123456' 2>"$WORK/refused.err"
status=$?
[ "$status" -eq 2 ] && pass "exit status 2" || fail "exit status $status, not 2"
grep -q 'longer than 8 characters' "$WORK/refused.err" && pass "says why" \
  || fail "message: $(cat "$WORK/refused.err")"
expect_quiet 0.5

echo "--- a second copy cannot take the name; the first keeps serving"
HOST_OUT=$WORK/host2.out SEEN=0
start_host "$HOST_OUT"
SECOND=$HOST_PID
expect_next 'state status=">???" lamps=00 00'
expect_next 'box caption="Debug Window" text="Error return code from CreateNamedPipe = 98." style=0x40'
expect_next 'ended code=0'
expect_ends "$SECOND" && pass "second copy ended"
HOST_OUT=$WORK/host1.out SEEN=$(complete_lines "$WORK/host1.out" | wc -l)
raw '>5L4321\n'
expect_next 'state status=">5L4321" lamps=21 43'
expect_next 'state status=">xxx" lamps=21 43'

echo "--- a client of another user is refused unread"
if id nobody >/dev/null 2>&1; then
  printf '>5LFFFF\n' | bounded setpriv --reuid=nobody --regid=nogroup --clear-groups \
    socat - ABSTRACT-CONNECT:tormelin 2>/dev/null
  expect_quiet 0.5
  raw '>5L5\n'  # Served next, with nothing of the refused client in between.
  expect_next 'state status=">5L5" lamps=05 00'
  expect_next 'state status=">xxx" lamps=05 00'
else
  fail "no user nobody to connect as"
fi

echo "--- a client that comes while another is served waits its turn"
bounded "$LIGHTSEND" --delay 1000 '>5L1' '>5L2' &
SENDER=$!
PIDS+=("$SENDER")
expect_next 'state status=">5L1" lamps=01 00'
bounded "$LIGHTSEND" '>5L7' || fail "waiting client: status $?"
wait "$SENDER" || fail "first client: status $?"
expect_next 'state status=">5L2" lamps=02 00'
expect_next 'state status=">xxx" lamps=02 00'
expect_next 'state status=">5L7" lamps=07 00'
expect_next 'state status=">xxx" lamps=07 00'

echo "--- Ctrl-C ends a pattern cleanly"
"$LIGHTSEND" --pattern chaser &  # Not under timeout: the signal goes to lightsend itself.
SENDER=$!
PIDS+=("$SENDER")
expect_next 'state status=">5L1" lamps=01 00'
kill -INT "$SENDER"
expect_ends "$SENDER"
wait "$SENDER"
status=$?
[ "$status" -eq 0 ] && pass "exit status 0" || fail "exit status $status, not 0"
expect_eventually 'state status=">xxx" lamps=*'

echo "--- while a client is served, another is refused at once, never queued"
mkfifo "$WORK/first" "$WORK/second"
socat -u - ABSTRACT-CONNECT:tormelin <"$WORK/first" &
PIDS+=($!)
exec 7>"$WORK/first"  # Held open: the first client stays connected.
printf '>5L11\n' >&7
expect_next 'state status=">5L11" lamps=11 00'
socat - ABSTRACT-CONNECT:tormelin <"$WORK/second" >/dev/null 2>&1 &
REFUSED=$!
PIDS+=("$REFUSED")
exec 8>"$WORK/second"  # Its input stays open too: only the server can end it.
printf '>5L22\n' >&8
expect_ends "$REFUSED" && pass "the second client was let go while the first is connected"
exec 8>&-
printf '>5L33\n' >&7  # The first is still served.
expect_next 'state status=">5L33" lamps=33 00'
bounded "$LIGHTSEND" '>5L44' 2>"$WORK/busy.err"
status=$?
[ "$status" -eq 1 ] && pass "lightsend: exit status 1" || fail "lightsend: exit status $status, not 1"
grep -qx 'lightsend: the pipe server on the abstract socket @tormelin is busy with another client' \
  "$WORK/busy.err" && pass "lightsend says busy" || fail "message: $(cat "$WORK/busy.err")"
exec 7>&-
expect_next 'state status=">xxx" lamps=33 00'
expect_quiet 0.5  # Neither the refused socat's line nor lightsend's comes later.
raw '>5L5\n'
expect_next 'state status=">5L5" lamps=05 00'
expect_next 'state status=">xxx" lamps=05 00'

echo "--- the server goes away while lightsend plays"
bounded "$LIGHTSEND" --pattern blink --rate 20 --seconds 8 2>"$WORK/gone.err" &
SENDER=$!
PIDS+=("$SENDER")
expect_next 'state status=">5LFFFF" lamps=ff ff'
kill -9 "$FIRST"; wait "$FIRST" 2>/dev/null
wait "$SENDER"
status=$?
[ "$status" -eq 1 ] && pass "exit status 1" || fail "exit status $status, not 1"
grep -qx 'lightsend: the pipe server on the abstract socket @tormelin went away' "$WORK/gone.err" \
  && pass "says the server went away" || fail "message: $(cat "$WORK/gone.err")"

echo "--- lightsend with no server"
bounded "$LIGHTSEND" '>5L1' 2>"$WORK/none.err"
status=$?
[ "$status" -eq 1 ] && pass "exit status 1" || fail "exit status $status, not 1"
grep -qx 'lightsend: no pipe server is listening on the abstract socket @tormelin' "$WORK/none.err" \
  && pass "says no server listens" || fail "message: $(cat "$WORK/none.err")"

finish
