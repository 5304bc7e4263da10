#!/usr/bin/env bash
# lightbeat from a sound playing to the Linux program's lamps: a private
# pulseaudio with a null sink, paplay of a click track into it, lightbeat
# capturing the sink's monitor as it would a desktop's output, and the real
# program (its port writes recorded) applying the lines.
# Needs: PIPESERVER, XPROBE, LIGHTBEAT.
source "$(dirname "$0")/../support/lib.sh"
start_xvfb
source "$(dirname "$0")/../support/pulse.sh"

start_pulse "$WORK/pulse" || { fail "no pulseaudio"; finish; }
started "$PULSE_PID"
click_track "$WORK/clicks.wav" 6 0.5

# A whole file played with no server: nothing was driven, so exit status 1,
# after saying so once.
expect_exit "no server from start to end" 1 "$WORK/alone.out" "$LIGHTBEAT" --quiet --file "$WORK/clicks.wav" --realtime
check_equal "no server from start to end: said once" "$(grep -c "no pipe server" "$WORK/alone.out")" 1

# No sound server: the message says what to start, or how to read a file.
PULSE_SERVER="unix:$WORK/no-such-server" expect_exit "no sound server" 1 "$WORK/nopulse.out" "$LIGHTBEAT" --quiet
check_that "no sound server: a hint ($(tr '\n' ' ' <"$WORK/nopulse.out"))" \
  grep -q "no sound server answers: start PulseAudio.*--file FILE --realtime" "$WORK/nopulse.out"
check_that "lightbeat --version names the licence" bash -c '"$LIGHTBEAT" --version | grep -qx "MIT licence"'

# lightbeat first: with no server it says so and keeps trying.
"$LIGHTBEAT" >"$WORK/lightbeat.out" 2>&1 &
LIGHTBEAT_PID=$!
started "$LIGHTBEAT_PID"
wait_until 5 grep -q "no pipe server" "$WORK/lightbeat.out" &&
  pass "no server: said so" || fail "no server: not said ($(cat "$WORK/lightbeat.out"))"

start_program -p 378
window=$(main_window) || { fail "no main window"; finish; }
wait_until 5 grep -q "connected to" "$WORK/lightbeat.out" &&
  pass "connected within the second" || fail "did not connect: $(cat "$WORK/lightbeat.out")"
[ "$(grep -c "no pipe server" "$WORK/lightbeat.out")" -eq 1 ] &&
  pass "no server: said once" || fail "no server said more than once"

paplay "$WORK/clicks.wav"
sleep 0.5
kill -INT "$LIGHTBEAT_PID"
code=0
wait "$LIGHTBEAT_PID" || code=$?
[ "$code" -eq 0 ] && pass "Ctrl-C: exit status 0" || fail "Ctrl-C: exit status $code"

# Every light command shows as a two-bank write in the port log, row 1 first.
grep -o 'write 378 ..' "$WORK/port.log" | awk 'NR % 2 { printf "%s", $3; next } { print $3 }' \
  >"$WORK/lamps.txt"
lit=$(grep -vc '^0000$' "$WORK/lamps.txt" || true)
dark=$(grep -c '^0000$' "$WORK/lamps.txt" || true)
# Twelve clicks: each lights the lamps and lets them go out again.
[ "$lit" -ge 12 ] && [ "$dark" -ge 12 ] &&
  pass "the lamps followed the clicks ($lit lit, $dark dark states)" ||
  fail "the lamps did not follow the clicks ($lit lit, $dark dark): $(paste -sd' ' "$WORK/lamps.txt")"
[ "$(tail -n 1 "$WORK/lamps.txt")" = "0000" ] && pass "all off at the end" ||
  fail "last state $(tail -n 1 "$WORK/lamps.txt"), not 0000"
expect_lamps "$window" 00 00 "after Ctrl-C"
finish
