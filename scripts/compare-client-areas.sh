#!/usr/bin/env bash
# Compares the lamp area of two client-area captures, for example the Linux
# program's and the Windows program's after the same line. Each capture is
# a picture of the client area alone (origin at its top-left), in any format
# ImageMagick reads (PNG, BMP, PPM, ...).
#
#   scripts/compare-client-areas.sh [--max-differ N] [--region X0 Y0 X1 Y1] A B
#
# The region defaults to the lamps, (0,20)-(256,84); the status text is left
# out because the two platforms draw it in different fonts. Exit status 0
# when at most N pixels (default 0) differ, 1 when more do, 2 on bad input.
set -euo pipefail
cd "$(dirname "$0")/.."

max_differ=0
region=(0 20 256 84)
while [ $# -gt 2 ]; do
  case $1 in
    --max-differ) max_differ=$2; shift 2 ;;
    --region) region=("$2" "$3" "$4" "$5"); shift 5 ;;
    *) echo "usage: $0 [--max-differ N] [--region X0 Y0 X1 Y1] A B" >&2; exit 2 ;;
  esac
done
[ $# -eq 2 ] || { echo "usage: $0 [--max-differ N] [--region X0 Y0 X1 Y1] A B" >&2; exit 2; }

xprobe=${XPROBE:-build/linux/tests/linux_program/xprobe}
[ -x "$xprobe" ] || { echo "error: $xprobe not built (cmake --build --preset linux)" >&2; exit 2; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
convert "$1" -alpha off -depth 8 "ppm:$work/a.ppm" || exit 2
convert "$2" -alpha off -depth 8 "ppm:$work/b.ppm" || exit 2
if "$xprobe" compare "$work/a.ppm" "$work/b.ppm" "${region[@]}" "$max_differ"; then
  echo "same: ($1) and ($2) agree in (${region[0]},${region[1]})-(${region[2]},${region[3]})"
else
  status=$?
  [ "$status" -eq 1 ] && echo "different: ($1) and ($2)" >&2
  exit "$status"
fi
