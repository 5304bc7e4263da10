#!/usr/bin/env bash
# The command tail: the window title and the port's set-up for each tail.
# The program under test records port accesses instead of making them.
source "$(dirname "$0")/lib.sh"

# check TITLE-SUFFIX PORT-LOG ARG...: the program started with ARG... shows
# "Pipe Server Vantrelle (p:TITLE-SUFFIX)" and made exactly the port
# accesses PORT-LOG (lines separated by ';', empty for none).
check() {
  local want_title="Pipe Server Vantrelle (p:$1)" want_log=$2; shift 2
  local what="tail '$*'"
  start_program "$@"
  local window
  if ! window=$(main_window); then
    fail "$what: no main window"
    kill "$PROGRAM_PID"
    return
  fi
  local title
  title=$(xdotool getwindowname "$window")
  if [ "$title" = "$want_title" ]; then pass "$what: title $title"; else fail "$what: title '$title', want '$want_title'"; fi
  local log
  log=$(paste -sd';' "$WORK/port.log")
  if [ "$log" = "$want_log" ]; then pass "$what: port '$log'"; else fail "$what: port '$log', want '$want_log'"; fi
  if [ -n "$(find_window 'Pipe Server Vantrelle')" ]; then fail "$what: a message box is open"; fi
  close_and_expect_exit "$window" "$what"
}

setup_378="open 378;read 37a 00;write 37a 08"
check 378 "$setup_378" "-p 378"
check 378 "$setup_378" -p 378          # Arguments are joined by blanks.
check 0 "" "-p 000"
check 0 "" "-P 000"                    # No port: no test either.
check 0 "" "-p 78"                     # Too short.
check 0 "" "-p378"                     # No blank.
check 0 "" "/p 378"
check 0 ""                             # Empty.
check 2345 "open 2345;read 2347 00;write 2347 08" "-p 12345"  # The last four digits.
check 378 "$setup_378" "-p 378 abc"    # Reading stops at the blank.
check 78 "open 78;read 7a 00;write 7a 08" "-p  78"  # Leading blanks skipped.

# Without access to the port: one warning box before the window, then the
# emulation mode, with no further port access.
PIPESERVER_PORT_DENY=1 start_program "-P 378"
if box=$(wait_window 'Pipe Server Vantrelle' 10); then
  text=$("$XPROBE" prop "$box" _PIPESERVER_BOX_TEXT || true)
  style=$("$XPROBE" prop "$box" _PIPESERVER_BOX_STYLE || true)
  [ "$text" = "No access to the port 378 (recording back end)." ] && pass "no access: the box" ||
    fail "no access: box text '$text'"
  [ "$style" = 48 ] && pass "no access: warning icon" || fail "no access: style '$style', want 48"
  [ -z "$(find_window 'Pipe Server Vantrelle \(p:.*\)')" ] || fail "no access: the window came before the box"
  xdotool windowfocus --sync "$box" key Return
  if window=$(main_window); then
    title=$(xdotool getwindowname "$window")
    [ "$title" = "Pipe Server Vantrelle (p:0)" ] && pass "no access: $title" || fail "no access: title '$title'"
    send '>5L1234'
    wait_until 5 lamps_show "$window" 34 12 text || fail "no access: lamps"
    log=$(paste -sd';' "$WORK/port.log")
    [ "$log" = "open 378" ] && pass "no access: no port access after asking" || fail "no access: port '$log'"
    close_and_expect_exit "$window" "no access"
  else
    fail "no access: no window after the box"
  fi
else
  fail "no access: no warning box"
fi
finish
