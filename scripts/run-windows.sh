#!/usr/bin/env bash
# Builds the Windows program and runs it under Wine, with lightsend playing a
# pattern into the pipe so that the lamps move.
#
#   scripts/run-windows.sh                 the emulation mode (no port)
#   scripts/run-windows.sh -p 378          a port address passed through
#   scripts/run-windows.sh -P 378          the same with the hardware test
#
# Options: --pattern NAME (chaser, bounce, counter, random, blink; default
# chaser), --seconds N (how long to run before the screenshot on a virtual
# display; default 4), --shot FILE (where the screenshot goes; default
# build/windows/screenshot-windows.png), --frame (inside a small Wine virtual
# desktop, where Wine draws the window's frame: title bar, icon, buttons).
#
# With a display (DISPLAY set and reachable) the window stays until you close
# it. Without one, a virtual display is started, a screenshot of the window
# is saved after a few seconds and the program is closed. Under Wine the
# program has no port access: a port address brings its warning box first,
# which this script answers on a virtual display.
#
#   scripts/run-windows.sh --frame --shot docs/screenshot-windows.png
# made the README's picture.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/deps.sh

tail_args=""
pattern=chaser
seconds=4
shot=build/windows/screenshot-windows.png
frame=no
while [ $# -gt 0 ]; do
  case "$1" in
    -p | -P) tail_args="$1 ${2:?$1 needs a port address, e.g. 378}"; shift 2 ;;
    --pattern) pattern=${2:?}; shift 2 ;;
    --seconds) seconds=${2:?}; shift 2 ;;
    --shot) shot=${2:?}; shift 2 ;;
    --frame) frame=yes; shift ;;
    -h | --help) sed -n '2,24p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
    *) echo "run-windows.sh: unknown argument $1 (try --help)" >&2; exit 2 ;;
  esac
done

install_missing_packages
cmake --preset windows >/dev/null
cmake --build --preset windows --target pipeserver lightsend

had_display=no
if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then had_display=yes; fi
start_virtual_display

# A prefix of its own, so a run never meets the tests' Wine processes.
prepare_wine "$PWD/build/windows/wineprefix-run"

server_pid="" sender_pid=""
cleanup() {
  [ -n "$sender_pid" ] && kill "$sender_pid" 2>/dev/null
  [ -n "$server_pid" ] && kill "$server_pid" 2>/dev/null
  stop_wine
  stop_virtual_display
}
trap cleanup EXIT

# Windows of this display whose title starts with the given text.
find_window() { xdotool search --onlyvisible --name "^$1" 2>/dev/null | head -n 1; }

# Waits up to 15 s for a window; prints its X id.
wait_window() {
  local id=""
  for _ in $(seq 150); do
    id=$(find_window "$1")
    [ -n "$id" ] && { echo "$id"; return 0; }
    sleep 0.1
  done
  return 1
}

# Saves the X window's area of the screen into $2.
save_window() {
  local geometry
  geometry=$(xwininfo -id "$1" | awk '/Absolute upper-left X/{x=$4} /Absolute upper-left Y/{y=$4}
    /Width:/{w=$2} /Height:/{h=$2} END{printf "%dx%d+%d+%d", w, h, x, y}')
  mkdir -p "$(dirname "$2")"
  import -window root -crop "$geometry" +repage "$2"
}

# Inside a Wine virtual desktop the windows are Wine's own, not X windows:
# the desktop is the one X window, small enough to be the screenshot. The
# program's exit code does not come out of the desktop, so this form only
# says that the window was closed.
run_framed() {
  local desktop="/desktop=pipeserver,360x180"
  # shellcheck disable=SC2086  # The tail is two words on purpose.
  wine explorer "$desktop" build/windows/app/pipeserver.exe $tail_args &
  server_pid=$!
  local view
  view=$(wait_window 'pipeserver - Wine desktop') || { echo "error: no Wine desktop appeared" >&2; exit 1; }
  if [ -n "$tail_args" ]; then
    sleep 2  # The no-access warning comes first; answer it.
    xdotool windowfocus --sync "$view" key Return
  fi
  sleep 1
  wine build/windows/tools/lightsend.exe --pattern "$pattern" &
  sender_pid=$!
  sleep "$seconds"
  save_window "$view" "$shot"
  echo "Screenshot of the window in its frame: $shot"
  wine explorer "$desktop" taskkill /im pipeserver.exe >/dev/null 2>&1 || true
  wait "$server_pid" || true
  server_pid=""
  echo "pipeserver.exe: window closed."
}

echo "Starting: pipeserver.exe ${tail_args:-(no port: the emulation mode)}"
if [ "$frame" = yes ]; then
  run_framed
  exit 0
fi
# shellcheck disable=SC2086  # The tail is two words on purpose.
wine build/windows/app/pipeserver.exe $tail_args &
server_pid=$!

if [ -n "$tail_args" ] && [ "$had_display" = no ]; then
  # The no-access warning (or the hardware test's boxes) before the window:
  # answer each with Return until the main window is there.
  for _ in $(seq 20); do
    [ -n "$(find_window 'Pipe Server Vantrelle \(p:')" ] && break
    box=$(wait_window 'Pipe Server Vantrelle$') || break
    save_window "$box" "${shot%.png}-box.png"
    xdotool windowfocus --sync "$box" key Return
    for _ in $(seq 30); do
      xdotool search --onlyvisible --name '^Pipe Server Vantrelle$' | grep -qx "$box" || break
      sleep 0.1
    done
    echo "A box came before the window: saved as ${shot%.png}-box.png, answered with Return."
  done
fi

window=$(wait_window 'Pipe Server Vantrelle \(p:') || { echo "error: no main window appeared" >&2; exit 1; }
echo "Window: $(xdotool getwindowname "$window")"

wine build/windows/tools/lightsend.exe --pattern "$pattern" &
sender_pid=$!

if [ "$had_display" = yes ]; then
  echo "lightsend plays \"$pattern\"; close the window to stop."
  wait "$server_pid" && code=0 || code=$?
  server_pid=""
  echo "pipeserver.exe ended with exit code $code."
  exit "$code"
fi

sleep "$seconds"
save_window "$window" "$shot"
echo "Screenshot of the window: $shot"

# taskkill without /f posts WM_CLOSE to the program's window: a normal close.
wine taskkill /im pipeserver.exe >/dev/null 2>&1 || true
code=0
wait "$server_pid" || code=$?
server_pid=""
echo "pipeserver.exe ended with exit code $code."
exit "$code"
