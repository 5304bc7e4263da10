"""Beat at the other lighting programs' sockets; see lightbeat_latency.sh
--publish. Prints Markdown.

The metronome of lightbeat_beat_error.py (120 BPM, through the same private
sound server, its true beats from the same bare read loop), lightbeat
--style beat --lead auto with --osc, --wled-sync and --os2l to receivers
on loopback that stamp each datagram (OS2L: each read) on arrival, and the lamps' line at the
pipe's listener beside them in the same run (the reference the lamps'
figures come from). Error = arrival - true beat: OSC's /lightbeat/beat
messages, OS2L's beat messages, WLED sync's peak flag (raised on onsets, which a metronome's
beats are: the first packet with it after one without), the lamp lit after
a dark one. Also the tempo /lightbeat/tempo reported from the 8th second
to the last tick."""
import socket
import statistics
import subprocess
import struct
import sys
import threading
import time

import lightbeat_beat_error as metronome  # noqa: F401 (writes the track, binds the listener)
from lightbeat_live import listen, lit_after_dark, read_monitor

lightbeat, work = sys.argv[1], sys.argv[2]  # and the seconds, read by the metronome
PERIOD, SETTLE = metronome.PERIOD, metronome.SETTLE


def receiver(port, each):
    s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
    s.bind(("127.0.0.1", port))
    s.settimeout(0.2)
    stop = threading.Event()

    def loop():
        while not stop.is_set():
            try:
                data = s.recv(4096)
            except socket.timeout:
                continue
            each(time.monotonic(), data)
    threading.Thread(target=loop, daemon=True).start()
    return stop


def stream_receiver(port, each):
    listener = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    listener.bind(("127.0.0.1", port))
    listener.listen(1)
    listener.settimeout(0.2)
    stop = threading.Event()

    def loop():
        conn = None
        while not stop.is_set():
            try:
                if conn is None:
                    conn, _ = listener.accept()
                    conn.settimeout(0.2)
                data = conn.recv(4096)
            except socket.timeout:
                continue
            if not data:
                conn = None
                continue
            each(time.monotonic(), data)
    threading.Thread(target=loop, daemon=True).start()
    return stop


osc_beats, os2l_beats, tempos, peaks, lines, connected = [], [], [], [], [], threading.Event()
last_peak = [0]


def on_osc(now, data):
    at = data.find(b"/lightbeat/beat\0")
    if at >= 0:
        osc_beats.append(now)
    at = data.find(b"/lightbeat/tempo\0")
    if at >= 0:
        tempos.append((now, struct.unpack(">f", data[at + 24:at + 28])[0]))


def on_wled(now, data):
    if len(data) == 44:
        if data[16] and not last_peak[0]:
            peaks.append(now)
        last_peak[0] = data[16]


def on_os2l(now, data):
    os2l_beats.extend([now] * data.count(b'"evt":"beat"'))


stops = [receiver(9771, on_osc), receiver(9772, on_wled), stream_receiver(9773, on_os2l)]
threading.Thread(target=listen, args=(metronome.server, lines, connected, True), daemon=True).start()
beat = subprocess.Popen([lightbeat, "--quiet", "--style", "beat", "--lead", "auto",
                         "--osc", "127.0.0.1:9771", "--wled-sync", "127.0.0.1:9772",
                         "--os2l", "127.0.0.1:9773"],
                        stderr=subprocess.DEVNULL)
if not connected.wait(5):
    sys.exit("lightbeat did not connect")
reads, ticks = [], []


def reference(now, values):
    total = reads[-1][1] if reads else 0
    for i in range(0, len(values), 2):
        if abs(values[i]) > 1000 and (not ticks or total + i // 2 - ticks[-1] > 0.2 * metronome.RATE):
            ticks.append(total + i // 2)
    reads.append((now, total + len(values) // 2))


parec = read_monitor(reference)
time.sleep(1.0)
subprocess.run(["paplay", "--latency-msec=10", metronome.track], check=True)
time.sleep(0.5)
parec.terminate()
beat.send_signal(2)
beat.wait(5)
for stop in stops:
    stop.set()
RATE = metronome.RATE
truth = []
for tick in ticks:
    origin = min(now - total / RATE for now, total in reads if abs(total - tick) < 2 * RATE)
    truth.append(origin + (tick - 0.5) / RATE)
counted = [t for t in truth if t >= truth[0] + SETTLE - metronome.START]


def errors_of(arrivals):
    out = []
    for t in counted:
        near = [x for x in arrivals if abs(x - t) < PERIOD / 2]
        if near:
            out.append((min(near, key=lambda x: abs(x - t)) - t) * 1000)
    return out


print(f"metronome at 120 BPM, {len(metronome.beats)} beats; lightbeat --style beat --lead auto --osc --wled-sync --os2l, "
      f"receivers on loopback; beats from {SETTLE:.0f} s on; {len(counted)} ticks heard after it")
print()
print("| at | beats seen | median ms | p95 of abs ms | goal |")
print("|---|---|---|---|---|")
for name, arrivals in (("lamp line at the pipe's listener (reference)", lit_after_dark(lines)),
                       ("OSC /lightbeat/beat at its socket", osc_beats),
                       ("OS2L beat message at its socket", os2l_beats),
                       ("WLED sync's peak flag at its socket", peaks)):
    e = errors_of(arrivals)
    if not e:
        print(f"| {name} | 0 | - | - | NOT met |")
        continue
    med, p = statistics.median(e), metronome.p95(e)
    met = "met" if abs(med) <= 5 and p <= 15 else "NOT met"
    print(f"| {name} | {len(e)} | {med:+.1f} | {p:.1f} | median within +-5, p95 within 15: {met} |")
# While the metronome plays: a beat predicted after its last tick has no
# tempo to keep.
playing = [(now, bpm) for now, bpm in tempos if truth and truth[0] + 8 <= now <= truth[-1] + PERIOD / 2]
late = [bpm for _, bpm in playing]
if late:
    worst = max(abs(b - 120) for b in late)
    worst_at = max((abs(b - 120), now - truth[0]) for now, b in playing)[1]
    print(f"| tempo at OSC after the 8th second | {len(late)} reports | {statistics.median(late):.3f} BPM | "
          f"worst {worst:.3f} BPM off, {worst_at:.1f} s after the first beat | within 0.1 BPM: {'met' if worst <= 0.1 else 'NOT met'} |")
