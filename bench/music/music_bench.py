#!/usr/bin/python3
"""Analysis-quality benchmarks, all through lightbeat's --file mode.

  onsets   F-measure, precision and recall at +-50 ms (mir_eval) on the
           generated sets, ours and aubioonset's default method side by side
  tempo    metronome and drum tracks 70-180 BPM: the tempo from our beats,
           seconds from the music's start to lock (within 2 %, for good)
  cpu      CPU seconds per second of 48 kHz stereo audio: lightbeat, a bare
           read loop (sox decoding to nothing) and aubioonset, same file
  music    real music, style spectrum: lamp changes per second, share of
           playing time with no lamp lit and with all sixteen lit, and how
           often our onsets agree with aubio's (F at +-50 ms, aubio's as truth)

  music_bench.py --lightbeat PATH --signals DIR [--music DIR] [--tracks N]
Prints Markdown tables.
"""
import argparse
import glob
import os
import resource
import subprocess
import sys

import mir_eval
import numpy as np

WINDOW = 0.05


def run(cmd):
    return subprocess.run(cmd, check=True, capture_output=True, text=True).stdout


def times(text, column=0):
    out = []
    for line in text.splitlines():
        parts = line.split()
        if parts:
            out.append(float(parts[column]))
    return np.array(out)


def ours(lightbeat, path, what):
    return times(run([lightbeat, "--file", path, "--" + what]))


def aubio(path):
    return times(run(["aubioonset", "-i", path]))


def counts(ref, est):
    """Matches, estimates, references: summed over files before F is taken."""
    if len(ref) == 0 or len(est) == 0:
        return 0, len(est), len(ref)
    return len(mir_eval.util.match_events(ref, est, WINDOW)), len(est), len(ref)


def prf(c):
    m, e, r = c
    p = m / e if e else 0.0
    rec = m / r if r else 0.0
    f = 2 * p * rec / (p + rec) if p + rec else 0.0
    return f, p, rec


def add(a, b):
    return tuple(x + y for x, y in zip(a, b))


def index(signals):
    rows = []
    with open(os.path.join(signals, "index.tsv")) as f:
        for line in f:
            s, name, bpm = line.split()
            rows.append((s, name, float(bpm)))
    return rows


def onset_table(args, rows):
    print("### Onsets (F-measure at +-50 ms; precision, recall)\n")
    print("| set | files | ours F | ours P | ours R | aubio F | aubio P | aubio R | goal |")
    print("|---|---|---|---|---|---|---|---|---|")
    sets = {}
    for s, name, _ in rows:
        wav = os.path.join(args.signals, name + ".wav")
        ref = np.loadtxt(os.path.join(args.signals, name + ".onsets"), ndmin=1)
        a = sets.setdefault(s, [(0, 0, 0), (0, 0, 0), 0])
        a[0] = add(a[0], counts(ref, ours(args.lightbeat, wav, "onsets")))
        a[1] = add(a[1], counts(ref, aubio(wav)))
        a[2] += 1
        if args.verbose:
            print("  %s ours %.3f %.3f %.3f  aubio %.3f %.3f %.3f" % ((name,) + prf(counts(ref, ours(args.lightbeat, wav, "onsets"))) + prf(counts(ref, aubio(wav)))), file=sys.stderr)
    for s, (o, a, n) in sets.items():
        fo, fa = prf(o), prf(a)
        goal = ">= 0.95 and > aubio" if s != "metronome" else "> aubio"
        met = (fo[0] >= 0.95 or s == "metronome") and fo[0] > fa[0]
        print("| %s | %d | %.3f | %.3f | %.3f | %.3f | %.3f | %.3f | %s: %s |"
              % ((s, n) + fo + fa + (goal, "met" if met else "NOT met")))
    print()


def lock_time(beats, bpm, start):
    """Seconds from the music's start to the first beat from which the tempo
    (60 / the mean of the last four beat intervals) stays within 2 %."""
    if len(beats) < 5:
        return None
    est = [(beats[i], 60 / np.mean(np.diff(beats[i - 4:i + 1]))) for i in range(4, len(beats))]
    good = [abs(b / bpm - 1) <= 0.02 for _, b in est]
    if not good[-1]:
        return None
    i = len(good) - 1
    while i > 0 and good[i - 1]:
        i -= 1
    # The window that first agrees began four beats earlier: that is when the
    # tempo was right, so count from there.
    return max(0.0, beats[i + 4 - 4] - start) if i == 0 else beats[i] - start


def tempo_table(args, rows):
    print("### Tempo (metronome and drum tracks, 70-180 BPM; goal: within 2 % within 4 s)\n")
    print("| track | BPM | our tempo at the end | seconds to lock | goal |")
    print("|---|---|---|---|---|")
    locked, total, worst = 0, 0, 0.0
    for s, name, bpm in rows:
        if s != "metronome" and not (s == "drums" and name.endswith("_6dB")):
            continue
        wav = os.path.join(args.signals, name + ".wav")
        ref = np.loadtxt(os.path.join(args.signals, name + ".onsets"), ndmin=1)
        beats = ours(args.lightbeat, wav, "beats")
        t = lock_time(beats, bpm, ref[0])
        end = 60 / np.mean(np.diff(beats[-5:])) if len(beats) >= 5 else 0
        ok = t is not None and t <= 4
        locked += ok
        total += 1
        worst = max(worst, t if t is not None else 99)
        print("| %s | %d | %.1f | %s | %s |" % (name, bpm, end, "%.2f" % t if t is not None else "never",
                                                "met" if ok else "NOT met"))
    print("\nLocked within 4 s: %d of %d tracks; slowest lock %.2f s.\n" % (locked, total, worst))


def cpu_of(cmd):
    before = resource.getrusage(resource.RUSAGE_CHILDREN)
    subprocess.run(cmd, check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    after = resource.getrusage(resource.RUSAGE_CHILDREN)
    return (after.ru_utime - before.ru_utime) + (after.ru_stime - before.ru_stime)


def cpu_table(args, rows):
    # Two minutes of 48 kHz stereo: the pad sets strung together.
    path = os.path.join(args.signals, "cpu_48k_stereo.wav")
    if not os.path.exists(path):
        parts = [os.path.join(args.signals, n + ".wav") for s, n, _ in rows if s == "drums+pad"]
        parts = [p for p in parts if int(run(["soxi", "-r", p])) == 48000]
        run(["sox"] + parts * 2 + ["-r", "48000", "-c", "2", path])
    seconds = float(run(["soxi", "-D", path]))
    runs = 3
    lb = min(cpu_of([args.lightbeat, "--file", path, "--onsets"]) for _ in range(runs))
    bare = min(cpu_of(["sox", path, "-t", "f32", "/dev/null"]) for _ in range(runs))
    au = min(cpu_of(["aubioonset", "-i", path]) for _ in range(runs))
    print("### CPU per second of 48 kHz stereo audio (%.0f s file, best of %d; goal: analysis <= 1 %% of one core)\n"
          % (seconds, runs))
    print("| program | CPU % of one core |")
    print("|---|---|")
    print("| lightbeat --file --onsets (read + analysis) | %.3f |" % (100 * lb / seconds))
    print("| bare read loop (sox to nothing) | %.3f |" % (100 * bare / seconds))
    print("| lightbeat minus the bare read: the analysis | %.3f (%s) |"
          % (100 * max(0.0, lb - bare) / seconds, "met" if lb - bare <= 0.01 * seconds else "NOT met"))
    print("| aubioonset (default method) | %.3f |" % (100 * au / seconds))
    print()


def lamp_timeline(text):
    out = []
    for line in text.splitlines():
        parts = line.split()
        if len(parts) == 2 and parts[1].startswith(">"):
            out.append((float(parts[0]), int(parts[1][3:], 16)))
    return out


def playing_mask(path, hop=0.01):
    """Where the music plays: 10 ms steps at or above -60 dBFS (RMS of the
    louder channel, a full-scale sine reading 0), from sox's decoding."""
    raw = subprocess.run(["sox", path, "-t", "f32", "-r", "22050", "-"], check=True,
                         capture_output=True).stdout
    channels = int(run(["soxi", "-c", path]))
    x = np.frombuffer(raw, dtype=np.float32).reshape(-1, channels)
    n = int(22050 * hop)
    frames = len(x) // n
    ms = (x[:frames * n].reshape(frames, n, channels) ** 2).mean(axis=1).max(axis=1)
    return 10 * np.log10(ms + 1e-20) + 3.01 >= -60


def music_table(args):
    tracks = sorted(glob.glob(os.path.join(args.music, "*.ogg")))
    if args.tracks:
        tracks = tracks[::max(1, len(tracks) // args.tracks)][:args.tracks]
    print("### Real music: %d tracks of wesnoth-1.16-music, style spectrum\n" % len(tracks))
    print("| track | minutes | lamp changes/s | no lamp lit | all 16 lit | onsets agreeing with aubio (F) |")
    print("|---|---|---|---|---|---|")
    tot = {"play": 0.0, "none": 0.0, "all": 0.0, "lines": 0, "agree": (0, 0, 0)}
    for path in tracks:
        mask = playing_mask(path)
        lamps = np.zeros(len(mask), dtype=np.int64)
        for t, v in lamp_timeline(run([args.lightbeat, "--file", path, "--lines"])):
            lamps[min(len(lamps), int(round(t / 0.01))):] = v
        play = mask.sum() * 0.01
        none = (mask & (lamps == 0)).sum() * 0.01
        full = (mask & (lamps == 0xFFFF)).sum() * 0.01
        changes = np.count_nonzero(np.diff(lamps))
        c = counts(aubio(path), ours(args.lightbeat, path, "onsets"))
        tot["play"] += play
        tot["none"] += none
        tot["all"] += full
        tot["lines"] += changes
        tot["agree"] = add(tot["agree"], c)
        print("| %s | %.1f | %.1f | %.1f %% | %.1f %% | %.2f |" % (os.path.basename(path), len(mask) * 0.01 / 60,
              changes / max(play, 1e-9), 100 * none / max(play, 1e-9), 100 * full / max(play, 1e-9), prf(c)[0]))
        sys.stdout.flush()
    p = max(tot["play"], 1e-9)
    f, prec, rec = prf(tot["agree"])
    print("| **all** | %.1f | %.1f | %.1f %% (goal <= 5 %%: %s) | %.1f %% (goal <= 5 %%: %s) | %.2f (P %.2f, R %.2f) |"
          % (p / 60, tot["lines"] / p, 100 * tot["none"] / p, "met" if tot["none"] <= 0.05 * p else "NOT met",
             100 * tot["all"] / p, "met" if tot["all"] <= 0.05 * p else "NOT met", f, prec, rec))
    print()


def main():
    ap = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument("--lightbeat", required=True)
    ap.add_argument("--signals", required=True)
    ap.add_argument("--music", default="")
    ap.add_argument("--tracks", type=int, default=0, help="only this many real-music tracks (0: all)")
    ap.add_argument("--only", default="onsets,tempo,cpu,music")
    ap.add_argument("--verbose", action="store_true")
    args = ap.parse_args()
    rows = index(args.signals)
    parts = args.only.split(",")
    if "onsets" in parts:
        onset_table(args, rows)
    if "tempo" in parts:
        tempo_table(args, rows)
    if "cpu" in parts:
        cpu_table(args, rows)
    if "music" in parts and args.music:
        music_table(args)


if __name__ == "__main__":
    main()
