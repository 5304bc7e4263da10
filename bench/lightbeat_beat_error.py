"""Beat error at the lamp; see lightbeat_latency.sh --beats. Prints Markdown.

A metronome (a 100 Hz thump under a 2 kHz tick, every 0.5 s: 120 BPM) is
played into the private sink; lightbeat --style beat captures its monitor
and sends to a listener on the real transport, which stamps each line on
arrival. Each beat the style shows is a lamp lit after a dark one. The true
beats are put on the same clock by a bare read loop on the same monitor:
it finds each tick's first sample in the stream, and the stream's clock from
the earliest (least delayed) of its reads in the seconds around it, so each
beat's moment is when its first sample reached the monitor (a tick that a
stall of paplay's made late is late in the truth too). Error = line's
arrival - true beat."""
import array
import math
import socket
import statistics
import subprocess
import sys
import threading
import time

from lightbeat_live import RATE, listen, lit_after_dark, read_monitor, write_track

lightbeat, work, seconds = sys.argv[1], sys.argv[2], float(sys.argv[3])
START, PERIOD, SETTLE = 1.0, 0.5, 15.0
beats = [START + i * PERIOD for i in range(int((seconds - START) / PERIOD))]

samples = array.array("h", [0] * int((beats[-1] + 1.0) * RATE) * 2)
for t in beats:
    start = int(t * RATE)
    for n in range(int(0.08 * RATE)):
        x = 9000 * math.exp(-n / (0.02 * RATE)) * math.sin(2 * math.pi * 100 * n / RATE)
        if n < 0.005 * RATE:
            x += 9000 * math.sin(2 * math.pi * 2000 * n / RATE)
        samples[2 * (start + n)] = samples[2 * (start + n) + 1] = int(x)
track = f"{work}/metronome.wav"
write_track(track, samples)

server = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
server.bind("\0tormelin")
server.listen(1)


def run(lead):
    """One play with lightbeat at this --lead: (clock of each true beat, line arrivals)."""
    lines, connected = [], threading.Event()
    threading.Thread(target=listen, args=(server, lines, connected, True), daemon=True).start()
    beat = subprocess.Popen([lightbeat, "--quiet", "--style", "beat", "--lead", lead],
                            stderr=subprocess.DEVNULL)
    if not connected.wait(5):
        sys.exit("lightbeat did not connect")

    # The bare read loop: 5 ms reads; (arrival, samples read so far) per read,
    # and the stream index of the first sample of the first tick.
    reads, ticks = [], []

    def reference(now, values):
        total = reads[-1][1] if reads else 0
        for i in range(0, len(values), 2):
            if abs(values[i]) > 1000 and (not ticks or total + i // 2 - ticks[-1] > 0.2 * RATE):
                ticks.append(total + i // 2)
        reads.append((now, total + len(values) // 2))
    parec = read_monitor(reference)
    time.sleep(1.0)
    subprocess.run(["paplay", "--latency-msec=10", track], check=True)
    time.sleep(0.5)
    parec.terminate()
    beat.send_signal(2)
    beat.wait(5)
    if not ticks:
        sys.exit("the bare read loop heard no tick")
    # A read returns at its last sample's arrival plus a delay that is never
    # negative: the smallest (arrival - samples / rate) is the stream's clock.
    truth = []
    for tick in ticks:
        origin = min(now - total / RATE for now, total in reads if abs(total - tick) < 2 * RATE)
        truth.append(origin + (tick - 0.5) / RATE)  # The tick's own start, within a sample.
    return truth, lit_after_dark(lines)


def p95(v):
    v = sorted(abs(x) for x in v)
    return v[min(len(v) - 1, int(round(0.95 * (len(v) - 1))))]


# Imported by lightbeat_publish_error.py for the metronome, the listener and
# p95, with the same arguments.
if __name__ == "__main__":
    print(f"metronome at 120 BPM, {len(beats)} beats over {seconds:.0f} s; lightbeat --style beat, --rate 50; "
          f"beats from {SETTLE:.0f} s on (the tempo locked and the phase held)")
    print()
    print("| lightbeat | ticks heard after the settling | lines on a beat | median ms | p95 of abs ms | extra lines "
          "| ticks off the file's spacing by > 2 ms (playback stalls) | median / p95 ms, no stall in the 2 s before "
          "| goal |")
    print("|---|---|---|---|---|---|---|---|---|")
    for lead in ("auto", "0"):
        truth, lit = run(lead)
        counted = [t for t in truth if t >= truth[0] + SETTLE - START]
        errors, used, calm = [], set(), []
        stalled = [b for a, b in zip(truth, truth[1:]) if abs(b - a - PERIOD) > 0.002]
        for t in counted:
            near = [x for x in lit if abs(x - t) < PERIOD / 2]
            if near:
                x = min(near, key=lambda x: abs(x - t))
                errors.append((x - t) * 1000)
                used.add(x)
                if not any(0 <= t - b < 2 for b in stalled):
                    calm.append(errors[-1])
        extra = sum(1 for x in lit if x >= counted[0] - PERIOD / 2 and x not in used)
        stalls = len(stalled)
        quiet = f"{statistics.median(calm):+.1f} / {p95(calm):.1f} ({len(calm)})" if calm else "-"
        if errors:
            med, p = statistics.median(errors), p95(errors)
            met = "met" if abs(med) <= 5 and p <= 15 else "NOT met"
            print(f"| --lead {lead} | {len(counted)} | {len(errors)} | {med:+.1f} | {p:.1f} | {extra} | {stalls} | {quiet} | "
                  f"median within +-5, p95 within 15: {met} |")
        else:
            print(f"| --lead {lead} | {len(counted)} | 0 | - | - | {extra} | {stalls} | - | NOT met |")
