#!/usr/bin/env bash
# lightbeat --os2l against QLC+ 4.12.6 (Debian's qlcplus), a peer no one
# here wrote: QLC+ runs without a display, on a workspace this script
# writes with its OS2L plug-in as universe 1's input, in this script's
# network namespace; its debug log must show every beat lightbeat finds in a
# metronome parsed, in order. (The chaser stepped by those beats, with its
# DMX read back, is not built yet.) Exits 77 when qlcplus is not installed.
# Needs: LIGHTBEAT.
source "$(dirname "$0")/../support/lib.sh"
source "$(dirname "$0")/../support/pulse.sh"
export LIMIT=30
ip link set lo up
if ! command -v qlcplus >/dev/null; then
  echo "SKIP: QLC+ as the OS2L peer: qlcplus not installed (Debian: qlcplus)"
  exit 77
fi

cat >"$WORK/os2l.qxw" <<'XML'
<?xml version="1.0" encoding="UTF-8"?>
<!DOCTYPE Workspace>
<Workspace xmlns="http://www.qlcplus.org/Workspace" CurrentWindow="VirtualConsole">
 <Creator><Name>Q Light Controller Plus</Name><Version>4.12.6</Version><Author>test</Author></Creator>
 <Engine>
  <InputOutputMap>
   <Universe Name="Universe 1" ID="0"><Input Plugin="OS2L" UID="OS2L" Line="0"/></Universe>
  </InputOutputMap>
 </Engine>
</Workspace>
XML
# Its own home and runtime folder: nothing of the user's QLC+ settings.
mkdir -p "$WORK/home" "$WORK/runtime"
chmod 700 "$WORK/runtime"
HOME="$WORK/home" XDG_RUNTIME_DIR="$WORK/runtime" QT_QPA_PLATFORM=offscreen \
  timeout -k 2 60 qlcplus -d 0 --nogui --operate --open "$WORK/os2l.qxw" >"$WORK/qlc.log" 2>&1 &
started $!
wait_until 20 grep -q "listening on TCP port 9996" "$WORK/qlc.log" ||
  { sed 's/^/  qlcplus: /' "$WORK/qlc.log" | grep -v ALSA | tail -20; fail "QLC+ did not open its OS2L port"; finish; }

click_track "$WORK/clicks.wav" 8 0.5
"$LIGHTBEAT" --file "$WORK/clicks.wav" --beats >"$WORK/beats.txt"
BEATS=$(wc -l <"$WORK/beats.txt")
check_that "the metronome has beats ($BEATS)" test "$BEATS" -ge 5
code=0
bounded "$LIGHTBEAT" --quiet --file "$WORK/clicks.wav" --realtime --os2l 127.0.0.1 >"$WORK/beat.out" 2>&1 || code=$?
check_equal "lightbeat to QLC+: exit status" "$code" 0
sleep 0.5
parsed=$(sed -n 's/.*Got beat message.*pos\\":\([0-9]*\),.*/\1/p' "$WORK/qlc.log" | paste -sd' ')
check_equal "QLC+ parsed every beat, in order" "$parsed" "$(seq -s' ' 1 "$BEATS")"
check_equal "QLC+ took one connection" "$(grep -c "Host connected" "$WORK/qlc.log" || true)" 1
finish
