#!/usr/bin/env bash
# The lamps' pixels after light lines from real clients (socat, lightsend),
# the port writes that go with them (-p 378, recorded), and the status text.
source "$(dirname "$0")/../support/lib.sh"
start_xvfb

start_program -p 378
window=$(main_window) || { fail "no main window"; finish; }

# The listener's marker ">???" and all lamps dark, with gray outlines.
expect_lamps "$window" 00 00 "at start"
expect_text "$window" ">???"

# port_tail N: the last N port accesses, ';'-separated.
port_tail() { tail -n "$1" "$WORK/port.log" | paste -sd';'; }
expect_port() {
  local got
  got=$(port_tail "$1")
  [ "$got" = "$2" ] && pass "$3: port $got" || fail "$3: port '$got', want '$2'"
}

send '>5L1234'
expect_lamps "$window" 34 12 ">5L1234 (socat)"
expect_text "$window" ">xxx"
expect_port 7 "write 378 34;read 37a 00;write 37a 0c;write 37a 08;write 378 12;write 37a 00;write 37a 08" ">5L1234"
"$XPROBE" capture "$window" "$WORK/1234.ppm"

# >5L0180: top left and bottom right only.
for case in ">5L0180 80 01" ">5LFFFF ff ff" ">5L0 00 00" ">5L-1 ff ff"; do
  read -r line bank0 bank1 <<<"$case"
  send "$line"
  expect_lamps "$window" "$bank0" "$bank1" "$line"
done

lines_before=$(wc -l <"$WORK/port.log")
send '>3L1234'
expect_lamps "$window" 34 12 ">3L1234: both rows drawn"
expect_port 4 "write 378 34;read 37a 00;write 37a 0c;write 37a 08" ">3L1234: one bank"
[ $(($(wc -l <"$WORK/port.log") - lines_before)) -eq 4 ] && pass ">3L1234: 4 accesses" || fail ">3L1234: not 4 accesses"

lines_before=$(wc -l <"$WORK/port.log")
send '>4L12' '>5l12'
sleep 0.5
expect_lamps "$window" 34 12 ">4L12 and >5l12 change no lamp"
[ "$(wc -l <"$WORK/port.log")" -eq "$lines_before" ] && pass "no port access for them" || fail "port accessed"

# The same line gives the same picture; another line a different one.
"$XPROBE" capture "$window" "$WORK/again.ppm"
"$XPROBE" compare "$WORK/1234.ppm" "$WORK/again.ppm" && pass "same lamps, same pixels" || fail "same lamps differ"
send '>5L1235'
expect_lamps "$window" 35 12 ">5L1235"
"$XPROBE" capture "$window" "$WORK/1235.ppm"
if "$XPROBE" compare "$WORK/1234.ppm" "$WORK/1235.ppm" 2>/dev/null; then
  fail "other lamps, same pixels"
else
  pass "other lamps, other pixels"
fi

# The status text is the last line: ">xxx" after each client above went;
# the line itself while its client stays connected.
"$XPROBE" compare "$WORK/1234.ppm" "$WORK/1235.ppm" 0 0 256 20 && pass "same status text, same pixels" ||
  fail "status text '>xxx' drawn differently"
hold_client  # Stays connected until release_client.
client_line '>5L1235'
expect_text "$window" ">5L1235"
"$XPROBE" capture "$window" "$WORK/connected.ppm"
"$XPROBE" lamps "$WORK/connected.ppm" 35 12 text && pass "client connected: lamps" || fail "client connected: lamps"
if "$XPROBE" compare "$WORK/1235.ppm" "$WORK/connected.ppm" 0 0 256 20 2>/dev/null; then
  fail "status '>5L1235' drawn as '>xxx'"
else
  pass "status text follows the line"
fi
"$XPROBE" compare "$WORK/1235.ppm" "$WORK/connected.ppm" && pass "lamps as before" || fail "lamps changed"
release_client
expect_text "$window" ">xxx"

timeout 10 "$LIGHTSEND" '>5L8001'
expect_lamps "$window" 01 80 "lightsend >5L8001"
timeout 10 "$LIGHTSEND" --delay 100 '>5L00F0' '>5LA5C3'
expect_lamps "$window" c3 a5 "lightsend, two lines"
# The chaser moves the lamps: captures taken while it plays differ.
timeout 10 "$LIGHTSEND" --pattern chaser --rate 10 --seconds 2 &
player=$!
started "$player"
for i in 1 2 3 4 5; do
  sleep 0.3
  "$XPROBE" capture "$window" "$WORK/chaser$i.ppm"
done
wait "$player" && pass "lightsend --pattern chaser played" || fail "lightsend --pattern chaser failed"
pictures=$(md5sum "$WORK"/chaser?.ppm | cut -d' ' -f1 | sort -u | wc -l)
[ "$pictures" -ge 3 ] && pass "the chaser moved the lamps ($pictures pictures in 5)" ||
  fail "the chaser showed $pictures picture(s) in 5 captures"

close_and_expect_exit "$window" "lamps"
finish
