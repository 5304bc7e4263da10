"""Drives one latency run; see lightbeat_latency.sh. Prints a Markdown table."""
import array
import math
import re
import socket
import statistics
import subprocess
import sys
import threading
import time

from lightbeat_live import RATE, listen, lit_after_dark, read_monitor, write_track

lightbeat, work, clicks = sys.argv[1], sys.argv[2], int(sys.argv[3])
LEAD, INTERVAL = 1.0, 0.5

# The click track: LEAD s of silence, then a 5 ms 2 kHz burst every INTERVAL.
click_times = [LEAD + i * INTERVAL for i in range(clicks)]
samples = array.array("h", [0] * int((click_times[-1] + 1.0) * RATE) * 2)
for t in click_times:
    start = int(t * RATE)
    for n in range(int(0.005 * RATE)):
        v = int(16000 * math.sin(2 * math.pi * 2000 * n / RATE))
        samples[2 * (start + n)] = samples[2 * (start + n) + 1] = v
track = f"{work}/clicks.wav"
write_track(track, samples)

# The listener: one client at a time, reads of at most 18 bytes, the time of
# each line's arrival.
lines = []
server = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
server.bind("\0tormelin")
server.listen(1)
connected = threading.Event()
threading.Thread(target=listen, args=(server, lines, connected), daemon=True).start()

beat = subprocess.Popen([lightbeat, "--quiet"], stderr=subprocess.PIPE, text=True)
if not connected.wait(5):
    sys.exit("lightbeat did not connect")

# The reference: a bare read loop on the same monitor, 5 ms reads.
ref_hits, quiet_until = [], [0]
def reference(now, values):
    if max(map(abs, values)) > 3000 and now > quiet_until[0]:
        ref_hits.append(now)
        quiet_until[0] = now + 0.2
parec = read_monitor(reference)
time.sleep(1.0)

t0 = time.monotonic()
play = subprocess.Popen(["paplay", "--latency-msec=10", track])
time.sleep(LEAD + 2)
info = subprocess.run(["pactl", "list", "sink-inputs"], capture_output=True, text=True).stdout
src = subprocess.run(["pactl", "list", "source-outputs"], capture_output=True, text=True).stdout
play.wait()
time.sleep(0.5)
parec.terminate()
beat.send_signal(2)
beat.wait(5)

def usec(text, key):
    m = re.findall(key + r": (\d+) usec", text)
    return [int(x) / 1000 for x in m]
play_buffer = usec(info, "Buffer Latency")
sink_latency = usec(info, "Sink Latency")
cap_buffer = usec(src, "Buffer Latency")
source_latency = usec(src, "Source Latency")

# Each click: the first line after it that lights a lamp after a dark state,
# and the reference's first hit after it.
def first_after(times, t, limit=0.4):
    for x in times:
        if t - 0.02 <= x <= t + limit:
            return x
    return None
onsets = lit_after_dark(lines)

raw, ref, beyond = [], [], []
for c in click_times:
    t = t0 + c
    hit_ref = first_after(ref_hits, t)
    hit = first_after(onsets, t)
    if hit_ref is not None:
        ref.append((hit_ref - t) * 1000)
    if hit is not None:
        raw.append((hit - t) * 1000)
    if hit is not None and hit_ref is not None:
        beyond.append((hit - hit_ref) * 1000)

def p95(v):
    v = sorted(v)
    return v[min(len(v) - 1, int(round(0.95 * (len(v) - 1))))]
def row(name, v, goal=""):
    if not v:
        return f"| {name} | 0/{clicks} | - | - | {goal} |"
    return f"| {name} | {len(v)}/{clicks} | {statistics.median(v):.1f} | {p95(v):.1f} | {goal} |"

print(f"clicks: {clicks}, every {INTERVAL} s; lightbeat default style (spectrum), --rate 50")
print("pulseaudio's own buffering, mid-play (pactl): paplay buffer %s ms, sink %s ms; "
      "lightbeat's capture buffer %s ms, source %s ms" %
      (play_buffer, sink_latency, cap_buffer, source_latency))
print()
print("| from each click in the file to | clicks seen | median ms | p95 ms | goal |")
print("|---|---|---|---|---|")
print(row("the bare read loop's first 5 ms read that holds it (reference)", ref))
print(row("lightbeat's line reaching the listener (both include paplay's start)", raw))
print(row("lightbeat's line, beyond the bare read loop (the same click)", beyond, "median <= 30"))

# The analysis alone, free of the machine's noise: the same track through
# --file --lines, each click's first lit line after a dark one, in stream time.
out = subprocess.run([lightbeat, "--file", track, "--lines"], capture_output=True, text=True, check=True).stdout
offline = lit_after_dark([(float(t), line) for t, line in (x.split()[:2] for x in out.splitlines())])
print(row("lightbeat --file --lines on the same track: the analysis and line schedule alone",
          [(hit - c) * 1000 for c in click_times if (hit := first_after(offline, c)) is not None]))
