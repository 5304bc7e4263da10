#!/usr/bin/env bash
# "About" from the pop-up menu (right button, and the Menu key); a second
# copy's error box while the first keeps serving; closing with a client
# connected.
source "$(dirname "$0")/lib.sh"

about_text='Simple Pipe Server V1.02 for the Vantrelle plugin.
Reading winamp data from the pipe:
\\.\pipe\tormelin

Startup parameter:
-p PortNr
e.g. 378, 278, 3BC for LPTx or 000 for EMU
call it with upper case '"'"'-P PortNr'"'"' for HW test

Two rows of eight lamps, most significant bit at the left.'

# check_box WINDOW CAPTION TEXT STYLE WHAT
check_box() {
  local got_caption got_text got_style
  got_caption=$(xdotool getwindowname "$1")
  got_text=$("$XPROBE" prop "$1" _PIPESERVER_BOX_TEXT || true)
  got_style=$("$XPROBE" prop "$1" _PIPESERVER_BOX_STYLE || true)
  [ "$got_caption" = "$2" ] && pass "$5: caption '$2'" || fail "$5: caption '$got_caption', want '$2'"
  [ "$got_text" = "$3" ] && pass "$5: text" || fail "$5: text '$got_text', want '$3'"
  [ "$got_style" = "$4" ] && pass "$5: style $4" || fail "$5: style '$got_style', want '$4'"
}

start_program
first_pid=$PROGRAM_PID
window=$(main_window) || { fail "no main window"; finish; }

# Right button on the window: the menu opens at the pointer with "About"
# as its only item, just below and right of it.
xdotool mousemove --window "$window" 100 60 click 3
sleep 0.5
xdotool mousemove_relative 20 10 click 1
if box=$(wait_window 'Pipe Server Vantrelle' 5); then
  check_box "$box" "Pipe Server Vantrelle" "$about_text" 64 "About (right button)"
  xdotool windowfocus --sync "$box" key Return
  wait_until 5 test -z "$(find_window 'Pipe Server Vantrelle')" && pass "About closes with Return" ||
    fail "About still open"
else
  fail "no About box after the pop-up menu"
fi

# The Menu key: the same menu; Down and Return choose "About".
xdotool windowfocus --sync "$window" key Menu
sleep 0.5
xdotool key Down Return
if box=$(wait_window 'Pipe Server Vantrelle' 5); then
  check_box "$box" "Pipe Server Vantrelle" "$about_text" 64 "About (Menu key)"
  xdotool windowfocus --sync "$box" key Return
else
  fail "no About box after the Menu key"
fi

# A second copy: its listener cannot bind the name (EADDRINUSE, 98) and
# says so in its error box; its window stays and keeps showing ">???".
start_program
second_pid=$PROGRAM_PID
if box=$(wait_window 'Debug Window' 10); then
  check_box "$box" "Debug Window" "Error return code from CreateNamedPipe = 98." 64 "second copy"
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
# The client stays connected while this script holds the FIFO open.
mkfifo "$WORK/client"
socat -u - ABSTRACT-CONNECT:tormelin <"$WORK/client" &
client=$!
STARTED_PIDS+=("$client")
exec 7>"$WORK/client"
printf '>5L1234\n' >&7
expect_lamps "$window" 34 12 "a client holds the socket"
kill -0 "$client" && pass "the client is still connected" || fail "the client went too early"
close_and_expect_exit "$window" "closed with a client connected"
finish
