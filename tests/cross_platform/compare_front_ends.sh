#!/usr/bin/env bash
# The Linux program's lamps against the Windows program's (under Wine, the
# reference) after the same line: both client areas are captured and their
# lamp areas compared with scripts/compare-client-areas.sh.
#
#   tests/cross_platform/compare_front_ends.sh LINUX_BUILD_DIR WINDOWS_BUILD_DIR
#
# Needs a display for Wine (DISPLAY) and the Windows build's Wine prefix
# (WINEPREFIX, default WINDOWS_BUILD_DIR/wineprefix). The Linux program runs
# on a private Xvfb in a private network namespace (tests/support/lib.sh).
# With COMPARE_KEEP=DIR the captures are also copied to DIR. Exit status 77
# (with the reason) when it cannot run here: no Linux build, no display.
#
# What must agree: every pixel of the lamp area, outlines included. Both
# pictures end up as X arcs (FLTK's fl_pie/fl_arc, and Wine's X11 driver
# for GDI's Ellipse), so no edge pixel is allowed to differ. The status text
# is drawn in different fonts, so it is only checked to be gray on black at
# the top left in each picture, not compared pixel by pixel.
set -euo pipefail
if [ $# -ne 2 ]; then
  echo "usage: $0 LINUX_BUILD_DIR WINDOWS_BUILD_DIR" >&2
  exit 2
fi
linux_build=$(cd "$1" && pwd)
windows_build=$(cd "$2" && pwd)
root=$(cd "$(dirname "$0")/../.." && pwd)

# lib.sh gives the Linux program its own display; Wine keeps the caller's.
export WINE_DISPLAY=${WINE_DISPLAY:-${DISPLAY:-}}
export WINEPREFIX=${WINEPREFIX:-$windows_build/wineprefix} WINEDEBUG=-all
export PIPESERVER=$linux_build/app/pipeserver
export XPROBE=$linux_build/tests/linux_program/xprobe
for f in "$PIPESERVER" "$XPROBE"; do
  [ -x "$f" ] || { echo "skipped: $f is not built (cmake --build --preset linux)"; exit 77; }
done
[ -x "$windows_build/tests/windows_program/win_driver.exe" ] ||
  { echo "error: $windows_build/tests/windows_program/win_driver.exe is not built" >&2; exit 2; }
[ -n "$WINE_DISPLAY" ] || { echo "skipped: no DISPLAY for Wine"; exit 77; }
source "$root/tests/support/lib.sh"
start_xvfb

compare="$root/scripts/compare-client-areas.sh"

# capture_windows LINE FILE: the Windows program's client area after LINE.
capture_windows() {
  local status=0
  DISPLAY=$WINE_DISPLAY PIPESERVER_EXE=$windows_build/app/pipeserver.exe \
    LIGHTSEND_EXE=$windows_build/tools/lightsend.exe \
    timeout 60 "$(wine_loader_for "$windows_build/tests/windows_program/win_driver.exe")" \
    "$windows_build/tests/windows_program/win_driver.exe" capture-after-line "$(windows_path "$2")" "$1" \
    </dev/null >"$WORK/driver.out" 2>&1 || status=$?
  tr -d '\r' <"$WORK/driver.out"
  [ "$status" -eq 0 ] && [ -s "$2" ]
}

# Line, and the lamp bytes that it must show (row 1, row 2).
cases=(">5L1234 34 12" ">3L8001 01 80" ">5L0 00 00" ">5LFFFF ff ff" ">5LA5C3 c3 a5")
for c in "${cases[@]}"; do
  read -r line bank0 bank1 <<<"$c"
  name=${line#>}
  lin=$WORK/linux-$name.ppm win=$WORK/windows-$name.ppm
  capture_after "$line" "$lin" "$bank0" "$bank1" || { fail "$line: no Linux capture"; continue; }
  capture_windows "$line" "$win" || { fail "$line: no Windows capture"; continue; }
  [ -n "${COMPARE_KEEP:-}" ] && mkdir -p "$COMPARE_KEEP" && cp "$lin" "$win" "$COMPARE_KEEP/"

  # Each picture on its own: the lamps of the line, gray text at the top left.
  "$XPROBE" lamps "$win" "$bank0" "$bank1" text && pass "$line: Windows picture" || fail "$line: Windows picture"
  "$XPROBE" lamps "$lin" "$bank0" "$bank1" text && pass "$line: Linux picture" || fail "$line: Linux picture"

  # The lamp area, every pixel (that the comparison tells lines apart:
  # tests/linux_program/compare.sh).
  "$compare" "$lin" "$win" && pass "$line: lamp area" || fail "$line: lamp area"
done

finish
