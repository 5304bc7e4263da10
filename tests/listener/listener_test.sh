#!/usr/bin/env bash
# End to end: the real listener (in listener_host) driven by real clients.
# Linux: socat and lightsend over the abstract socket "tormelin", in a
# private network namespace. Wine: lightsend.exe over the named pipe
# \\.\pipe\tormelin in the build's own Wine prefix (WINEPREFIX), where no
# other test serves the pipe.
# Usage: listener_test.sh linux|wine LISTENER_HOST LIGHTSEND
PLATFORM=$1 HOST=$2 LIGHTSEND=$3
if [ "$PLATFORM" = wine ]; then
  : "${WINEPREFIX:?set WINEPREFIX to the Wine prefix of the build}"
  export WINEDEBUG=-all
  SHARED_NET=1
fi
source "$(dirname "$0")/../support/lib.sh"

if [ "$PLATFORM" = wine ]; then
  source "$(dirname "$0")/../../scripts/deps.sh"
  RUN=("$(wine_loader_for "$HOST")")  # The program itself, not a start.exe in front of it.
  LIMIT=20        # Each Wine process takes a moment to start.
  DELAY=300       # lightsend's pause between lines, ms.
  RATE=5          # Lamp steps a second of the pattern.
  PIPE='\\.\pipe\tormelin'
  BIND_ERROR=231  # Wine, as Windows, refuses a second instance with ERROR_PIPE_BUSY.
else
  RUN=()
  DELAY=200
  RATE=10
  PIPE='the abstract socket @tormelin'
  BIND_ERROR=98   # EADDRINUSE.
fi

lightsend() { bounded "${RUN[@]}" "$LIGHTSEND" "$@"; }

start_host() {  # start_host OUTPUT: runs a host, its pid in HOST_PID.
  : >"$1"  # There before the host runs: the background redirection may come later than the first read.
  "${RUN[@]}" "$HOST" >"$1" 2>&1 &
  HOST_PID=$!
  started "$HOST_PID"
}

# lamp_bytes VALUE: the two lamp bytes of a light command's value.
lamp_bytes() { printf '%02x %02x' $((0x$1 & 0xFF)) $(((0x$1 >> 8) & 0xFF)); }

# expect_message WHAT FILE TEXT: FILE holds the one line "lightsend: TEXT".
expect_message() {
  if tr -d '\r' <"$2" | grep -qxF "lightsend: $3"; then pass "$1"; else fail "$1: $(cat "$2")"; fi
}

echo "--- the listener starts and waits"
start_host "$WORK/host1.out"
FIRST=$HOST_PID
follow "$WORK/host1.out"
expect_next 'state status=">???" lamps=00 00'

echo "--- connect, send, disconnect, again and again"
for value in 1234 1 80 FF00 8001 0; do
  if [ "$PLATFORM" = linux ]; then send_raw ">5L$value\n"; else
    lightsend ">5L$value" || fail "lightsend >5L$value: status $?"
  fi
  # shellcheck disable=SC2046 # Two words: the banks.
  expect_line_applied ">5L$value" $(lamp_bytes "$value")
done

if [ "$PLATFORM" = linux ]; then
  echo "--- framing as the client sees it"
  send_raw '>5L12\r\n'                  # The carriage return is kept.
  expect_line_applied '>5L12\x0d' 12 00
  send_raw '>5L1\n>5L2\n'               # Two lines in one write: only the first.
  expect_line_applied '>5L1' 01 00
  send_raw '>5L123456\n'                # Nine characters: dropped.
  expect_next 'state status=">xxx" lamps=01 00'
  send_raw '  >3L1234\n'                # Bytes before '>' skipped; one bank still draws both rows.
  expect_line_applied '>3L1234' 34 12
  send_raw '>\n'
  expect_line_applied '>' 34 12

  echo "--- a client that sends nothing: the end of its connection, no spinning"
  bounded socat -u /dev/null ABSTRACT-CONNECT:tormelin
  expect_next 'state status=">xxx" lamps=34 12'
  ticks() { awk '{print $14 + $15}' "/proc/$FIRST/stat"; }
  before=$(ticks); sleep 1; after=$(ticks)
  # A listener spinning on 0-byte reads burns about 100 ticks a second.
  if [ $((after - before)) -lt 20 ]; then pass "idle listener used $((after - before)) ticks in 1 s"
  else fail "idle listener used $((after - before)) ticks in 1 s: spinning"; fi
fi

echo "--- lightsend: arguments, standard input, a pattern"
lightsend --delay "$DELAY" '>5L1' '>3LFF' '>4L12' '>' || fail "lightsend arguments: status $?"
expect_next 'state status=">5L1" lamps=01 00'
expect_next 'state status=">3LFF" lamps=ff 00'
expect_next 'state status=">4L12" lamps=ff 00'
expect_line_applied '>' ff 00
printf '>5L8001\r\n>5L0\n' | lightsend --delay "$DELAY" - || fail "lightsend -: status $?"
expect_next 'state status=">5L8001" lamps=01 80'
expect_line_applied '>5L0' 00 00
for round in 1 2 3; do
  lightsend ">5L$round" || fail "lightsend round $round: status $?"
  expect_line_applied ">5L$round" "0$round" 00
done
lightsend --pattern chaser --rate "$RATE" --seconds 1.6 --mode 3 || fail "pattern: status $?"
for ((i = 0; i < RATE * 16 / 10; i++)); do
  value=$((1 << (i % 8)))
  expect_next "state status=\">3L$(printf %04X $value)\" lamps=$(printf %02x $value) 00"
done
expect_next 'state status=">xxx" lamps=80 00'

echo "--- lightsend refuses a line the server would drop, or a rate that is no number, before sending anything"
expect_status "a line too long" 2 lightsend '>5L1' '>5L123456' 2>"$WORK/refused.err"
check_that "says why" grep -q 'longer than 8 characters' "$WORK/refused.err"
expect_status "a rate that is no number" 2 lightsend --pattern chaser --rate nan 2>"$WORK/nan.err"
check_that "says why" grep -q '"nan" is not a number' "$WORK/nan.err"
expect_quiet 0.5

echo "--- a second copy cannot take the name; the first keeps serving"
start_host "$WORK/host2.out"
SECOND=$HOST_PID
follow "$WORK/host2.out"
expect_next 'state status=">???" lamps=00 00'
expect_next "box caption=\"Debug Window\" text=\"Error return code from CreateNamedPipe = $BIND_ERROR.\" style=0x40"
expect_next 'ended code=0'
expect_ends "$SECOND" && pass "second copy ended"
follow "$WORK/host1.out" "$(complete_lines "$WORK/host1.out" | wc -l)"
lightsend '>5L4321' || fail "lightsend after the second copy: status $?"
expect_line_applied '>5L4321' 21 43

if [ "$PLATFORM" = linux ]; then
  echo "--- a client of another user is refused unread"
  if id nobody >/dev/null 2>&1; then
    printf '>5LFFFF\n' | bounded setpriv --reuid=nobody --regid=nogroup --clear-groups \
      socat - ABSTRACT-CONNECT:tormelin 2>/dev/null || true
    expect_quiet 0.5
    send_raw '>5L5\n'  # Served next, with nothing of the refused client in between.
    expect_line_applied '>5L5' 05 00
  else
    fail "no user nobody to connect as"
  fi
fi

echo "--- a client that comes while another is served waits its turn"
lightsend --delay $((DELAY * 5)) '>5L1' '>5L2' &
SENDER=$!
started "$SENDER"
expect_next 'state status=">5L1" lamps=01 00'
lightsend '>5L7' || fail "waiting client: status $?"
wait "$SENDER" || fail "first client: status $?"
expect_line_applied '>5L2' 02 00
expect_line_applied '>5L7' 07 00

echo "--- while a client is served, another is turned away, and lightsend says busy"
if [ "$PLATFORM" = linux ]; then
  # At once, never queued: its line is never applied.
  hold_client  # The first client stays connected until release_client.
  client_line '>5L11'
  expect_next 'state status=">5L11" lamps=11 00'
  mkfifo "$WORK/second"
  socat - ABSTRACT-CONNECT:tormelin <"$WORK/second" >/dev/null 2>&1 &
  REFUSED=$!
  started "$REFUSED"
  exec 8>"$WORK/second"  # Its input stays open too: only the server can end it.
  printf '>5L22\n' >&8
  expect_ends "$REFUSED" && pass "the second client was let go while the first is connected"
  exec 8>&-
  client_line '>5L33'  # The first is still served.
  expect_next 'state status=">5L33" lamps=33 00'
else
  # The pipe stays busy for longer than lightsend waits for it.
  lightsend --delay 6000 '>5L1' '>5L2' &
  SENDER=$!
  started "$SENDER"
  expect_next 'state status=">5L1" lamps=01 00'
fi
expect_status "busy" 1 lightsend '>5L44' 2>"$WORK/busy.err"
expect_message "says busy" "$WORK/busy.err" "the pipe server on $PIPE is busy with another client"
if [ "$PLATFORM" = linux ]; then
  release_client
  expect_next 'state status=">xxx" lamps=33 00'
  expect_quiet 0.5  # Neither the refused socat's line nor lightsend's comes later.
  send_raw '>5L5\n'
  expect_line_applied '>5L5' 05 00
else
  expect_status "first client" 0 wait "$SENDER"
  expect_line_applied '>5L2' 02 00
fi

if [ "$PLATFORM" = linux ]; then
  echo "--- Ctrl-C ends a pattern cleanly"
  "$LIGHTSEND" --pattern chaser &  # Not under timeout: the signal goes to lightsend itself.
  SENDER=$!
  started "$SENDER"
  expect_next 'state status=">5L0001" lamps=01 00'
  kill -INT "$SENDER"
  expect_ends "$SENDER"
  expect_status "Ctrl-C" 0 wait "$SENDER"
  expect_eventually 'state status=">xxx" lamps=*'
fi

echo "--- the server goes away while lightsend plays"
lightsend --pattern blink --rate 20 --seconds 8 2>"$WORK/gone.err" &
SENDER=$!
started "$SENDER"
expect_next 'state status=">5LFFFF" lamps=ff ff'
kill -9 "$FIRST"; wait "$FIRST" 2>/dev/null || true
expect_status "server gone" 1 wait "$SENDER"
expect_message "says the server went away" "$WORK/gone.err" "the pipe server on $PIPE went away"

echo "--- lightsend with no server"
expect_status "no server" 1 lightsend '>5L1' 2>"$WORK/none.err"
expect_message "says no server listens" "$WORK/none.err" "no pipe server is listening on $PIPE"

finish
