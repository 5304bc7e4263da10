"""Beat at QLC+'s DMX output; see lightbeat_latency.sh --qlcplus. Prints
Markdown.

The metronome of lightbeat_beat_error.py (120 BPM, through the same private
sound server, its true beats from the same bare read loop), lightbeat
--style beat --lead auto --os2l 127.0.0.1 --osc 127.0.0.1:7701 to QLC+ on
the workspace of tests/support/qlcplus.sh (started by the shell script):
each beat steps one chaser through OS2L and one through OSC, and QLC+ sends
universe 1 as Art-Net to a receiver on loopback that stamps each change of
the levels (tests/support/artnet_dmx.py). A packet socket on the loopback
stamps each OS2L beat message (TCP to port 9996) and each OSC
/lightbeat/beat (UDP to 7701) as it reaches QLC+'s socket, without a hop of
its own in their way. The lamps' line at the pipe's listener runs beside
them in the same run, as the reference.

Error = arrival - true beat, for the messages at QLC+'s sockets and for the
chasers' steps in its DMX; QLC+'s own delay = a step - the message that
made it (the latest of its kind before the step)."""
import os
import socket
import statistics
import struct
import subprocess
import sys
import threading
import time

import lightbeat_beat_error as metronome  # noqa: F401 (writes the track, binds the listener)
from lightbeat_live import listen, lit_after_dark, read_monitor

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "support"))
import artnet_dmx  # noqa: E402

lightbeat, work = sys.argv[1], sys.argv[2]  # and the seconds, read by the metronome
PERIOD, SETTLE, RATE = metronome.PERIOD, metronome.SETTLE, metronome.RATE
OS2L_PORT, OSC_PORT = 9996, 7701
ETH_P_IP, PACKET_HOST = 0x0800, 0
stop = threading.Event()


def sniff(os2l, osc):
    """Arrivals at QLC+'s sockets: IPv4 packets on the loopback as they are
    received (each is seen once sent and once received)."""
    s = socket.socket(socket.AF_PACKET, socket.SOCK_DGRAM, socket.htons(ETH_P_IP))
    s.bind(("lo", 0))
    s.settimeout(0.2)

    def loop():
        while not stop.is_set():
            try:
                data, address = s.recvfrom(65536)
            except socket.timeout:
                continue
            now = time.monotonic()
            if address[2] != PACKET_HOST:
                continue
            header = (data[0] & 15) * 4
            protocol = data[9]
            port = struct.unpack(">H", data[header + 2:header + 4])[0]
            if protocol == 6 and port == OS2L_PORT:
                payload = data[header + (data[header + 12] >> 4) * 4:]
                os2l.extend([now] * payload.count(b'"evt":"beat"'))
            elif protocol == 17 and port == OSC_PORT and b"/lightbeat/beat\0" in data[header + 8:]:
                osc.append(now)
    threading.Thread(target=loop, daemon=True).start()


def receive_dmx(steps_os2l, steps_osc):
    """Each change of the OS2L chaser's dimmers (channels 1-4) and the OSC
    chaser's (5-8) after the first frame."""
    s = artnet_dmx.open_socket()

    def loop():
        last = None
        for now, levels in artnet_dmx.changes(s, 0, 8, stop.is_set):
            if last is not None:
                if levels[:4] != last[:4]:
                    steps_os2l.append(now)
                if levels[4:] != last[4:]:
                    steps_osc.append(now)
            last = levels
    threading.Thread(target=loop, daemon=True).start()


os2l, osc, steps_os2l, steps_osc, lines, connected = [], [], [], [], [], threading.Event()
sniff(os2l, osc)
receive_dmx(steps_os2l, steps_osc)
threading.Thread(target=listen, args=(metronome.server, lines, connected, True), daemon=True).start()
beat = subprocess.Popen([lightbeat, "--quiet", "--style", "beat", "--lead", "auto",
                         "--os2l", "127.0.0.1", "--osc", f"127.0.0.1:{OSC_PORT}"],
                        stderr=subprocess.DEVNULL)
if not connected.wait(5):
    sys.exit("lightbeat did not connect")
reads, ticks = [], []


def reference(now, values):
    total = reads[-1][1] if reads else 0
    for i in range(0, len(values), 2):
        if abs(values[i]) > 1000 and (not ticks or total + i // 2 - ticks[-1] > 0.2 * RATE):
            ticks.append(total + i // 2)
    reads.append((now, total + len(values) // 2))


parec = read_monitor(reference)
time.sleep(1.0)
subprocess.run(["paplay", "--latency-msec=10", metronome.track], check=True)
time.sleep(0.5)
parec.terminate()
beat.send_signal(2)
beat.wait(5)
stop.set()
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


def own_delay(steps, messages):
    """Each step after the settling minus the latest message before it."""
    out = []
    for x in steps:
        if counted and x >= counted[0] - PERIOD / 2:
            before = [m for m in messages if m <= x]
            if before and x - before[-1] < PERIOD:
                out.append((x - before[-1]) * 1000)
    return out


print(f"metronome at 120 BPM, {len(metronome.beats)} beats; lightbeat --style beat --lead auto --os2l --osc "
      f"to QLC+ 4.12.6 on loopback; beats from {SETTLE:.0f} s on; {len(counted)} ticks heard after it; "
      f"chaser steps seen over the whole run: OS2L {len(steps_os2l)}, OSC {len(steps_osc)}; "
      f"beat messages at QLC+: OS2L {len(os2l)}, OSC {len(osc)}")
print()
print("| at | beats seen | median ms | p95 of abs ms | goal |")
print("|---|---|---|---|---|")
for name, arrivals, goal in (
        ("lamp line at the pipe's listener (reference)", lit_after_dark(lines), True),
        ("OS2L beat message at QLC+'s socket", os2l, True),
        ("QLC+'s DMX: the OS2L chaser's step", steps_os2l, False),
        ("OSC /lightbeat/beat at QLC+'s socket", osc, True),
        ("QLC+'s DMX: the OSC chaser's step", steps_osc, False)):
    e = errors_of(arrivals)
    if not e:
        print(f"| {name} | 0 | - | - | {'NOT met' if goal else 'reported'} |")
        continue
    med, p = statistics.median(e), metronome.p95(e)
    met = "met" if abs(med) <= 5 and p <= 15 else "NOT met"
    print(f"| {name} | {len(e)} | {med:+.1f} | {p:.1f} | "
          f"{'median within +-5, p95 within 15: ' + met if goal else 'reported'} |")
for name, steps, messages in (("QLC+'s own delay: OS2L message to step", steps_os2l, os2l),
                              ("QLC+'s own delay: OSC message to step", steps_osc, osc)):
    d = own_delay(steps, messages)
    if d:
        print(f"| {name} | {len(d)} | {statistics.median(d):+.1f} | {metronome.p95(d):.1f} "
              f"(min {min(d):.1f}, max {max(d):.1f}) | reported |")
    else:
        print(f"| {name} | 0 | - | - | reported |")
