#!/usr/bin/env bash
# -P 3bc: the twelve hardware-test boxes come before the main window, one at
# a time, each while the port holds the state that it names. The control
# register reads 0x21 here: its other bits (5 and 0) must be written back.
source "$(dirname "$0")/../support/lib.sh"
start_xvfb

export PIPESERVER_PORT_READ=21
start_program -P 3bc

# Set-up: ControlBase = (0x21 AND 0xFB) OR 0x08 = 0x29, written back.
# Each box: its text, and the port log's length and last line while it is open.
boxes=(
  "start test: pin2..9=low, pin16+17=low|4|write 3bc 00"
  "pin16=high|5|write 3be 2d"
  "pin17=high|6|write 3be 21"
  "set Pin_2: high|8|write 3bc 01"
  "set Pin_3: high|9|write 3bc 02"
  "set Pin_4: high|10|write 3bc 04"
  "set Pin_5: high|11|write 3bc 08"
  "set Pin_6: high|12|write 3bc 10"
  "set Pin_7: high|13|write 3bc 20"
  "set Pin_8: high|14|write 3bc 40"
  "set Pin_9: high|15|write 3bc 80"
  "end of test...|16|write 3bc 00"
)

previous=""
for entry in "${boxes[@]}"; do
  IFS='|' read -r want_text want_count want_last <<<"$entry"
  # The next box is a new window; the previous one must be gone.
  new_box() { box=$(find_window 'Pipe Server Vantrelle') && [ -n "$box" ] && [ "$box" != "$previous" ]; }
  wait_until 10 new_box || { fail "box '$want_text' did not appear"; break; }
  sleep 0.3  # Time for a write that should not come while the box is open.
  count=$(wc -l <"$WORK/port.log")
  last=$(tail -n 1 "$WORK/port.log")
  what="box '$want_text'"
  expect_box "$box" "Pipe Server Vantrelle" "$want_text" 16 "$what (stop icon, OK)"
  [ "$count" = "$want_count" ] && [ "$last" = "$want_last" ] && pass "$what: port after '$last'" ||
    fail "$what: port log has $count lines ending '$last', want $want_count ending '$want_last'"
  [ -z "$(find_window 'Pipe Server Vantrelle \(p:.*\)')" ] || fail "$what: the main window is already there"
  close_box "$box"
  previous=$box
done

if window=$(main_window); then
  expect_title "$window" "Pipe Server Vantrelle (p:3BC)" "then the main window"
  expected="open 3bc;read 3be 21;write 3be 29;write 3bc 00;write 3be 2d;write 3be 21;write 3be 29"
  expected+=";write 3bc 01;write 3bc 02;write 3bc 04;write 3bc 08;write 3bc 10;write 3bc 20;write 3bc 40"
  expected+=";write 3bc 80;write 3bc 00"
  check_equal "the whole port sequence" "$(paste -sd';' "$WORK/port.log")" "$expected"
  close_and_expect_exit "$window" "-P 3bc"
else
  fail "no main window after the test"
fi
finish
