#!/usr/bin/env bash
# lightbeat's beats step QLC+'s chasers: QLC+ 4.12.6 (Debian's qlcplus), a
# peer no one here wrote, runs without a display in this script's network
# namespace on the workspace of tests/support/qlcplus.sh: one chaser stepped
# by OS2L's beat, one by OSC's /lightbeat/beat, universe 1 out as Art-Net to
# a receiver on loopback (tests/support/artnet_dmx.py). lightbeat plays a
# metronome with --os2l and --osc to it; each chaser must take one step per
# beat lightbeat finds in the metronome, in order (the first beat starts the
# chaser at its first step, a change from dark), and QLC+'s debug log must
# show every OS2L beat parsed, in order, over one connection. Exits 77 when
# qlcplus is not installed. Needs: LIGHTBEAT.
source "$(dirname "$0")/../support/lib.sh"
source "$(dirname "$0")/../support/pulse.sh"
source "$(dirname "$0")/../support/qlcplus.sh"
export LIMIT=30
ip link set lo up
if ! command -v qlcplus >/dev/null; then
  echo "SKIP: QLC+ as the OS2L and OSC peer: qlcplus not installed (Debian: qlcplus)"
  exit 77
fi

start_peer artnet python3 "$SUPPORT_DIR/artnet_dmx.py" --channels 8 --seconds 60 --stop "$WORK/stop"

qlc_workspace "$WORK/qlc"
start_qlcplus "$WORK/qlc" 60 || { fail "QLC+ did not load the workspace"; finish; }
started "$QLC_PID"
check_that "QLC+ took both input profiles" \
  grep -q 'profile: "lightbeat OSC beat"' "$WORK/qlc/qlc.log"

click_track "$WORK/clicks.wav" 8 0.5
"$LIGHTBEAT" --file "$WORK/clicks.wav" --beats >"$WORK/beats.txt"
BEATS=$(wc -l <"$WORK/beats.txt")
check_that "the metronome has beats ($BEATS)" test "$BEATS" -ge 5
expect_exit "lightbeat to QLC+" 0 "$WORK/beat.out" \
  "$LIGHTBEAT" --quiet --file "$WORK/clicks.wav" --realtime --os2l 127.0.0.1 --osc "127.0.0.1:$QLC_OSC_PORT"
# QLC+ steps on its next 20 ms tick and sends the frame on the one after.
sleep 0.5
touch "$WORK/stop"
code=0
peer_done artnet || code=$?
check_equal "the Art-Net receiver found every ArtDmx packet well formed" "$code" 0
sed 's/^/  receiver: /' "$WORK/artnet.err"

# steps FIRST: the states of the four dimmers from channel FIRST, each time
# they changed: 0 all dark, N the Nth dimmer alone at full, ? anything else.
steps() {
  awk -v first="$1" '{
    split($2, level, ","); state = 0; lit = 0
    for (i = 0; i < 4; i++) {
      v = level[first + i]
      if (v == 255) { lit++; state = i + 1 } else if (v != 0) { lit = 99 }
    }
    if (lit > 1) state = "?"
    if (NR == 1 || state != last) printf "%s%s", (NR == 1 ? "" : " "), state
    last = state
  }' "$WORK/artnet.out"
}
want="0 $(seq 0 $((BEATS - 1)) | awk '{ printf "%s%d", (NR == 1 ? "" : " "), $1 % 4 + 1 }')"
check_equal "the OS2L chaser: one step per beat, in order" "$(steps 1)" "$want"
check_equal "the OSC chaser: one step per beat, in order" "$(steps 5)" "$want"

parsed=$(sed -n 's/.*Got beat message.*pos\\":\([0-9]*\),.*/\1/p' "$WORK/qlc/qlc.log" | paste -sd' ')
check_equal "QLC+ parsed every OS2L beat, in order" "$parsed" "$(seq -s' ' 1 "$BEATS")"
check_equal "QLC+ took one OS2L connection" "$(grep -c "Host connected" "$WORK/qlc/qlc.log" || true)" 1
finish
