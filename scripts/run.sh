#!/usr/bin/env bash
# Builds and runs the program with lightsend playing a light pattern into it,
# so that the lamps move: the Linux program, or with --windows the Windows
# program under Wine.
#
#   scripts/run.sh [--windows] [options] [-p ADDR | -P ADDR]
#
#   --windows        the Windows program (x86-64) under Wine
#   -p ADDR          drive the parallel port at ADDR (hexadecimal, e.g. 378)
#   -P ADDR          the same, after the pin-by-pin hardware test
#   --pattern NAME   what lightsend plays: chaser, bounce, counter, random,
#                    blink (default chaser)
#   --seconds N      how long a headless run lasts before its screenshot
#                    (default 4)
#   --shot FILE      where the screenshot goes (default
#                    build/<linux|windows>/screenshot-<linux|windows>.png);
#                    given, the run is headless even with a display
#   --frame          Windows only: inside a small Wine virtual desktop, where
#                    Wine draws the window's frame (title bar, icon, buttons)
#   -h, --help       this text
#
# With a display (DISPLAY set and reachable) the window stays until you close
# it. Without one, the run is headless: a virtual display, the window for a
# few seconds, a screenshot of it (and of each box that comes before it,
# FILE-box.png, answered with Return), then the window is closed as a user
# would close it and the program's exit code is printed. A headless Linux
# run has a network namespace of its own (tests/support/private_net.sh), so
# it never meets another server of "tormelin"; a Windows run has a Wine
# prefix of its own (build/windows/wineprefix-run).
#
#   scripts/run.sh --windows --frame --shot docs/screenshot-windows.png
# made the README's picture of the Windows program.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/deps.sh

usage() { sed -n '2,/^set -euo/p' "$0" | sed '$d' | sed 's/^# \{0,1\}//'; }
die() { echo "run.sh: $*" >&2; exit 2; }

platform=linux tail_args="" pattern=chaser seconds=4 shot="" frame=no
while [ $# -gt 0 ]; do
  case "$1" in
    --windows) platform=windows; shift ;;
    -p | -P) [ $# -ge 2 ] || die "$1 needs a port address, e.g. $1 378"
             tail_args="$1 $2"; shift 2 ;;
    --pattern) [ $# -ge 2 ] || die "--pattern needs a name"; pattern=$2; shift 2 ;;
    --seconds) [[ ${2:-} =~ ^[0-9]+([.][0-9]+)?$ ]] || die "--seconds needs a number"; seconds=$2; shift 2 ;;
    --shot) [ $# -ge 2 ] || die "--shot needs a file name"; shot=$2; shift 2 ;;
    --frame) frame=yes; shift ;;
    -h | --help) usage; exit 0 ;;
    *) die "unknown argument '$1' (try --help)" ;;
  esac
done
case $pattern in chaser | bounce | counter | random | blink) ;; *) die "no pattern '$pattern' (try --help)" ;; esac
[ "$frame" = no ] || [ "$platform" = windows ] ||
  die "--frame is for --windows: on Linux the window manager draws the frame"

headless=no
if [ -n "$shot" ] || ! { [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; }; then headless=yes; fi
shot=${shot:-build/$platform/screenshot-$platform.png}
case $shot in /*) ;; *) shot=$PWD/$shot ;; esac

# Once, before anything else: packages, the build. A headless Linux run then
# runs again in a network namespace of its own, with RUN_BUILT set.
if [ -z "${RUN_BUILT:-}" ]; then
  if [ "$platform" = linux ]; then require_jobs linux; else require_jobs linux windows; fi
  cmake --preset "$platform" >/dev/null
  if [ "$platform" = linux ]; then
    cmake --build --preset linux --target pipeserver lightsend xprobe
  else
    cmake --build --preset windows --target pipeserver lightsend
  fi
  if [ "$platform" = linux ] && [ "$headless" = yes ]; then
    export RUN_BUILT=1
    exec bash tests/support/private_net.sh bash "$0" ${tail_args} --pattern "$pattern" \
      --seconds "$seconds" --shot "$shot"
  fi
fi

if [ "$platform" = linux ]; then
  program=(build/linux/app/pipeserver)
  lightsend=(build/linux/tools/lightsend --rate 8)
else
  wine=$(wine64_loader)
  program=("$wine" build/windows/app/pipeserver.exe)
  lightsend=("$wine" build/windows/tools/lightsend.exe)
fi

server_pid="" sender_pid=""
cleanup() {
  set +e  # Whatever has already ended, stop the rest.
  [ -n "$sender_pid" ] && kill "$sender_pid" 2>/dev/null
  [ -n "$server_pid" ] && kill "$server_pid" 2>/dev/null
  [ "$platform" = windows ] && stop_wine
  stop_virtual_display
}
trap cleanup EXIT

if [ "$headless" = yes ]; then
  # A display of our own, even when there is one: the screenshot must show
  # nothing but this program.
  unset DISPLAY
  start_virtual_display
fi
if [ "$platform" = windows ]; then prepare_wine "$PWD/build/windows/wineprefix-run"; fi

# Saves the X window's area of the screen into $2.
save_window() {
  local geometry
  geometry=$(xwininfo -id "$1" | awk '/Absolute upper-left X/{x=$4} /Absolute upper-left Y/{y=$4}
    /Width:/{w=$2} /Height:/{h=$2} END{printf "%dx%d+%d+%d", w, h, x, y}')
  mkdir -p "$(dirname "$2")"
  import -window root -crop "$geometry" +repage "$2"
}

# Closes the main window as a user would: WM_CLOSE for the Windows program
# (taskkill without /f), WM_DELETE_WINDOW for the Linux one.
close_window() {
  if [ "$platform" = windows ]; then
    "$wine" taskkill /im pipeserver.exe >/dev/null 2>&1 || true
  else
    build/linux/tests/linux_program/xprobe close "$1"
  fi
}

# Inside a Wine virtual desktop the windows are Wine's own, not X windows:
# the desktop is the one X window, small enough to be the screenshot. The
# program's exit code does not come out of the desktop, so this form only
# says that the window was closed.
run_framed() {
  local desktop="/desktop=pipeserver,360x180" view
  # shellcheck disable=SC2086  # The tail is two words on purpose.
  "$wine" explorer "$desktop" build/windows/app/pipeserver.exe $tail_args &
  server_pid=$!
  view=$(wait_window 'pipeserver - Wine desktop' 15) || { echo "error: no Wine desktop appeared" >&2; exit 1; }
  if [ -n "$tail_args" ]; then
    sleep 2  # The no-access warning comes first; answer it.
    xdotool windowfocus --sync "$view" key Return
  fi
  sleep 1
  "${lightsend[@]}" --pattern "$pattern" &
  sender_pid=$!
  sleep "$seconds"
  save_window "$view" "$shot"
  echo "Screenshot of the window in its frame: $shot"
  "$wine" explorer "$desktop" taskkill /im pipeserver.exe >/dev/null 2>&1 || true
  wait "$server_pid" || true
  server_pid=""
  echo "pipeserver: window closed."
}

echo "Starting: ${program[*]} ${tail_args:-(no port: the emulation mode)}"
if [ "$frame" = yes ]; then
  run_framed
  exit 0
fi
# shellcheck disable=SC2086  # The tail is two words on purpose.
"${program[@]}" $tail_args &
server_pid=$!

# Boxes before the window (no port access, the hardware test's twelve):
# headless, each is saved and answered with Return; with a display, the
# user answers them.
window=""
for _ in $(seq 600); do
  window=$(find_window 'Pipe Server Vantrelle \(p:.*\)')
  [ -n "$window" ] && break
  kill -0 "$server_pid" 2>/dev/null || break
  box=$(find_window 'Pipe Server Vantrelle')
  if [ -n "$box" ] && [ "$headless" = yes ]; then
    sleep 0.3  # Let it paint.
    save_window "$box" "${shot%.png}-box.png"
    xdotool windowfocus --sync "$box" key Return
    echo "A box came before the window: saved as ${shot%.png}-box.png, answered with Return."
    for _ in $(seq 30); do
      [ "$(find_window 'Pipe Server Vantrelle')" = "$box" ] || break
      sleep 0.1
    done
  fi
  sleep 0.1
done
[ -n "$window" ] || { echo "error: no main window appeared" >&2; exit 1; }
echo "Window: $(xdotool getwindowname "$window")"

"${lightsend[@]}" --pattern "$pattern" &
sender_pid=$!

if [ "$headless" = no ]; then
  echo "lightsend plays \"$pattern\"; close the window to stop."
  code=0
  wait "$server_pid" || code=$?
  server_pid=""
  echo "pipeserver ended with exit code $code."
  exit "$code"
fi

sleep "$seconds"
save_window "$window" "$shot"
echo "Screenshot of the window: $shot"
close_window "$window"
code=0
wait "$server_pid" || code=$?
server_pid=""
echo "pipeserver ended with exit code $code."
exit "$code"
