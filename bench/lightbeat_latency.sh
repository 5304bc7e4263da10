#!/usr/bin/env bash
# lightbeat's latency through a real sound server: a private pulseaudio with
# a null sink, paplay of a click track into it, lightbeat capturing the
# sink's monitor, and a listener on the real transport (the abstract socket,
# read 18 bytes at a time as the program reads). Beside it, in the same run,
# the reference: a bare read loop (parec at 5 ms) on the same monitor that
# notes when each click arrives. One command, from the top of the tree:
#   bash bench/lightbeat_latency.sh [CLICKS]      (default 40)
# and the beat error at the lamp (lightbeat_beat_error.py), --lead auto and 0:
#   bash bench/lightbeat_latency.sh --beats [SECONDS]   (default 45)
# and the beat at --osc's, --wled-sync's and --os2l's sockets (lightbeat_publish_error.py):
#   bash bench/lightbeat_latency.sh --publish [SECONDS] (default 45)
# and the beat at QLC+'s sockets and in its DMX output, with its own delay
# (lightbeat_qlcplus_error.py; QLC+ 4.12.6 on tests/support/qlcplus.sh's workspace):
#   bash bench/lightbeat_latency.sh --qlcplus [SECONDS] (default 45)
# Needs root for 'unshare --net' (the socket name is global per namespace).
set -euo pipefail
cd "$(dirname "$0")/.."
if [ -z "${LIGHTBEAT_PRIVATE_NET:-}" ]; then
  [ -x build/linux/tools/lightbeat ] || {
    cmake --preset linux >/dev/null && cmake --build --preset linux -j2 --target lightbeat >/dev/null; }
  export LIGHTBEAT_PRIVATE_NET=1
  exec unshare --net -- bash "$0" "$@"
fi
ip link set lo up  # The namespace's loopback, for --publish's receivers.
source tests/support/pulse.sh
WORK=$(mktemp -d)
QLC_PID=""
trap '[ -z "$QLC_PID" ] || kill "$QLC_PID" 2>/dev/null; stop_pulse; rm -rf "$WORK"' EXIT
start_pulse "$WORK/pulse"
if [ "${1:-}" = --qlcplus ]; then
  source tests/support/qlcplus.sh
  qlc_workspace "$WORK/qlc"
  # Bounded: the metronome and its settling, and a margin.
  start_qlcplus "$WORK/qlc" $(( ${2:-45} + 60 )) quiet || { echo "error: QLC+ did not load its workspace" >&2; exit 1; }
  python3 bench/lightbeat_qlcplus_error.py build/linux/tools/lightbeat "$WORK" "${2:-45}"
elif [ "${1:-}" = --publish ]; then
  python3 bench/lightbeat_publish_error.py build/linux/tools/lightbeat "$WORK" "${2:-45}"
elif [ "${1:-}" = --beats ]; then
  python3 bench/lightbeat_beat_error.py build/linux/tools/lightbeat "$WORK" "${2:-45}"
else
  python3 bench/lightbeat_latency.py build/linux/tools/lightbeat "$WORK" "${1:-40}"
fi
