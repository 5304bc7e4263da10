#!/usr/bin/env bash
# pipeserver.exe under Wine driving olad over Art-Net and sACN multicast:
# the levels read back from olad, every packet decoded by tshark without
# error, the stream-terminated packets at the end. Wine runs with a prefix
# and a wineserver of this script's own, inside its network namespace, so
# that the program's sockets are made here (wineserver makes them).
source "$(dirname "$0")/../support/lib.sh"
source "$(dirname "$0")/../support/olad.sh"
export LIMIT=60 WINEPREFIX="$WORK/prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
start_xvfb
start_olad
bounded wineboot -i >/dev/null 2>&1 || true
wineserver -p >/dev/null 2>&1 || true
stop_wineserver() { wineserver -k >/dev/null 2>&1 || true; }
trap 'stop_wineserver; cleanup' EXIT

start_tshark -i out0

start_exe --artnet 10.77.0.2 --universe 1 \
  --sacn multicast --universe 2 --interface 10.77.0.1 --start 101 --channels-per-lamp 2 --on 200 --off 10
lightsend_exe '>5L1234' '>5L8001'
want=$(lamp_levels 1 1 255 0);    expect_universe 1 "$want" 16 "Art-Net from the Windows program"
want=$(lamp_levels 101 2 200 10); expect_universe 2 "$want" 132 "sACN multicast from the Windows program"
sleep 1.5
stop_exe "the Windows program"
sleep 0.5
stop_tshark
expect_clean_stream
check_that "Art-Net packets from the Windows program" test "$(decode -Y 'artnet && ip.src == 10.77.0.1' | wc -l)" -ge 3
finish
