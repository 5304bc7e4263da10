#!/usr/bin/env bash
# pipeserver.exe's --usbpro under Wine through a real serial path: Wine maps
# COM37 to one end of a socat pty pair (a link in the prefix's dosdevices),
# the stand-in widget (usbpro_widget.py) reads the other. The frames of a
# run of lines, the keep-alive, the pty closed mid-run and made again, and
# a widget that answers nothing or garbage: asked again after the pause,
# never sent a frame, and the window stays. The Windows program says its
# faults in the "Outputs..." item, not here; the Linux test reads them.
# Needs: PIPESERVER_EXE, LIGHTSEND_EXE, XPROBE, WINEPREFIX (the build's).
SHARED_NET=1 source "$(dirname "$0")/../support/lib.sh"  # The pipe is the Wine server's.
source "$(dirname "$0")/../support/usbpro.sh"
export LIMIT=30 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
COM_LINK="$WINEPREFIX/dosdevices/com37"
trap 'rm -f "$COM_LINK"; cleanup' EXIT
start_xvfb

# --- a widget that answers -------------------------------------------------
pty_pair good
GOOD_SOCAT=$SOCAT_PID
ln -sfn "$WORK/good.port" "$COM_LINK"
widget good good 40 good
start_exe --usbpro COM37 --start 5 --channels-per-lamp 2 --on 200 --off 10
sleep 1
lightsend_exe '>5L1234' '>3L00ff' '>5L8001'
sleep 2.6  # Keep-alives only.
# The pty closes mid-run; a new pair at the same place is opened again.
kill "$GOOD_SOCAT"
wait "$GOOD_SOCAT" 2>/dev/null || true
peer_done good || true
sleep 1.5  # A keep-alive meets the closed port.
lightsend_exe '>5L0003'
pty_pair good
widget good again 10 good
sleep 5  # The pause, the request, frames.
check_equal "the window stayed through it" "$(find_window 'Pipe Server Vantrelle \(p:0\)')" "$window"
stop_exe "with a widget"
expect_frames "DMX USB Pro frames from the Windows program: well formed, levels, rate, keep-alive, reopened"

# --- a port whose other end answers nothing, or garbage ---------------------
for answer in none garbage; do
  pty_pair "$answer"
  ln -sfn "$WORK/$answer.port" "$COM_LINK"
  widget "$answer" "$answer" 12 "$answer"
  start_exe --usbpro COM37
  lightsend_exe '>5L0001'
  sleep 5  # Past the pause: asked again.
  check_that "$answer: the program runs on without its port" kill -0 "$PROGRAM_PID"
  stop_exe "$answer"
  expect_refused "$answer"
done
finish
