"""Band lamps on real music: each lamp's on and off periods as the lines give
them (lightbeat --file --lines, style spectrum), how many are shorter than a
limit (flicker, not a flash), and the share of time with no lamp or all 16
lit. One command, from the top of the tree:
  python3 bench/lamp_periods.py [LIGHTBEAT] [TRACKS] [LIMIT_MS]
(defaults: build/linux/tools/lightbeat, 8 of Debian's wesnoth-1.16-music
tracks in name order, 45 ms)."""
import glob
import subprocess
import sys

lightbeat = sys.argv[1] if len(sys.argv) > 1 else "build/linux/tools/lightbeat"
count = int(sys.argv[2]) if len(sys.argv) > 2 else 8
limit = (float(sys.argv[3]) if len(sys.argv) > 3 else 45) / 1000
tracks = sorted(glob.glob("/usr/share/games/wesnoth/1.16/data/core/music/*.ogg"))[:count]
if not tracks:
    sys.exit("no wesnoth-1.16-music tracks")

total = {"seconds": 0, "periods": 0, "short": 0, "changes": 0, "dark": 0.0, "full": 0.0}
print("| track | seconds | lamp periods | shorter than %d ms | per 30 s | line changes/s | no lamp lit | all 16 lit |"
      % round(limit * 1000))
print("|---|---|---|---|---|---|---|---|")
for track in tracks:
    out = subprocess.run([lightbeat, "--file", track, "--lines"] + sys.argv[4:], capture_output=True, text=True,
                         check=True).stdout.split("\n")
    lines = [(float(t), int(l[3:], 16)) for t, l in (x.split() for x in out if x)]
    end = lines[-1][0]
    since = [None] * 16
    state = 0
    periods = short = 0
    dark = full = 0.0
    for i, (t, bits) in enumerate(lines):
        if i:
            span = t - lines[i - 1][0]
            dark += span if state == 0 else 0
            full += span if state == 0xFFFF else 0
        for b in range(16):
            if (bits ^ state) >> b & 1:
                if since[b] is not None:
                    periods += 1
                    short += t - since[b] < limit
                since[b] = t
        state = bits
    print("| %s | %.0f | %d | %d | %.1f | %.1f | %.1f %% | %.1f %% |" % (
        track.rsplit("/", 1)[-1], end, periods, short, 30 * short / end, len(lines) / end,
        100 * dark / end, 100 * full / end))
    for k, v in (("seconds", end), ("periods", periods), ("short", short), ("changes", len(lines)),
                 ("dark", dark), ("full", full)):
        total[k] += v
s = total["seconds"]
print("| all %d | %.0f | %d | %d | %.1f | %.1f | %.1f %% | %.1f %% |" % (
    len(tracks), s, total["periods"], total["short"], 30 * total["short"] / s, total["changes"] / s,
    100 * total["dark"] / s, 100 * total["full"] / s))
