#!/usr/bin/env bash
# The minimal clients of docs/protocol.md, taken from the page as a reader
# copies them, run against the real program: each must light lamps 0 and 15
# and then turn every lamp off, seen in the recorded port writes.
# Needs: PIPESERVER, XPROBE, DOC (the page).
source "$(dirname "$0")/../support/lib.sh"
start_xvfb

# snippet LANGUAGE: the page's first fenced block in that language.
snippet() { awk -v fence="\`\`\`$1" '$0 == fence { on = 1; next } on && /^```/ { exit } on' "$DOC"; }
snippet c >"$WORK/lamps.c"
snippet python >"$WORK/lamps.py"
check_that "the page has a C client" test -s "$WORK/lamps.c"
check_that "the page has a Python client" test -s "$WORK/lamps.py"
cc -Wall -Wextra -o "$WORK/lamps" "$WORK/lamps.c" 2>"$WORK/cc.err"
check_equal "the C client compiles without a warning" "$(cat "$WORK/cc.err")" ""

start_program -p 378
window=$(main_window) || { fail "no main window"; finish; }
expect_text "$window" ">???"

# The commands applied so far, one a line: bank 0 then bank 1, in hexadecimal.
commands() { { grep -o 'write 378 ..' "$WORK/port.log" || true; } | awk 'NR % 2 { printf "%s", $3; next } { print $3 }'; }

for client in "$WORK/lamps" "python3 $WORK/lamps.py"; do
  before=$(commands | wc -l)
  code=0
  bounded $client || code=$?
  check_equal "$client: exit status" "$code" 0
  check_equal "$client: lamps 0 and 15, then all off" "$(commands | tail -n +$((before + 1)) | paste -sd' ')" "0180 0000"
  expect_text "$window" ">xxx"
done

close_and_expect_exit "$window" "doc clients"
finish
