#!/usr/bin/env bash
# The command tail: the window title and the port's set-up for each tail.
# The program under test records port accesses instead of making them.
source "$(dirname "$0")/../support/lib.sh"
start_xvfb

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
  expect_title "$window" "$want_title" "$what"
  check_equal "$what: port" "$(paste -sd';' "$WORK/port.log")" "$want_log"
  if [ -n "$(find_window 'Pipe Server Vantrelle')" ]; then fail "$what: a message box is open"; fi
  close_and_expect_exit "$window" "$what"
}

setup_378="open 378;read 37a 00;write 37a 08"
check 378 "$setup_378" "-p 378"
check 378 "$setup_378" -p 378          # Arguments are joined by blanks.
check 0 "" "-P 000"                    # No port: no test either.
check 0 ""                             # Empty (other tails without a port: CommandTail's table).
check 2345 "open 2345;read 2347 00;write 2347 08" "-p 12345"  # The last four digits.
check 378 "$setup_378" "-p 378 abc"    # Reading stops at the blank.
check 78 "open 78;read 7a 00;write 7a 08" "-p  78"  # Leading blanks skipped.

# Without access to the port: one warning box before the window, then the
# emulation mode, with no further port access.
PIPESERVER_PORT_DENY=1 start_program "-P 378"
if box=$(wait_window 'Pipe Server Vantrelle' 10); then
  expect_box "$box" "Pipe Server Vantrelle" "No access to the port 378 (fake back end)." 48 \
    "no access: the box (warning icon)"
  [ -z "$(find_window 'Pipe Server Vantrelle \(p:.*\)')" ] || fail "no access: the window came before the box"
  close_box "$box"
  if window=$(main_window); then
    expect_title "$window" "Pipe Server Vantrelle (p:0)" "no access"
    send '>5L1234'
    wait_until 5 lamps_show "$window" 34 12 text || fail "no access: lamps"
    check_equal "no access: no port access after asking, port" "$(paste -sd';' "$WORK/port.log")" "open 378"
    close_and_expect_exit "$window" "no access"
  else
    fail "no access: no window after the box"
  fi
else
  fail "no access: no warning box"
fi
finish
