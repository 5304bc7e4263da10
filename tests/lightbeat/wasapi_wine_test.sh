#!/usr/bin/env bash
# lightbeat's WASAPI capture under Wine, fed by a private pulseaudio with a
# null sink while paplay plays a click track into it.
#   wasapi_wine_test.sh monitor    the sink's monitor, which Wine's winepulse
#                                  shows as an input, captured event-driven
#   wasapi_wine_test.sh loopback   loopback of the default output; where Wine
#                                  refuses it (Wine 8 offers no capture
#                                  service on an output) the test is skipped
#                                  with that reason, exit 77
# Needs: PROBE (capture_probe.exe); WINEPREFIX from CTest.
SHARED_NET=1 source "$(dirname "$0")/../support/lib.sh"  # Wine's pipes: no namespace.
source "$(dirname "$0")/../support/pulse.sh"
wine=$(wine_loader_for "$PROBE")  # The probe itself, not a start.exe before it.
mode=${1:-monitor}
start_pulse "$WORK/pulse" || exit 1
started "$PULSE_PID"
click_track "$WORK/clicks.wav" 4 0.25

# capture SECONDS [SOURCE]: the probe's report while the clicks play.
capture() {
  (sleep 1.5; paplay "$WORK/clicks.wav") &
  local player=$!
  out=$("$wine" "$PROBE" "$@" 2>&1 | tr -d '\r') || true
  wait "$player" || true
  echo "$out"
}
# The clicks came through, in event-driven pieces of about 10 ms.
check_clicks() {
  local loudest pieces
  loudest=$(sed -n 's/.*loudest \(-*[0-9.]*\) dBFS.*/\1/p' <<<"$out")
  pieces=$(sed -n 's/^pieces \([0-9]*\).*/\1/p' <<<"$out")
  [ -n "$loudest" ] && awk -v l="$loudest" 'BEGIN { exit !(l > -30) }' &&
    pass "$1: the clicks arrived ($loudest dBFS at the loudest)" || fail "$1: the clicks did not arrive: $out"
  [ -n "$pieces" ] && [ "$pieces" -ge 300 ] && pass "$1: $pieces pieces in 5 s" || fail "$1: ${pieces:-no} pieces in 5 s"
}

if [ "$mode" = loopback ]; then
  capture 5
  # AUDCLNT_E_WRONG_ENDPOINT_TYPE from GetService: the one refusal that is
  # Wine's, not ours.
  if grep -q '^open failed: opening the capture service failed (0x88890003)' <<<"$out"; then
    echo "skipped: this Wine offers no loopback capture of an output (GetService: AUDCLNT_E_WRONG_ENDPOINT_TYPE)"
    exit 77
  fi
  check_clicks "loopback of the default output"
else
  monitor=$("$wine" "$PROBE" --list 2>/dev/null | tr -d '\r' | grep -m1 '^Monitor of ' || true)
  [ -n "$monitor" ] || { fail "Wine lists no monitor input"; "$wine" "$PROBE" --list | tr -d '\r'; finish; }
  capture 5 "$monitor"
  check_clicks "the sink's monitor"
  # Silence reads as silence.
  out=$("$wine" "$PROBE" 1 "$monitor" 2>&1 | tr -d '\r') || true
  grep -q 'loudest -120.0 dBFS' <<<"$out" && pass "silence is silent" || fail "silence: $out"
fi
finish
