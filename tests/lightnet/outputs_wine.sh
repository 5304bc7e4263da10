#!/usr/bin/env bash
# pipeserver.exe under Wine driving olad over Art-Net and sACN multicast:
# the levels read back from olad, every packet decoded by tshark without
# error, the stream-terminated packets at the end. Wine runs with a prefix
# and a wineserver of this script's own, inside its network namespace, so
# that the program's sockets are made here (wineserver makes them).
source "$(dirname "$0")/../support/lib.sh"
source "$(dirname "$0")/../support/olad.sh"
export LIMIT=60 WINEPREFIX="$WORK/prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
loader=$(wine_loader_for "$PIPESERVER_EXE")
start_xvfb
start_olad
bounded wineboot -i >/dev/null 2>&1 || true
wineserver -p >/dev/null 2>&1 || true
stop_wineserver() { wineserver -k >/dev/null 2>&1 || true; }
trap 'stop_wineserver; cleanup' EXIT

start_tshark -i out0

"$loader" "$PIPESERVER_EXE" -p 0 --artnet 10.77.0.2 --universe 1 \
  --sacn multicast --universe 2 --interface 10.77.0.1 --start 101 --channels-per-lamp 2 --on 200 --off 10 \
  >"$WORK/program.out" 2>&1 &
PROGRAM_PID=$!
started "$PROGRAM_PID"
window=$(wait_window 'Pipe Server Vantrelle \(p:0\)' 60) || { fail "no main window"; finish; }
bounded "$loader" "$LIGHTSEND_EXE" '>5L1234' '>5L8001' >/dev/null 2>&1
want=$(lamp_levels 1 1 255 0);    expect_universe 1 "$want" 16 "Art-Net from the Windows program"
want=$(lamp_levels 101 2 200 10); expect_universe 2 "$want" 132 "sACN multicast from the Windows program"
sleep 1.5
"$XPROBE" close "$window"
check_that "the program ends after its window closes" wait_until 10 eval "! any_alive $PROGRAM_PID"
sleep 0.5
stop_tshark
expect_clean_stream
check_that "Art-Net packets from the Windows program" test "$(decode -Y 'artnet && ip.src == 10.77.0.1' | wc -l)" -ge 3
finish
