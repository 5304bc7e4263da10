#!/usr/bin/env bash
# CPU of lightbeat with its senders to other lighting programs (--osc,
# --wled-sync) beside the same run without them, in interleaved rounds: a
# 30 s sound (pink noise beating at 2 Hz) read at playing speed, no pipe
# server (both runs say so once and retry the same), the datagrams to
# loopback where a receiver takes them. CPU = user + system seconds of the
# lightbeat process over the sound's seconds, in % of one core.
#   bash bench/lightbeat_publish_cpu.sh [ROUNDS]   (default 3)
# Needs root for 'unshare --net' (a private loopback).
set -euo pipefail
cd "$(dirname "$0")/.."
if [ -z "${LIGHTBEAT_PRIVATE_NET:-}" ]; then
  [ -x build/linux/tools/lightbeat ] || {
    cmake --preset linux >/dev/null && cmake --build --preset linux -j2 --target lightbeat >/dev/null; }
  export LIGHTBEAT_PRIVATE_NET=1
  exec unshare --net -- bash "$0" "$@"
fi
ip link set lo up
WORK=$(mktemp -d)
trap 'kill $(jobs -p) 2>/dev/null; rm -rf "$WORK"' EXIT
SECONDS_OF_SOUND=30
sox -n -r 48000 -c 2 -b 16 "$WORK/sound.wav" synth $SECONDS_OF_SOUND pinknoise tremolo 2 100 gain -6
# Receivers that read and drop, so that the sends are a receiver's sends.
python3 -c '
import socket, select
socks = []
for port in (9771, 9772):
    s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM); s.bind(("127.0.0.1", port)); socks.append(s)
while True:
    for s in select.select(socks, [], [])[0]: s.recv(4096)
' &
cpu() {  # ARGS...: % of a core of one run
  python3 - "$@" <<'PY'
import resource, subprocess, sys
subprocess.run(sys.argv[1:], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
u = resource.getrusage(resource.RUSAGE_CHILDREN)
print(f"{100 * (u.ru_utime + u.ru_stime) / float(__import__('os').environ['SECONDS_OF_SOUND']):.3f}")
PY
}
export SECONDS_OF_SOUND
base=(build/linux/tools/lightbeat --quiet --file "$WORK/sound.wav" --realtime)
without=() with=()
for _ in $(seq "${1:-3}"); do
  without+=("$(cpu "${base[@]}")")
  with+=("$(cpu "${base[@]}" --osc 127.0.0.1:9771 --wled-sync 127.0.0.1:9772)")
done
echo "load before and after: $(cut -d' ' -f1-3 /proc/loadavg)"
echo "| run | % of a core, each round | median |"
echo "|---|---|---|"
median() { printf '%s\n' "$@" | sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
echo "| lightbeat alone | ${without[*]} | $(median "${without[@]}") |"
echo "| with --osc and --wled-sync | ${with[*]} | $(median "${with[@]}") |"
awk -v a="$(median "${without[@]}")" -v b="$(median "${with[@]}")" \
  'BEGIN { d = b - a; printf "| difference | | %+.3f (goal: within 0.05: %s) |\n", d, (d <= 0.05 && d >= -0.05) ? "met" : "NOT met" }'
