# The DMX USB Pro end-to-end tests' pty pairs and stand-in widgets, after
# lib.sh (their processes end with the script).
#   pty_pair NAME                     socat's pair $WORK/NAME.port, $WORK/NAME.widget
#   widget PAIR RUN SECONDS ANSWER    usbpro_widget.py on PAIR, the peer RUN
USBPRO_SUPPORT=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)

# pty_pair NAME: two linked ptys $WORK/NAME.port (the program's) and
# $WORK/NAME.widget, as long as the script; sets SOCAT_PID.
pty_pair() {
  rm -f "$WORK/$1.port" "$WORK/$1.widget"
  timeout 60 socat pty,raw,echo=0,link="$WORK/$1.port" pty,raw,echo=0,link="$WORK/$1.widget" 2>>"$WORK/socat.log" &
  SOCAT_PID=$!
  started "$SOCAT_PID"
  wait_until 5 test -e "$WORK/$1.widget" || fail "socat made no pty pair"
}

# widget PAIR RUN SECONDS ANSWER: the stand-in on PAIR's pty, the peer RUN
# (start_peer): its JSON in $WORK/RUN.out.
widget() {
  start_peer "$2" python3 "$USBPRO_SUPPORT/../lightnet/usbpro_widget.py" "$WORK/$1.widget" --seconds "$3" \
    --answer "$4" --channels 40
}

# expect_frames WHAT: once the run "again" has ended, the runs good and
# again checked by usbpro_frames.py. expect_refused RUN: once it has ended,
# the run of a port that is no widget.
expect_frames() {
  peer_done again || true
  check_that "$1" python3 "$USBPRO_SUPPORT/../lightnet/usbpro_frames.py" "$WORK/good.out" "$WORK/again.out"
}
expect_refused() {
  peer_done "$1" || true
  check_that "$1: asked again after the pause, no frame sent" \
    python3 "$USBPRO_SUPPORT/../lightnet/usbpro_frames.py" --refused "$WORK/$1.out"
}
