#!/usr/bin/env bash
# lightbeat's senders to other lighting programs, against receivers no one
# here wrote or that were written from the published formats: oscdump
# (liblo) for OSC, wled_sync_receiver.py for WLED's audio sync (multicast
# on this namespace's loopback), os2l_receiver.py for OS2L over TCP (which
# goes away and comes back: lightbeat must reconnect). Then the faults: an unknown host, a group
# with no route, nobody listening. No pipe server runs: the senders work
# without one. Everything in this script's network namespace.
# Needs: LIGHTBEAT.
source "$(dirname "$0")/../support/lib.sh"
source "$(dirname "$0")/../support/pulse.sh"
HERE=$(cd "$(dirname "$0")" && pwd)
export LIMIT=20
ip link set lo up

click_track "$WORK/clicks.wav" 6 0.5
"$LIGHTBEAT" --file "$WORK/clicks.wav" --onsets >"$WORK/onsets.txt"
# Twelve clicks; the first has no sound before it to be an onset against.
ONSETS=$(wc -l <"$WORK/onsets.txt")
check_equal "the click track's onsets" "$ONSETS" 11

# --- OSC to oscdump ---------------------------------------------------------
if command -v oscdump >/dev/null; then
  oscdump -L 9123 >"$WORK/osc.txt" 2>&1 &
  started $!
  sleep 0.3
  expect_exit "OSC without a pipe server" 0 "$WORK/osc.out" \
    "$LIGHTBEAT" --quiet --file "$WORK/clicks.wav" --realtime --osc 127.0.0.1:9123
  sleep 0.2
  # Every path with its type, and nothing else.
  paths=$(awk '{ print $2, $3 }' "$WORK/osc.txt" | sed 's|/band/[0-9]*|/band/N|' | sort -u | paste -sd,)
  check_equal "OSC paths and types" "$paths" \
    "/lightbeat/band/N f,/lightbeat/beat i,/lightbeat/lamps i,/lightbeat/level f,/lightbeat/onset i,/lightbeat/tempo f"
  check_equal "OSC: one onset message a click, counted" \
    "$(awk '$2 == "/lightbeat/onset" { print $4 }' "$WORK/osc.txt" | paste -sd' ')" "$(seq -s' ' 1 "$ONSETS")"
  beats=$(awk '$2 == "/lightbeat/beat" { print $4 }' "$WORK/osc.txt" | paste -sd' ')
  check_that "OSC: beats counted from 1 ($beats)" test "${beats%% *}" = 1 -a "$(echo "$beats" | wc -w)" -ge 8
  check_that "OSC: the tempo 120 BPM within 0.1 after the first beats" \
    awk '$2 == "/lightbeat/tempo" { n++; if (n >= 3 && ($4 < 119.9 || $4 > 120.1)) bad = 1 } END { exit !(n >= 8 && !bad) }' "$WORK/osc.txt"
  check_that "OSC: 16 bands a state, each 0 to 1" \
    awk '$2 ~ /^\/lightbeat\/band\// { split($2, p, "/"); n[p[4]]++; if ($4 < 0 || $4 > 1) bad = 1 }
         END { for (b = 1; b <= 16; b++) if (!(b in n)) bad = 1; exit bad }' "$WORK/osc.txt"
  states=$(grep -c ' /lightbeat/lamps ' "$WORK/osc.txt" || true)
  check_that "OSC: the state about 50 times a second over 6 s ($states)" test "$states" -ge 270 -a "$states" -le 310
  check_that "OSC: the lamps lit at some click, dark at the end" \
    awk '$2 == "/lightbeat/lamps" { if ($4 > 0) lit = 1; last = $4 } END { exit !(lit && last == 0) }' "$WORK/osc.txt"
  check_that "OSC: the level of a click near -6 dBFS" \
    awk '$2 == "/lightbeat/level" && $4 > -12 && $4 < 0 { found = 1 } END { exit !found }' "$WORK/osc.txt"
else
  echo "SKIP: OSC to oscdump: oscdump not installed (Debian: liblo-tools)"
fi

# --- WLED audio sync to its multicast group ----------------------------------
# The group goes out on loopback here, where the receiver has joined it.
ip route add 224.0.0.0/4 dev lo
start_peer wled_receiver python3 "$HERE/wled_sync_receiver.py" --group 239.0.0.1 --port 11988 --seconds 9 \
  --onsets "$WORK/onsets.txt"
expect_exit "WLED sync without a pipe server" 0 "$WORK/wled.out" \
  "$LIGHTBEAT" --quiet --file "$WORK/clicks.wav" --realtime --wled-sync
expect_peer_checks wled_receiver

# --- OS2L over TCP, with the receiver going away and coming back -------------
# 16 s of clicks at 120 BPM; the receiver reads 6 s, is gone for 2 s, then
# reads until lightbeat ends (at most 12 s more).
click_track "$WORK/long.wav" 16 0.5
start_peer os2l_receiver python3 "$HERE/os2l_receiver.py" --port 9996 --sessions 6,12 --gap 2 --bpm 120
expect_exit "OS2L without a pipe server" 0 "$WORK/os2l.out" \
  "$LIGHTBEAT" --quiet --file "$WORK/long.wav" --realtime --os2l 127.0.0.1
expect_peer_checks os2l_receiver
said() { grep -c "$1" "$WORK/os2l.out" || true; }
check_equal "OS2L: the receiver's going said once ($(paste -sd'|' "$WORK/os2l.out"))" \
  "$(said "OS2L: 127.0.0.1:9996 closed the connection; connecting again every second")" 1
check_equal "OS2L: the refusals while it was gone said once" \
  "$(said "OS2L: cannot connect to 127.0.0.1:9996: Connection refused; connecting again")" 1
check_equal "OS2L: the reconnection said once" "$(said "OS2L: connected to 127.0.0.1:9996 again")" 1

# --- faults: said once, retried, nothing else lost ---------------------------
ip route del 224.0.0.0/4 dev lo
fault_case() {  # WHAT MESSAGE ARGS...
  local what=$1 message=$2
  shift 2
  expect_exit "$what (nothing reached)" 1 "$WORK/fault.out" "$LIGHTBEAT" --quiet --file "$WORK/clicks.wav" --realtime "$@"
  check_equal "$what: said once ($(paste -sd'|' "$WORK/fault.out"))" "$(grep -c "$message" "$WORK/fault.out")" 1
}
fault_case "unknown host" "OSC: cannot find the host no-such-host.invalid; trying again" \
  --osc no-such-host.invalid:9000
fault_case "OS2L: nobody listening" "OS2L: cannot connect to 127.0.0.1:9996: Connection refused; connecting again" \
  --os2l 127.0.0.1
fault_case "OS2L: unknown host" "OS2L: cannot find the host no-such-host.invalid; connecting again" \
  --os2l no-such-host.invalid
fault_case "a group with no route" "WLED sync: cannot send 239.0.0.1:11988: .*unreachable" --wled-sync
# Nobody listening on loopback: the refusals are no fault; the datagrams
# went out, so the run reached something.
expect_exit "nobody on the port" 0 "$WORK/refused.out" \
  "$LIGHTBEAT" --quiet --file "$WORK/clicks.wav" --realtime --osc 127.0.0.1:9
check_equal "nobody on the port: nothing said but the pipe server's absence" \
  "$(grep -vc "no pipe server" "$WORK/refused.out" || true)" 0

finish
