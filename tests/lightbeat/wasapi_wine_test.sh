#!/usr/bin/env bash
# lightbeat's WASAPI capture under Wine, fed by a private pulseaudio with a
# null sink: Wine's winepulse driver shows the sink's monitor as an input,
# which the probe captures event-driven while paplay plays a click track.
# Loopback of the default output is tried too: Wine 8 refuses it (the
# capture service is not offered on an output), which is reported, not
# failed. Needs: PROBE (capture_probe.exe); WINEPREFIX from CTest.
set -uo pipefail
source "$(dirname "$0")/../support/pulse.sh"
WORK=$(mktemp -d)
trap 'stop_pulse; rm -rf "$WORK"' EXIT
start_pulse "$WORK/pulse" || exit 1
click_track "$WORK/clicks.wav" 4 0.25
failures=0

# The sink's monitor as Wine names it.
monitor=$(wine "$PROBE" --list 2>/dev/null | tr -d '\r' | grep -m1 '^Monitor of ' || true)
if [ -z "$monitor" ]; then
  echo "FAIL: Wine lists no monitor input"; wine "$PROBE" --list | tr -d '\r'; exit 1
fi

(sleep 1.5; paplay "$WORK/clicks.wav") &
player=$!
out=$(wine "$PROBE" 5 "$monitor" 2>&1 | tr -d '\r')
wait "$player"
echo "$out"
loudest=$(sed -n 's/.*loudest \(-*[0-9.]*\) dBFS.*/\1/p' <<<"$out")
pieces=$(sed -n 's/^pieces \([0-9]*\).*/\1/p' <<<"$out")
if [ -n "$loudest" ] && awk -v l="$loudest" 'BEGIN { exit !(l > -30) }'; then
  echo "ok: the clicks arrived through WASAPI ($loudest dBFS at the loudest)"
else
  echo "FAIL: the clicks did not arrive: $out"; failures=$((failures + 1))
fi
# Event-driven pieces of about 10 ms: 5 s is about 500 of them.
if [ -n "$pieces" ] && [ "$pieces" -ge 300 ]; then
  echo "ok: $pieces pieces in 5 s"
else
  echo "FAIL: $pieces pieces in 5 s"; failures=$((failures + 1))
fi

# Silence reads as silence.
out=$(wine "$PROBE" 1 "$monitor" 2>&1 | tr -d '\r')
grep -q 'loudest -120.0 dBFS' <<<"$out" && echo "ok: silence is silent" ||
  { echo "FAIL: silence: $out"; failures=$((failures + 1)); }

out=$(wine "$PROBE" 1 2>&1 | tr -d '\r')
echo "loopback of the default output: $out"
[ "$failures" -eq 0 ] && echo "all checks passed" && exit 0
exit 1
