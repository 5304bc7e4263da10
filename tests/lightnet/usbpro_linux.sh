#!/usr/bin/env bash
# The Linux program's --usbpro through a real serial path: a pseudo-terminal
# pair made by socat, one end the program's port, the other read by a
# stand-in widget written from the DMX USB Pro's published API
# (usbpro_widget.py). Every frame well formed, the mapped channels at their
# levels after a run of lines, the keep-alive and the frame rate; the pty
# closed mid-run and made again; a widget that answers nothing or garbage,
# said once while an Art-Net output beside it keeps sending. No window.
source "$(dirname "$0")/../support/lib.sh"
source "$(dirname "$0")/../support/usbpro.sh"
export LIMIT=10
ip link set lo up

said() { grep -c "^pipeserver: DMX USB Pro on $1: $2" "$WORK/program.out" || true; }

# --- a widget that answers: the lines' frames, the keep-alive -------------
pty_pair good
GOOD_SOCAT=$SOCAT_PID
widget good good 30 good
start_headless --usbpro "$WORK/good.port" --start 5 --channels-per-lamp 2 --on 200 --off 10
check_that "the output's description" grep -qx \
  "pipeserver: DMX USB Pro on $WORK/good.port: lamps 0-15 on channels 5-36, 2 each, levels 200/10" "$WORK/program.out"
sleep 0.3
bounded "$LIGHTSEND" '>5L1234' '>3L00ff' '>5L8001'
sleep 2.6  # Keep-alives only.
lines_done=$(awk '{print $1}' /proc/uptime)

# The pty closes mid-run: said once, the program runs on; a new pair at the
# same place is opened again after the pause and gets the newest state.
kill "$GOOD_SOCAT"
wait "$GOOD_SOCAT" 2>/dev/null || true
peer_done good || true
write_fault_said() { [ "$(said "$WORK/good.port" 'cannot write to the port: ')" = 1 ]; }
check_that "the pty's end said once" wait_until 3 write_fault_said
bounded "$LIGHTSEND" '>5L0003'
pty_pair good
widget good again 8 good
check_that "the program is alive without its port" kill -0 "$PROGRAM_PID"
sleep 4  # The pause, the request, frames.
stop_headless "with a widget"
check_equal "the fault said once in all" "$(said "$WORK/good.port" '.*(retrying)$')" 1
expect_frames "DMX USB Pro frames: well formed, levels, rate, keep-alive, reopened"

# --- a port whose other end answers nothing, or garbage ---------------------
# An Art-Net output beside it on loopback: its frames must not wait.
for answer in none garbage; do
  pty_pair "$answer"
  widget "$answer" "$answer" 8 "$answer"
  start_peer "artnet.$answer" python3 "$SUPPORT_DIR/artnet_dmx.py" --channels 2 --seconds 5
  start_headless --usbpro "$WORK/$answer.port" --artnet 127.0.0.1
  sleep 0.2
  sent_at=$(python3 -c 'import time; print(time.monotonic())')
  bounded "$LIGHTSEND" '>5L0001' '>5L0002' '>5L0003'
  sleep 0.3
  # The widget's second of silence is still running: the lines' state must
  # not wait for it.
  arrived=$(awk '$2 == "255,255" {print $1; exit}' "$WORK/artnet.$answer.out")
  check_that "$answer: the Art-Net output beside it sent the lines' state at once (${arrived:-never} - $sent_at s)" \
    awk -v a="${arrived:-0}" -v s="$sent_at" 'BEGIN {exit !(a > s && a - s < 0.3)}'
  sleep 3.5  # Past the pause: asked again.
  case $answer in
    none) text='not a DMX USB Pro: no answer to the parameters request (retrying)' ;;
    garbage) text='not a DMX USB Pro: it answered 4f 4b 0d 0a 72 65 61 64 ... (10 bytes) (retrying)' ;;
  esac
  check_equal "$answer: said once, naming the port and what answered" "$(said "$WORK/$answer.port" "$text\$")" 1
  stop_headless "$answer"
  expect_peer_checks "artnet.$answer"  # Every ArtDmx packet well formed.
  expect_refused "$answer"
done
finish
