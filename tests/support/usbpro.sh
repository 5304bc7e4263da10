# The DMX USB Pro end-to-end tests' pty pairs and stand-in widgets, after
# lib.sh (their processes end with the script).
#   pty_pair NAME                     socat's pair $WORK/NAME.port, $WORK/NAME.widget
#   widget PAIR RUN SECONDS ANSWER    usbpro_widget.py on PAIR, its JSON in $WORK/RUN.json
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

# widget PAIR RUN SECONDS ANSWER: the stand-in on PAIR's pty, its JSON
# into $WORK/RUN.json; sets WIDGET_PID.
widget() {
  rm -f "$WORK/$2.ready"
  python3 "$USBPRO_SUPPORT/../lightnet/usbpro_widget.py" "$WORK/$1.widget" --seconds "$3" --answer "$4" --channels 40 \
    --ready "$WORK/$2.ready" >"$WORK/$2.json" &
  WIDGET_PID=$!
  started "$WIDGET_PID"
  wait_until 5 test -e "$WORK/$2.ready" || fail "the widget did not start"
}

