#!/usr/bin/env bash
# End to end under Wine: the real listener (in listener_host.exe) driven by
# lightsend.exe over the named pipe \\.\pipe\tormelin. Runs in the build's
# own Wine prefix (WINEPREFIX), where no other test serves the pipe.
# Usage: listener_wine_test.sh LISTENER_HOST_EXE LIGHTSEND_EXE
set -uo pipefail
: "${WINEPREFIX:?set WINEPREFIX to the Wine prefix of the build}"
export WINEDEBUG=-all

HOST=$1 LIGHTSEND=$2
source "$(dirname "$0")/e2e_lib.sh"
LIMIT=20  # Each Wine process takes a moment to start.

send() { bounded wine "$LIGHTSEND" "$@"; }

start_host() {  # start_host OUTPUT: runs a host, its pid in HOST_PID.
  wine "$HOST" >"$1" 2>&1 &
  HOST_PID=$!
  PIDS+=("$HOST_PID")
}

echo "--- the listener starts and waits"
HOST_OUT=$WORK/host1.out
start_host "$HOST_OUT"
FIRST=$HOST_PID
expect_next 'state status=">???" lamps=00 00'

echo "--- connect, send, disconnect, again and again"
for value in 1234 1 FF00 8001 0; do
  send ">5L$value" || fail "lightsend >5L$value: status $?"
  bank0=$(printf '%02x' $((0x$value & 0xFF))) bank1=$(printf '%02x' $((0x$value >> 8)))
  expect_next "state status=\">5L$value\" lamps=$bank0 $bank1"
  expect_next "state status=\">xxx\" lamps=$bank0 $bank1"
done

echo "--- lightsend: arguments, standard input, a pattern"
send --delay 300 '>5L1' '>3LFF' '>4L12' '>' || fail "lightsend arguments: status $?"
expect_next 'state status=">5L1" lamps=01 00'
expect_next 'state status=">3LFF" lamps=ff 00'
expect_next 'state status=">4L12" lamps=ff 00'
expect_next 'state status=">" lamps=ff 00'
expect_next 'state status=">xxx" lamps=ff 00'
printf '>5L8001\r\n>5L0\n' | send --delay 300 - || fail "lightsend -: status $?"
expect_next 'state status=">5L8001" lamps=01 80'
expect_next 'state status=">5L0" lamps=00 00'
expect_next 'state status=">xxx" lamps=00 00'
send --pattern chaser --rate 5 --seconds 1.6 --mode 3 || fail "pattern: status $?"
for step in 0 1 2 3 4 5 6 7; do
  value=$((1 << step))
  expect_next "state status=\">3L$(printf %X $value)\" lamps=$(printf %02x $value) 00"
done
expect_next 'state status=">xxx" lamps=80 00'

echo "--- lightsend refuses a line the server would drop, before sending anything"
send '>5L1' '>5L123456' 2>"$WORK/refused.err"
status=$?
[ "$status" -eq 2 ] && pass "exit status 2" || fail "exit status $status, not 2"
grep -q 'longer than 8 characters' "$WORK/refused.err" && pass "says why" \
  || fail "message: $(cat "$WORK/refused.err")"
expect_quiet 0.5

echo "--- a client that comes while another is served waits for the pipe"
send --delay 1500 '>5L1' '>5L2' &
SENDER=$!
PIDS+=("$SENDER")
expect_next 'state status=">5L1" lamps=01 00'
send '>5L7' || fail "waiting client: status $?"
wait "$SENDER" || fail "first client: status $?"
expect_next 'state status=">5L2" lamps=02 00'
expect_next 'state status=">xxx" lamps=02 00'
expect_next 'state status=">5L7" lamps=07 00'
expect_next 'state status=">xxx" lamps=07 00'

echo "--- a client that finds the pipe busy for longer than it waits says so"
send --delay 6000 '>5L1' '>5L2' &
SENDER=$!
PIDS+=("$SENDER")
expect_next 'state status=">5L1" lamps=01 00'
send '>5L9' 2>"$WORK/busy.err"
status=$? said=$(tr -d '\r' <"$WORK/busy.err")
if [ "$status" -eq 1 ] && [ "$said" = 'lightsend: the pipe server on \\.\pipe\tormelin is busy with another client' ]
then pass "exit status 1, says busy"; else fail "exit status $status (not 1), message: $said"; fi
wait "$SENDER" || fail "first client: status $?"
expect_next 'state status=">5L2" lamps=02 00'
expect_next 'state status=">xxx" lamps=02 00'

echo "--- a second copy cannot create the pipe; the first keeps serving"
HOST_OUT=$WORK/host2.out SEEN=0
start_host "$HOST_OUT"
SECOND=$HOST_PID
expect_next 'state status=">???" lamps=00 00'
# Wine, as Windows, refuses a second instance of a one-instance pipe with
# ERROR_PIPE_BUSY.
expect_next 'box caption="Debug Window" text="Error return code from CreateNamedPipe = 231." style=0x40'
expect_next 'ended code=0'
expect_ends "$SECOND" && pass "second copy ended"
HOST_OUT=$WORK/host1.out SEEN=$(complete_lines "$WORK/host1.out" | wc -l)
send '>5L4321' || fail "lightsend after the second copy: status $?"
expect_next 'state status=">5L4321" lamps=21 43'
expect_next 'state status=">xxx" lamps=21 43'

echo "--- the server goes away while lightsend plays"
send --pattern blink --rate 20 --seconds 8 2>"$WORK/gone.err" &
SENDER=$!
PIDS+=("$SENDER")
expect_next 'state status=">5LFFFF" lamps=ff ff'
kill -9 "$FIRST"; wait "$FIRST" 2>/dev/null
wait "$SENDER"
status=$?
[ "$status" -eq 1 ] && pass "exit status 1" || fail "exit status $status, not 1"
tr -d '\r' <"$WORK/gone.err" | grep -qx 'lightsend: the pipe server on \\\\.\\pipe\\tormelin went away' \
  && pass "says the server went away" || fail "message: $(cat "$WORK/gone.err")"

echo "--- lightsend with no server"
send '>5L1' 2>"$WORK/none.err"
status=$?
[ "$status" -eq 1 ] && pass "exit status 1" || fail "exit status $status, not 1"
tr -d '\r' <"$WORK/none.err" | grep -qx 'lightsend: no pipe server is listening on \\\\.\\pipe\\tormelin' \
  && pass "says no server listens" || fail "message: $(cat "$WORK/none.err")"

finish
