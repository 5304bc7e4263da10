#!/usr/bin/env bash
# The Linux program's --usbpro through a real serial path: a pseudo-terminal
# pair made by socat, one end the program's port, the other read by a
# stand-in widget written from the DMX USB Pro's published API
# (usbpro_widget.py). Every frame well formed, the mapped channels at their
# levels after a run of lines, the keep-alive and the frame rate; the pty
# closed mid-run and made again; a widget that answers nothing or garbage,
# said once while an Art-Net output beside it keeps sending. No window.
source "$(dirname "$0")/../support/lib.sh"
source "$(dirname "$0")/../support/olad.sh"  # lamp_levels
source "$(dirname "$0")/../support/usbpro.sh"
HERE=$(cd "$(dirname "$0")" && pwd)
export LIMIT=10
ip link set lo up

# start_headless ARGS...: the program without a window, listening.
start_headless() {
  : >"$WORK/program.out"
  env -u DISPLAY "$PIPESERVER" --no-window "$@" >"$WORK/program.out" 2>&1 &
  PROGRAM_PID=$!
  started "$PROGRAM_PID"
  wait_until 5 grep -q '^pipeserver: listening on @tormelin, no window$' "$WORK/program.out" ||
    fail "no line saying it listens"
}

stop_headless() {
  kill -TERM "$PROGRAM_PID"
  local code=0
  wait "$PROGRAM_PID" || code=$?
  check_equal "$1: exit code after SIGTERM" "$code" 0
}

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
wait "$WIDGET_PID" 2>/dev/null || true
write_fault_said() { [ "$(said "$WORK/good.port" 'cannot write to the port: ')" = 1 ]; }
check_that "the pty's end said once" wait_until 3 write_fault_said
bounded "$LIGHTSEND" '>5L0003'
pty_pair good
widget good again 8 good
check_that "the program is alive without its port" kill -0 "$PROGRAM_PID"
sleep 4  # The pause, the request, frames.
stop_headless "with a widget"
wait "$WIDGET_PID" 2>/dev/null || true
check_equal "the fault said once in all" "$(said "$WORK/good.port" '.*(retrying)$')" 1

want_8001=$(lamp_levels 5 2 200 10),0,0,0,0
want_0003=$(python3 -c 'print(",".join(["0"] * 4 + ["200"] * 4 + ["10"] * 28 + ["0"] * 4))')
python3 "$HERE/usbpro_frames.py" "$WORK/good.json" "$WORK/again.json" "$want_8001" "$want_0003" &&
  pass "DMX USB Pro frames: well formed, levels, rate, keep-alive, reopened" || fail "DMX USB Pro frames"

# --- a port whose other end answers nothing, or garbage ---------------------
# An Art-Net output beside it on loopback: its frames must not wait.
for answer in none garbage; do
  pty_pair "$answer"
  widget "$answer" "$answer" 8 "$answer"
  python3 - "$WORK/artnet.$answer" <<'PY' &
import socket, sys, time
s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
s.bind(("127.0.0.1", 6454))
s.settimeout(0.2)
end, out = time.monotonic() + 5, open(sys.argv[1], "w")
while time.monotonic() < end:
    try:
        data = s.recv(1024)
        out.write(f"{time.monotonic():.3f} {data[18]:02x}{data[19]:02x}\n")
        out.flush()
    except socket.timeout:
        pass
PY
  RECEIVER_PID=$!
  started "$RECEIVER_PID"
  sleep 0.3
  start_headless --usbpro "$WORK/$answer.port" --artnet 127.0.0.1
  sleep 0.2
  sent_at=$(python3 -c 'import time; print(time.monotonic())')
  bounded "$LIGHTSEND" '>5L0001' '>5L0002' '>5L0003'
  sleep 0.3
  # The widget's second of silence is still running: the lines' state must
  # not wait for it.
  arrived=$(awk '$2 == "ffff" {print $1; exit}' "$WORK/artnet.$answer")
  check_that "$answer: the Art-Net output beside it sent the lines' state at once (${arrived:-never} - $sent_at s)" \
    awk -v a="${arrived:-0}" -v s="$sent_at" 'BEGIN {exit !(a > s && a - s < 0.3)}'
  sleep 3.5  # Past the pause: asked again.
  case $answer in
    none) text='not a DMX USB Pro: no answer to the parameters request (retrying)' ;;
    garbage) text='not a DMX USB Pro: it answered 4f 4b 0d 0a 72 65 61 64 ... (10 bytes) (retrying)' ;;
  esac
  check_equal "$answer: said once, naming the port and what answered" "$(said "$WORK/$answer.port" "$text\$")" 1
  stop_headless "$answer"
  wait "$WIDGET_PID" 2>/dev/null || true
  wait "$RECEIVER_PID" 2>/dev/null || true
  python3 - "$WORK/$answer.json" <<'PY' && pass "$answer: asked again after the pause, no frame sent" || fail "$answer: requests and frames"
import json, sys
run = json.load(open(sys.argv[1]))
print(f"requests {run['requests']}, frames {len(run['frames'])}, faults {run['faults'][:2]}")
sys.exit(0 if run["requests"] >= 2 and not run["frames"] and not run["faults"] else 1)
PY
done
finish
