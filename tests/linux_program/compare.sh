#!/usr/bin/env bash
# scripts/compare-client-areas.sh on captures of two runs of the program:
# the same line gives the same lamp area, in any picture format; another
# line does not.
source "$(dirname "$0")/../support/lib.sh"
start_xvfb
compare=$(dirname "$0")/../../scripts/compare-client-areas.sh

capture_after '>5L1234' "$WORK/a.ppm" 34 12
capture_after '>5L1234' "$WORK/b.ppm" 34 12
capture_after '>5L1634' "$WORK/c.ppm" 34 16
convert "$WORK/b.ppm" "$WORK/b.png"

"$compare" "$WORK/a.ppm" "$WORK/b.png" && pass "same line, same lamp area (PPM against PNG)" ||
  fail "same line compared as different"
if "$compare" "$WORK/a.ppm" "$WORK/c.ppm"; then
  fail "another line compared as the same"
else
  [ $? -eq 1 ] && pass "another line, another lamp area" || fail "the comparison broke"
fi
# One lamp differs: its pixels are the difference, so a tolerance that
# large lets it pass.
"$compare" --max-differ 2000 "$WORK/a.ppm" "$WORK/c.ppm" >/dev/null 2>&1 && pass "--max-differ" ||
  fail "--max-differ 2000 did not tolerate one lamp"
finish
