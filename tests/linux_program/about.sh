#!/usr/bin/env bash
# "About" from the pop-up menu (right button, and the Menu key); a second
# copy's error box while the first keeps serving; closing with a client
# connected.
source "$(dirname "$0")/../support/lib.sh"
start_xvfb

# The About text as both programs must show it.
about_text=$(cat "$ABOUT_TEXT")

start_program
first_pid=$PROGRAM_PID
window=$(main_window) || { fail "no main window"; finish; }

# Right button on the window: the menu opens at the pointer with "About"
# as its only item, just below and right of it.
xdotool mousemove --window "$window" 100 60 click 3
sleep 0.5
xdotool mousemove_relative 20 10 click 1
if box=$(wait_window 'Pipe Server Vantrelle' 5); then
  expect_box "$box" "Pipe Server Vantrelle" "$about_text" 64 "About (right button)"
  close_box "$box"
  expect_box_gone "About closes with Return"
else
  fail "no About box after the pop-up menu"
fi

# The Menu key: the same menu; Down and Return choose "About".
xdotool windowfocus --sync "$window" key Menu
sleep 0.5
xdotool key Down Return
if box=$(wait_window 'Pipe Server Vantrelle' 5); then
  expect_box "$box" "Pipe Server Vantrelle" "$about_text" 64 "About (Menu key)"
  close_box "$box"
else
  fail "no About box after the Menu key"
fi

# A second copy: its listener cannot bind the name (EADDRINUSE, 98) and
# says so in its error box; its window stays and keeps showing ">???".
start_program
second_pid=$PROGRAM_PID
if box=$(wait_window 'Debug Window' 10); then
  expect_box "$box" "Debug Window" "Error return code from CreateNamedPipe = 98." 64 "second copy"
else
  fail "second copy: no error box"
fi
second=$( { xdotool search --onlyvisible --name '^Pipe Server Vantrelle \(p:0\)$' || true; } | grep -vx "$window" | head -n 1)
[ -n "$second" ] && pass "second copy: its window is there" || fail "second copy: no window"

# Without a window manager, windows stand where they ask to: the second
# copy's window covers the first, and the box is centred on the screen.
# Captures read the screen, so move them apart.
[ -n "$second" ] && xdotool windowmove --sync "$second" 0 0
[ -n "${box:-}" ] && xdotool windowmove --sync "$box" 0 500

# The first copy keeps serving while the box is open.
send '>5L00FF'
expect_lamps "$window" ff 00 "first copy, while the second shows its box"
[ -n "$second" ] && expect_lamps "$second" 00 00 "second copy, unchanged"

# Closing the second copy's window while its box is open ends it.
[ -n "$second" ] && close_and_expect_exit "$second" "second copy, box open"

# Closing the first with a client connected: exit code 0, promptly.
PROGRAM_PID=$first_pid
hold_client  # Stays connected until release_client.
client_line '>5L1234'
expect_lamps "$window" 34 12 "a client holds the socket"
check_that "the client is still connected" kill -0 "$CLIENT_PID"
close_and_expect_exit "$window" "closed with a client connected"
finish
