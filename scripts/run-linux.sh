#!/usr/bin/env bash
# Builds the Linux program and runs it with lightsend playing the chaser
# pattern into its socket, so that the lamps move.
#
#   scripts/run-linux.sh [--screenshot [FILE]] [--seconds N] [PROGRAM ARGS...]
#
# PROGRAM ARGS are the program's own, for example -p 378; none is the
# emulation mode. With a display, the window stays until you close it.
# Without one (or with --screenshot), it runs on a private Xvfb for N
# seconds (default 4), saves a picture of the window (default
# build/linux/screenshot-linux.png), says where, and stops.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/deps.sh

screenshot="" seconds=4
while [ $# -gt 0 ]; do
  case $1 in
    --screenshot)
      screenshot=build/linux/screenshot-linux.png
      if [ $# -gt 1 ] && [ "${2#-}" = "$2" ]; then screenshot=$2; shift; fi
      shift ;;
    --seconds) seconds=$2; shift 2 ;;
    *) break ;;
  esac
done
if [ -z "$screenshot" ] && ! { [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; }; then
  screenshot=build/linux/screenshot-linux.png
fi

# Headless runs get their own network namespace, as the tests do: the
# socket name "tormelin" is shared by everything in a namespace.
if [ -n "$screenshot" ] && [ -z "${PIPESERVER_PRIVATE_NET:-}" ] && [ "$(id -u)" -eq 0 ]; then
  install_missing_packages
  cmake --preset linux >/dev/null
  cmake --build --preset linux
  export PIPESERVER_PRIVATE_NET=1
  exec unshare --net -- bash "$0" --screenshot "$screenshot" --seconds "$seconds" "$@"
fi
if [ -z "${PIPESERVER_PRIVATE_NET:-}" ]; then
  install_missing_packages
  cmake --preset linux >/dev/null
  cmake --build --preset linux
fi

program=build/linux/app/pipeserver

pids=()
xvfb_pid=""
stop() {
  local pid
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  for pid in "${pids[@]}"; do wait "$pid" 2>/dev/null || true; done
  if [ -n "$xvfb_pid" ]; then kill "$xvfb_pid" 2>/dev/null || true; wait "$xvfb_pid" 2>/dev/null || true; fi
}
trap stop EXIT

if [ -n "$screenshot" ]; then
  display_file=$(mktemp)
  Xvfb -displayfd 3 -nolisten tcp -noreset -screen 0 1024x768x24 3>"$display_file" >/dev/null 2>&1 &
  xvfb_pid=$!
  for _ in $(seq 100); do [ -s "$display_file" ] && break; sleep 0.1; done
  export DISPLAY=":$(cat "$display_file")"
  rm -f "$display_file"
fi

"$program" "$@" &
program_pid=$!
pids+=("$program_pid")

# The window appears once any hardware-test boxes are closed; lightsend
# needs the listener, which starts with the window.
window=""
while kill -0 "$program_pid" 2>/dev/null; do
  window=$(xdotool search --onlyvisible --name '^Pipe Server Vantrelle \(p:[0-9A-F]+\)$' 2>/dev/null | head -n 1 || true)
  [ -n "$window" ] && break
  sleep 0.2
done
[ -n "$window" ] || { echo "the program ended before its window showed"; exit 1; }
echo "window: $(xdotool getwindowname "$window")"

build/linux/tools/lightsend --pattern chaser --rate 8 &
pids+=($!)

if [ -z "$screenshot" ]; then
  wait "$program_pid" || true
  echo "the window was closed"
  exit 0
fi

sleep "$seconds"
mkdir -p "$(dirname "$screenshot")"
import -window "$window" "png:$screenshot"
echo "screenshot of the window: $screenshot"
