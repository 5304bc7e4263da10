#!/usr/bin/env bash
# A flood of lines from lightsend (no pause between lines) at the Linux
# program built with a paint counter: the window's paints must not follow
# the number of lines, the About box must open during a flood, and the line
# sent after a short pause at the end must be the one shown.
# Needs: PIPESERVER (pipeserver_flood), XPROBE, TEXT_REF, LIGHTSEND;
# FLOOD_SMALL and FLOOD_LARGE (lines per flood).
source "$(dirname "$0")/../support/lib.sh"
start_xvfb

small=${FLOOD_SMALL:-2000}
large=${FLOOD_LARGE:-20000}

# flood_file N: N distinct light commands, one a line.
flood_file() {
  local file="$WORK/flood.$1"
  [ -f "$file" ] || seq 0 $(($1 - 1)) | awk '{ printf ">5L%04X\n", $1 % 65536 }' >"$file"
  echo "$file"
}

paints() { "$XPROBE" prop "$window" _PIPESERVER_PAINTS; }
now_ms() { echo $(($(date +%s%N) / 1000000)); }

start_program -p 378
window=$(main_window) || { fail "no main window"; finish; }
wait_until 5 paints || { fail "the window shows no paint count"; finish; }
expect_text "$window" ">???"

# settled_paints: the count once it has stopped moving for half a second.
settled_paints() {
  local before after
  after=$(paints)
  while :; do
    before=$after
    sleep 0.5
    after=$(paints)
    [ "$after" = "$before" ] && break
  done
  echo "$after"
}

# applied: lines applied so far; with -p 378 each two-bank command makes 7
# port accesses in the recording port's log, and nothing else writes it.
applied() { echo $(($(wc -l <"$WORK/port.log") / 7)); }

# flood N: sends N lines in one lightsend run; sets FLOOD_PAINTS (the
# window's paints), FLOOD_APPLIED (lines the listener applied: lines that
# share a read are dropped) and FLOOD_MS (lightsend's run time).
flood() {
  local file start before applied_before
  file=$(flood_file "$1")
  before=$(settled_paints)
  applied_before=$(applied)
  start=$(now_ms)
  "$LIGHTSEND" --delay 0 - <"$file" || fail "lightsend failed on the flood of $1 lines"
  FLOOD_MS=$(($(now_ms) - start))
  FLOOD_PAINTS=$(($(settled_paints) - before))
  FLOOD_APPLIED=$(($(applied) - applied_before))
  echo "flood of $1 lines: lightsend ${FLOOD_MS} ms, $FLOOD_APPLIED lines applied, $FLOOD_PAINTS paints"
}

# 1. Paints coalesce: without coalescing there would be a paint per line
# applied; here there must be at most one per 10 applied lines, for a flood
# and for one ten times as long.
check_flood() {
  flood "$1"
  [ "$FLOOD_PAINTS" -ge 1 ] && pass "$1 lines: the flood was painted" || fail "$1 lines: no paint"
  [ "$FLOOD_APPLIED" -ge $(($1 / 20)) ] && pass "$1 lines: $FLOOD_APPLIED applied" ||
    fail "$1 lines: only $FLOOD_APPLIED applied, the flood did not reach the listener"
  [ $((FLOOD_PAINTS * 10)) -le "$FLOOD_APPLIED" ] &&
    pass "$1 lines: $FLOOD_PAINTS paints for $FLOOD_APPLIED lines applied" ||
    fail "$1 lines: $FLOOD_PAINTS paints for $FLOOD_APPLIED lines applied, more than one per 10"
}
check_flood "$small"
check_flood "$large"

# 2. The About box opens while lightsend floods the window without a pause.
big=$(flood_file "$large")
# The loop ends its own lightsend when it is told to end.
(
  trap 'kill "$sender" 2>/dev/null; exit 0' TERM
  while :; do
    "$LIGHTSEND" --delay 0 - <"$big" >/dev/null 2>&1 &
    sender=$!
    wait "$sender" || sleep 0.05
  done
) &
flooder=$!
started "$flooder"
sleep 0.5
xdotool mousemove --window "$window" 100 60 click 3
sleep 0.3
start=$(now_ms)
xdotool mousemove_relative 20 10 click 1
if box=$(wait_window 'Pipe Server Vantrelle' 5); then
  about_ms=$(($(now_ms) - start))
  pass "the About box opened during the flood, ${about_ms} ms after the click"
  # The flood is still on, and the window keeps being painted behind the box.
  before=$(paints); sleep 0.5
  [ "$(paints)" -gt "$before" ] && pass "the window still paints while the box is open" ||
    fail "no paint while the box was open during the flood"
  close_box "$box"
  expect_box_gone "About closes during the flood"
else
  fail "no About box within 5 s during the flood"
fi
kill "$flooder"; wait "$flooder" 2>/dev/null || true

# 3. After the flood, a short pause, then one line from a client that stays
# connected: the picture shows exactly that line, lamps and text.
sleep 0.3
hold_client  # Stays connected until release_client.
client_line '>5L8001'
expect_lamps "$window" 01 80 "after the flood and a pause, >5L8001"
expect_text "$window" ">5L8001"
release_client

close_and_expect_exit "$window" "after the floods"
finish
