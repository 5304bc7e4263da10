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
source "$(dirname "$0")/../support/olad.sh"               # lamp_levels
source "$(dirname "$0")/../support/usbpro.sh"
source "$(dirname "$0")/../../scripts/deps.sh"            # wine_loader_for
HERE=$(cd "$(dirname "$0")" && pwd)
export LIMIT=30 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
loader=$(wine_loader_for "$PIPESERVER_EXE")
COM_LINK="$WINEPREFIX/dosdevices/com37"
trap 'rm -f "$COM_LINK"; cleanup' EXIT
start_xvfb

# start_exe ARGS...: pipeserver.exe and its main window; sets PROGRAM_PID, window.
start_exe() {
  "$loader" "$PIPESERVER_EXE" -p 0 "$@" >>"$WORK/program.out" 2>&1 &
  PROGRAM_PID=$!
  started "$PROGRAM_PID"
  window=$(wait_window 'Pipe Server Vantrelle \(p:0\)' 60) || { fail "no main window"; finish; }
}
stop_exe() {
  "$XPROBE" close "$window"
  check_that "$1: the program ends after its window closes" wait_until 10 eval "! any_alive $PROGRAM_PID"
}
lines() { bounded "$loader" "$LIGHTSEND_EXE" "$@" >/dev/null 2>&1; }

# --- a widget that answers -------------------------------------------------
pty_pair good
GOOD_SOCAT=$SOCAT_PID
ln -sfn "$WORK/good.port" "$COM_LINK"
widget good good 40 good
start_exe --usbpro COM37 --start 5 --channels-per-lamp 2 --on 200 --off 10
sleep 1
lines '>5L1234' '>3L00ff' '>5L8001'
sleep 2.6  # Keep-alives only.
# The pty closes mid-run; a new pair at the same place is opened again.
kill "$GOOD_SOCAT"
wait "$GOOD_SOCAT" 2>/dev/null || true
wait "$WIDGET_PID" 2>/dev/null || true
sleep 1.5  # A keep-alive meets the closed port.
lines '>5L0003'
pty_pair good
widget good again 10 good
sleep 5  # The pause, the request, frames.
check_equal "the window stayed through it" "$(find_window 'Pipe Server Vantrelle \(p:0\)')" "$window"
stop_exe "with a widget"
wait "$WIDGET_PID" 2>/dev/null || true
want_last=$(lamp_levels 5 2 200 10),0,0,0,0
want_reopened=$(python3 -c 'print(",".join(["0"] * 4 + ["200"] * 4 + ["10"] * 28 + ["0"] * 4))')
python3 "$HERE/usbpro_frames.py" "$WORK/good.json" "$WORK/again.json" "$want_last" "$want_reopened" &&
  pass "DMX USB Pro frames from the Windows program: well formed, levels, rate, keep-alive, reopened" ||
  fail "DMX USB Pro frames from the Windows program"

# --- a port whose other end answers nothing, or garbage ---------------------
for answer in none garbage; do
  pty_pair "$answer"
  ln -sfn "$WORK/$answer.port" "$COM_LINK"
  widget "$answer" "$answer" 12 "$answer"
  start_exe --usbpro COM37
  lines '>5L0001'
  sleep 5  # Past the pause: asked again.
  check_that "$answer: the program runs on without its port" kill -0 "$PROGRAM_PID"
  stop_exe "$answer"
  wait "$WIDGET_PID" 2>/dev/null || true
  python3 - "$WORK/$answer.json" <<'PY' && pass "$answer: asked again after the pause, no frame sent" || fail "$answer: requests and frames"
import json, sys
run = json.load(open(sys.argv[1]))
print(f"requests {run['requests']}, frames {len(run['frames'])}, faults {run['faults'][:2]}")
sys.exit(0 if run["requests"] >= 2 and not run["frames"] and not run["faults"] else 1)
PY
done
finish
