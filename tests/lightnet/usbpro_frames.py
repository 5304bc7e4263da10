#!/usr/bin/env python3
"""What a stand-in DMX USB Pro (usbpro_widget.py) read in the two runs of
the end-to-end tests (--start 5 --channels-per-lamp 2 --on 200 --off 10,
lamps 8001 last, 0003 after the reopening), checked: every message well
formed, one parameters request per opening, frames of start code 0 and 512
slots at most 44 a second; in the first run the all-off frame first, the
lines' last state last and a keep-alive each second after it, the pty seen
to close; after the reopening the newest state. With --refused, a run of a
port that is no widget: asked again after the pause, no frame sent.

  usbpro_frames.py FIRST.json REOPENED.json
  usbpro_frames.py --refused RUN.json
"""
import json, sys

if sys.argv[1] == "--refused":
    run = json.load(open(sys.argv[2]))
    print(f"requests {run['requests']}, frames {len(run['frames'])}, faults {run['faults'][:2]}")
    sys.exit(0 if run["requests"] >= 2 and not run["frames"] and not run["faults"] else 1)


def levels(lamps):
    """The first 40 slots (usbpro_widget.py --channels 40) for the lamps."""
    lit = [str(200 if lamps >> (k // 2) & 1 else 10) for k in range(32)]
    return ",".join(["0"] * 4 + lit + ["0"] * 4)


LATE = 0.03
good, again = json.load(open(sys.argv[1])), json.load(open(sys.argv[2]))
want_last, want_reopened = levels(0x8001), levels(0x0003)
faults = []
for name, run in (("first", good), ("reopened", again)):
    if run["faults"] or run["other"]:
        faults.append(f"{name}: not well formed: {run['faults'][:3]} labels {run['other'][:3]}")
    if run["requests"] != 1:
        faults.append(f"{name}: {run['requests']} parameters requests, want 1 before the frames")
    if any(f[1] != 0 or f[2] != 512 for f in run["frames"]):
        faults.append(f"{name}: a frame not of start code 0 and 512 slots")
    # At most 44 a second: k frames apart are k * 22.7 ms apart or more. The
    # times are the widget's reads, which a loaded machine delays (two
    # frames can come in one read): up to LATE late each.
    times = [f[0] for f in run["frames"]]
    for i, a in enumerate(times):
        for k, b in enumerate(times[i + 1:], 1):
            if b - a < k / 44 - LATE:
                faults.append(f"{name}: {k + 1} frames within {1000 * (b - a):.0f} ms (at most 44 a second)")
                break
        else:
            continue
        break
if not good["closed"]:
    faults.append("first: the widget did not see its pty close")
frames = good["frames"]
if len(frames) < 4:
    faults.append(f"first: {len(frames)} frames")
else:
    if frames[0][3] != levels(0):
        faults.append(f"first: the first frame is not all lamps off: {frames[0][3]}")
    if frames[-1][3] != want_last:
        faults.append(f"first: the last frame {frames[-1][3]}, want {want_last}")
    # After the lines: only keep-alives, one a second.
    idle = [f[0] for f in frames if f[3] == want_last]
    gaps = [b - a for a, b in zip(idle, idle[1:])]
    if len(idle) < 3 or any(g > 1.1 or g < 0.9 for g in gaps[1:]):
        faults.append(f"first: keep-alive gaps {gaps}")
if not again["frames"] or again["frames"][-1][3] != want_reopened:
    faults.append(f"reopened: last frame {again['frames'][-1][3] if again['frames'] else None}, want {want_reopened}")
if faults:
    print("\n".join(faults))
print(f"frames: {len(frames)} then {len(again['frames'])} after the reopening")
sys.exit(1 if faults else 0)
