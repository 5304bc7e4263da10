#!/usr/bin/env bash
# lightbeat.exe's senders to other lighting programs under Wine (Winsock
# through lightnet/'s Windows UDP layer): OSC to oscdump and WLED's audio
# sync to wled_sync_receiver.py, OS2L over Winsock's TCP to os2l_receiver.py
# (which goes away and comes back), all on this host's loopback (Wine tests
# share the host's network, so no multicast group here: publish_e2e.sh has
# that in a namespace), and an unknown host said once.
# Needs: LIGHTBEAT (lightbeat.exe), WINEPREFIX.
SHARED_NET=1 source "$(dirname "$0")/../support/lib.sh"  # Wine's pipes: no namespace.
source "$(dirname "$0")/../support/pulse.sh"
HERE=$(cd "$(dirname "$0")" && pwd)
export LIMIT=40
wine=$(wine_loader_for "$LIGHTBEAT")
beat() { "$wine" "$LIGHTBEAT" "$@"; }
free_port() {  # [KIND]: dgram (default) or stream
  python3 -c 'import socket, sys; s = socket.socket(socket.AF_INET, socket.SOCK_STREAM if sys.argv[1] == "stream" else socket.SOCK_DGRAM); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])' "${1:-dgram}"
}

click_track "$WORK/clicks.wav" 6 0.5
CLICKS=$(windows_path "$WORK/clicks.wav")
{ beat --file "$CLICKS" --onsets 2>"$WORK/onsets.err" || true; } | tr -d '\r' >"$WORK/onsets.txt"
ONSETS=$(wc -l <"$WORK/onsets.txt")
check_equal "the click track's onsets" "$ONSETS" 11

if command -v oscdump >/dev/null; then
  OSC_PORT=$(free_port)
  oscdump -L "$OSC_PORT" >"$WORK/osc.txt" 2>&1 &
  started $!
else
  echo "SKIP: OSC to oscdump: oscdump not installed (Debian: liblo-tools)"
  OSC_PORT=9  # Nobody: the sends are still made.
fi
WLED_PORT=$(free_port)
start_peer wled_receiver python3 "$HERE/wled_sync_receiver.py" --group 127.0.0.1 --port "$WLED_PORT" --seconds 14 \
  --onsets "$WORK/onsets.txt"
sleep 0.3
expect_exit "both senders, no pipe server" 0 "$WORK/beat.out" \
  "$wine" "$LIGHTBEAT" --quiet --file "$CLICKS" --realtime --osc "127.0.0.1:$OSC_PORT" --wled-sync "127.0.0.1:$WLED_PORT"
if [ -s "$WORK/osc.txt" ] || [ "$OSC_PORT" != 9 ]; then
  check_equal "OSC: one onset message a click, counted" \
    "$(awk '$2 == "/lightbeat/onset" { print $4 }' "$WORK/osc.txt" | paste -sd' ')" "$(seq -s' ' 1 "$ONSETS")"
  check_that "OSC: beats and the tempo at 120 BPM" \
    awk '$2 == "/lightbeat/tempo" { n++; if (n >= 3 && ($4 < 119.9 || $4 > 120.1)) bad = 1 } END { exit !(n >= 8 && !bad) }' "$WORK/osc.txt"
  states=$(grep -c ' /lightbeat/lamps ' "$WORK/osc.txt" || true)
  check_that "OSC: the state about 50 times a second over 6 s ($states)" test "$states" -ge 250 -a "$states" -le 310
fi
expect_peer_checks wled_receiver

# OS2L: 12 s of clicks; the receiver reads 5 s, is gone 2 s, reads to the end.
click_track "$WORK/long.wav" 12 0.5
OS2L_PORT=$(free_port stream)
start_peer os2l_receiver python3 "$HERE/os2l_receiver.py" --port "$OS2L_PORT" --sessions 5,10 --gap 2 --bpm 120
expect_exit "OS2L, no pipe server" 0 "$WORK/os2l.out" \
  "$wine" "$LIGHTBEAT" --quiet --file "$(windows_path "$WORK/long.wav")" --realtime --os2l "127.0.0.1:$OS2L_PORT"
expect_peer_checks os2l_receiver
check_equal "OS2L: the receiver's going and the reconnection, each said once ($(tr -d '\r' <"$WORK/os2l.out" | paste -sd'|'))" \
  "$(grep -c "OS2L: 127.0.0.1:$OS2L_PORT closed the connection" "$WORK/os2l.out") $(grep -c "OS2L: connected to 127.0.0.1:$OS2L_PORT again" "$WORK/os2l.out")" "1 1"

expect_exit "unknown host (nothing reached)" 1 "$WORK/fault.out" \
  "$wine" "$LIGHTBEAT" --quiet --file "$CLICKS" --realtime --osc no-such-host.invalid:9000
check_equal "unknown host: said once ($(tr -d '\r' <"$WORK/fault.out" | paste -sd'|'))" \
  "$(grep -c "OSC: cannot find the host no-such-host.invalid; trying again" "$WORK/fault.out")" 1
finish
