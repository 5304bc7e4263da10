#!/usr/bin/env bash
# The Linux program's network outputs against receivers no one here wrote:
# olad (Art-Net and sACN inputs, and the --ola client path) read back with
# ola-python, tshark's E1.31 and Art-Net dissectors over a capture of
# everything sent, and a WLED/DDP receiver written from WLED's protocols.
# Then the bad-input table. All inside this script's network namespace:
# loopback and a veth pair with private addresses that exist only here.
source "$(dirname "$0")/../support/lib.sh"
source "$(dirname "$0")/../support/olad.sh"
HERE=$(cd "$(dirname "$0")" && pwd)
export LIMIT=15

# --- bad input: a message on standard error and status 2, no window -------
start_xvfb
rows=0
# The third column ("start-up": the Windows program finds the fault when
# it starts) changes nothing here: this program refuses the output before.
while IFS='|' read -r tail word _; do
  case "$tail" in '#'* | '') continue ;; esac
  tail=$(echo "$tail" | xargs) word=$(echo "$word" | xargs)
  status=0
  # shellcheck disable=SC2086 # The tail is words, as a shell passes them.
  bounded "$PIPESERVER" $tail >"$WORK/bad.out" 2>"$WORK/bad.err" || status=$?
  check_equal "$tail: exit status" "$status" 2
  prefix="pipeserver: $word: "
  check_equal "$tail: names the word" "$(head -c ${#prefix} "$WORK/bad.err")" "$prefix"
  check_equal "$tail: one line on stderr, nothing on stdout" "$(wc -l <"$WORK/bad.err") $(wc -c <"$WORK/bad.out")" "1 0"
  rows=$((rows + 1))
done <"$HERE/bad_outputs.txt"
check_that "bad-input table read ($rows rows)" test "$rows" -ge 39
expect_exit "--help" 0 "$WORK/help.out" "$PIPESERVER" --help
check_that "--help names every output" grep -q -- "--sacn.*--artnet.*--wled.*--ddp.*--ola.*--opendmx" <(tr '\n' ' ' <"$WORK/help.out")
check_that "--help sends Open DMX through olad on Linux" grep -q -- "FTDI plug-in: --ola UNIVERSE" "$WORK/help.out"
check_equal "no window came from any of them" "$(find_window 'Pipe Server Vantrelle.*')" ""

start_olad

# Everything the program sends: the veth (sACN's multicast, Art-Net) and
# loopback (the pixel outputs).
start_tshark -i out0 -i lo
sleep 0.5

PIXELS=40
start_peer pixels python3 "$HERE/pixel_receiver.py" --pixels $PIXELS --seconds 40

start_program -p 0 --artnet 10.77.0.2 --universe 1 \
  --sacn multicast --universe 2 --interface 10.77.0.1 --start 101 --channels-per-lamp 2 --on 200 --off 10 \
  --ola 3 --start 5 \
  --wled 127.0.0.1 --pixels-per-lamp 2 --color ffa000 \
  --ddp 127.0.0.1 --start-pixel 3 --color 00ff00
window=$(main_window) || { fail "no main window"; finish; }
expect_title "$window" "Pipe Server Vantrelle (p:0)" "with five outputs"
lines_at=$SECONDS
bounded "$LIGHTSEND" '>5L1234' '>3L00ff' '>5L8001'
expect_lamps "$window" 01 80 "after the lines"

# "Outputs..." beside "About" in the pop-up menu: each output's paragraph.
xdotool windowfocus --sync "$window" key Menu
sleep 0.5
xdotool key Down Down Return
if box=$(wait_window '^Outputs$' 5); then
  box_text "$box" >"$WORK/outputs.txt"
  check_equal "Outputs...: one paragraph an output, each with its frames" \
    "$(grep -c '^[0-9]* frames\? sent' "$WORK/outputs.txt") $(grep -c ' to ' "$WORK/outputs.txt")" "5 5"
  check_that "Outputs...: the sACN output's destination and mapping" grep -qx \
    'sACN to multicast port 5568, universe 2, priority 100: lamps 0-15 on channels 101-132, 2 each, levels 200/10' "$WORK/outputs.txt"
  check_equal "Outputs...: no fault now" "$(grep -c 'now:' "$WORK/outputs.txt")" 0
  close_box "$box"
else
  fail "no Outputs box from the pop-up menu"
fi

# It only sends: no TCP socket listens, and its UDP sockets were bound by
# the system on their first send (an ephemeral port), none by the program.
check_equal "no listening TCP socket of the program" "$(ss -ltnpH | grep -c "pid=$PROGRAM_PID," || true)" 0
ss -uanpH | grep "pid=$PROGRAM_PID," >"$WORK/udp.txt" || true
check_equal "its UDP sockets: one per network output, each on an ephemeral port" \
  "$(wc -l <"$WORK/udp.txt") $(awk '{n = split($4, a, ":"); if (a[n] < 32768) print}' "$WORK/udp.txt" | wc -l)" "4 0"
# Nothing piles up on them: each is connected to its receiver, so 100
# datagrams from anyone else to each of its ports are dropped at once.
python3 - "$WORK/udp.txt" <<'PY'
import socket, sys
other = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
for line in open(sys.argv[1]):
    host, port = line.split()[3].rsplit(":", 1)
    for _ in range(100):
        other.sendto(b"x" * 700, ("127.0.0.1" if host in ("0.0.0.0", "*") else host, int(port)))
PY
sleep 0.2
check_equal "its UDP sockets' receive queues stay empty" \
  "$(ss -uanpH | grep "pid=$PROGRAM_PID," | awk '{s += $2} END {print s + 0}')" 0
want=$(lamp_levels 1 1 255 0);     expect_universe 1 "$want" 16 "Art-Net, channels 1-16"
want=$(lamp_levels 101 2 200 10);  expect_universe 2 "$want" 132 "sACN multicast, channels 101-132, two each"
want=$(lamp_levels 5 1 255 0);     expect_universe 3 "$want" 20 "--ola, channels 5-20"

# Keep-alives only: two and a half seconds without a line.
sleep 2.5
idle_from=$(awk '{print $1}' /proc/uptime)
close_and_expect_exit "$window" "with five outputs"
sleep 0.5
stop_tshark
peer_done pixels || true

# --- what tshark makes of it ----------------------------------------------
expect_clean_stream
# The source name last: it has blanks.
decode -Y 'acn && ip.src == 10.77.0.1' -T fields -E separator=' ' -e frame.time_relative -e acn.dmx.seq_number -e acn.dmx.options \
  -e acn.dmx.priority -e acn.dmx.universe -e acn.dmx.count -e ip.dst -e udp.dstport \
  -e acn.cid -e acn.dmx.source_name >"$WORK/sacn.txt"
decode -Y 'artnet && ip.src == 10.77.0.1' -T fields -E separator=' ' -e frame.time_relative -e artnet.header.opcode \
  -e artnet.header.protver -e artnet.output.sequence -e artnet.output.universe -e artnet.output.length \
  -e ip.dst >"$WORK/artnet.txt"
check_that "sACN packets captured ($(wc -l <"$WORK/sacn.txt"))" test "$(wc -l <"$WORK/sacn.txt")" -ge 5
{ grep -v 'Running as user' "$WORK/decode.err" || true; } | sed 's/^/tshark: /' | head -n 20
check_that "Art-Net packets captured ($(wc -l <"$WORK/artnet.txt"))" test "$(wc -l <"$WORK/artnet.txt")" -ge 3
check_equal "sACN: priority 100, universe 2, 513 properties, to 239.255.0.2:5568, our name" \
  "$(cut -d' ' -f4-8,10- "$WORK/sacn.txt" | sort -u)" "100 2 513 239.255.0.2 5568 Pipe Server Vantrelle"
check_equal "sACN: one CID, of version 8" "$(cut -d' ' -f9 "$WORK/sacn.txt" | sort -u | sed 's/^.\{14\}\(.\).*/\1/')" "8"
check_that "sACN: sequence numbers one after another" \
  awk 'NR > 1 && $2 != (prev + 1) % 256 {bad = 1} {prev = $2} END {exit bad}' "$WORK/sacn.txt"
check_equal "Art-Net: OpDmx, version 14, port address 1, 512 slots, to 10.77.0.2" \
  "$(awk '{print $2, $3, $5, $6, $7}' "$WORK/artnet.txt" | sort -u)" "0x5000 14 1 512 10.77.0.2"
check_that "Art-Net: sequence 1, 2, 3 ..." awk '$4 != NR {bad = 1} END {exit bad}' "$WORK/artnet.txt"

# Sends: one at the start, one per change that got through, keep-alives.
running=$(awk -v f="$(head -n1 "$WORK/sacn.txt" | cut -d' ' -f1)" -v l="$(tail -n4 "$WORK/sacn.txt" | head -n1 | cut -d' ' -f1)" 'BEGIN {print l - f}')
sacn_data=$(awk '$3 != "0x40" && $3 != "64"' "$WORK/sacn.txt" | wc -l)
check_that "sACN: $sacn_data data packets over ${running}s: at most 1 + 3 changes + a keep-alive each 0.9 s" \
  awk -v n="$sacn_data" -v t="$running" 'BEGIN {exit !(n <= 1 + 3 + int(t / 0.9) + 1)}'
check_that "sACN: no gap of 1 s or more (keep-alive)" \
  awk '$3 != "0x40" && $3 != "64" {if (NR > 1 && $1 - prev >= 1.0) bad = 1; prev = $1} END {exit bad}' "$WORK/sacn.txt"
check_that "Art-Net: no gap of 4 s or more (keep-alive), at least one keep-alive" \
  awk '{if (NR > 1 && $1 - prev >= 4.0) bad = 1; if (NR > 1 && $1 - prev > 1.5) ka = 1; prev = $1} END {exit bad || !ka}' "$WORK/artnet.txt"
check_that "at most 44 frames a second: no two sACN data packets within 22 ms" \
  awk '$3 != "0x40" && $3 != "64" {if (NR > 1 && $1 - prev < 0.022) bad = 1; prev = $1} END {exit bad}' "$WORK/sacn.txt"

# A receiver out of reach (no route in this namespace: nothing leaves): the
# fault said once on standard error, the lamps and the window unaffected.
start_program -p 0 --sacn 10.99.0.1
window=$(main_window) || { fail "no main window with an unreachable output"; finish; }
bounded "$LIGHTSEND" '>5L0005'
expect_lamps "$window" 05 00 "with an unreachable output"
sleep 2.5  # Three keep-alives, each failing.
check_equal "the unreachable output's fault, said once" \
  "$(grep -c '^pipeserver: sACN 10.99.0.1: cannot send: .* (retrying)$' "$WORK/program.out")" 1
close_and_expect_exit "$window" "with an unreachable output"

# --- the WLED receiver ----------------------------------------------------
python3 - "$WORK/pixels.out" $PIXELS <<'PY' && pass "WLED realtime and DDP as WLED reads them" || fail "WLED realtime and DDP"
import json, sys
result, pixels = json.load(open(sys.argv[1])), int(sys.argv[2])
def strip(lit, color, start, per):
    out = ["000000"] * pixels
    for lamp in lit:
        for k in range(per):
            out[start + lamp * per + k] = color
    return "".join(out)
faults = []
wled, ddp = result["wled"], result["ddp"]
for name, got in (("wled", wled), ("ddp", ddp)):
    bad = [p for p in got["packets"] if "malformed" in p]
    if bad: faults.append(f"{name}: malformed {bad[:2]}")
last_frame = wled["frames"][-2] if len(wled["frames"]) > 1 else ""
if last_frame != strip([0, 15], "ffa000", 0, 2):
    faults.append(f"wled: last frame {last_frame}")
if [p["protocol"] for p in wled["packets"]] != ["DRGB"] * len(wled["packets"]):
    faults.append("wled: a run from pixel 0 that fits is DRGB")
if [p["timeout"] for p in wled["packets"]][:-1] != [2] * (len(wled["packets"]) - 1):
    faults.append("wled: timeout byte 2 while running")
if wled["packets"][-1]["timeout"] != 0:
    faults.append("wled: the last packet hands the strip back (timeout 0)")
if ddp["frames"][-1] != strip([0, 15], "00ff00", 3, 1):
    faults.append(f"ddp: last frame {ddp['frames'][-1]}")
if any(p["version"] != 1 or p["type"] != 0x0B or p["destination"] != 1 or not 1 <= p["sequence"] <= 15
       for p in ddp["packets"]):
    faults.append("ddp: header fields")
seen = [f for f in wled["frames"]]
if strip([2, 4, 5, 9, 12], "ffa000", 0, 2) not in seen and strip(range(8), "ffa000", 0, 2) not in seen:
    faults.append("wled: neither of the earlier lines' frames arrived")
print("\n".join(faults))
sys.exit(1 if faults else 0)
PY

# --- long strips: 1,600 pixels from pixel 0 (WLED) and from pixel 1 (DDP),
# in as many packets as they need, beside an Art-Net output ----------------
start_peer long_strips python3 "$HERE/pixel_receiver.py" --pixels 1601 --seconds 20
start_program -p 0 --wled 127.0.0.1 --pixels-per-lamp 100 --color 102030 \
  --ddp 127.0.0.1 --pixels-per-lamp 100 --start-pixel 1 --artnet 10.77.0.2 --universe 1
window=$(main_window) || { fail "no main window with long strips"; finish; }
bounded "$LIGHTSEND" '>5LC35A'
expect_lamps "$window" 5a c3 "with long strips"
sleep 1.2  # A keep-alive of each.
check_that "the program is alive with long strips" kill -0 "$PROGRAM_PID"
close_and_expect_exit "$window" "with long strips"
peer_done long_strips || true
python3 - "$WORK/long_strips.out" <<'PY' && pass "long strips: every lamp's 100 pixels in place" || fail "long strips"
import json, sys
result = json.load(open(sys.argv[1]))
def strip(value, color, start):
    out = ["000000"] * 1601
    for lamp in range(16):
        if value >> lamp & 1:
            out[start + lamp * 100:start + lamp * 100 + 100] = [color] * 100
    return "".join(out)
faults = []
for name in ("wled", "ddp"):
    bad = [p for p in result[name]["packets"] if "malformed" in p]
    if bad: faults.append(f"{name}: malformed {bad[:2]}")
if strip(0xC35A, "102030", 0) not in result["wled"]["frames"]:
    faults.append("wled: the lamps never showed whole")
if any(p["pixels"] > (490 if p["protocol"] == "DRGB" else 489) for p in result["wled"]["packets"]):
    faults.append("wled: more pixels in a packet than WLED's 1472 bytes hold")
if strip(0xC35A, "ffffff", 1) not in result["ddp"]["frames"]:
    faults.append("ddp: the lamps never showed whole")
print("\n".join(faults))
sys.exit(1 if faults else 0)
PY
finish
