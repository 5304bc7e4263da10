#!/usr/bin/python3
"""Analysis-quality benchmarks, all through lightbeat's --file mode.

  onsets   F-measure, precision and recall at +-50 ms (mir_eval) on the
           generated sets, ours and aubioonset's hfc, specflux and energy
           methods side by side
  tempo    drum, accent-change and metronome tracks 72-180 BPM: our tempo
           at the end, whether its octave is right, octave flips after the
           8th second, mir_eval's beat F
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


AUBIO_METHODS = ("hfc", "specflux", "energy")


def aubio(path, method="hfc"):
    return times(run(["aubioonset", "-O", method, "-i", path]))


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
    print("### Onsets (F-measure at +-50 ms, mir_eval; precision, recall), aubio's three methods on the same files\n")
    print("| set | files | ours F (P, R) | " + " | ".join("aubio %s F" % m for m in AUBIO_METHODS)
          + " | goal: ours >= aubio's best + 0.01 |")
    print("|---|---|---|" + "---|" * len(AUBIO_METHODS) + "---|")
    sets = {}
    for s, name, _ in rows:
        if args.sets and s not in args.sets.split(","):
            continue
        wav = os.path.join(args.signals, name + ".wav")
        ref = np.loadtxt(os.path.join(args.signals, name + ".onsets"), ndmin=1)
        a = sets.setdefault(s, [(0, 0, 0)] * (1 + len(AUBIO_METHODS)) + [0])
        mine = counts(ref, ours(args.lightbeat, wav, "onsets"))
        a[0] = add(a[0], mine)
        theirs = [counts(ref, aubio(wav, m)) for m in AUBIO_METHODS]
        for i, c in enumerate(theirs):
            a[1 + i] = add(a[1 + i], c)
        a[-1] += 1
        if args.verbose:
            print("  %s ours %.3f  " % (name, prf(mine)[0])
                  + " ".join("%s %.3f" % (m, prf(c)[0]) for m, c in zip(AUBIO_METHODS, theirs)), file=sys.stderr)
    for s, a in sets.items():
        fo = prf(a[0])
        fa = [prf(c)[0] for c in a[1:-1]]
        best = max(fa)
        print("| %s | %d | %.3f (%.3f, %.3f) | %s | %s |"
              % ((s, a[-1]) + fo + (" | ".join("%.3f" % f for f in fa),
                                    ("met" if fo[0] >= best + 0.01 else "NOT met") + " (best %.3f)" % best)))
    print()


def octave_of(beats, period):
    """The octave of each local beat period (the median of four intervals)
    against the true one: 0 right, -1 half, +1 double, etc."""
    d = np.diff(beats)
    if len(d) < 4:
        return np.array([], dtype=int), np.array([])
    local = np.array([np.median(d[i - 3:i + 1]) for i in range(3, len(d))])
    return np.round(np.log2(local / period)).astype(int), beats[4:]


def tempo_table(args, rows):
    print("### Tempo and beats (every track with a tempo; mir_eval beat F at +-70 ms after its first 5 s)\n")
    print("| track | BPM | our tempo at the end | octave right | octave flips after lock | beat F | goal |")
    print("|---|---|---|---|---|---|---|")
    right, total, flips_all, beat_f = 0, 0, 0, []
    for s, name, bpm in rows:
        if s not in ("drums", "accents", "metronome"):
            continue
        wav = os.path.join(args.signals, name + ".wav")
        ref = np.loadtxt(os.path.join(args.signals, name + ".beats"), ndmin=1)
        beats = ours(args.lightbeat, wav, "beats")
        octave, at = octave_of(beats, 60.0 / bpm)
        end = 60 / np.median(np.diff(beats[-5:])) if len(beats) >= 5 else 0
        ok = len(octave) > 0 and octave[-1] == 0 and abs(end / bpm - 1) <= 0.02
        # Locked: from the first time the octave is right for good or the 8th second.
        after = octave[at >= 8.0]
        flips = int(np.count_nonzero(np.diff(after))) if len(after) > 1 else 0
        f = mir_eval.beat.f_measure(mir_eval.beat.trim_beats(ref), mir_eval.beat.trim_beats(beats))
        beat_f.append(f)
        right += ok
        total += 1
        flips_all += flips
        print("| %s | %d | %.1f | %s | %d | %.3f | %s |" % (name, bpm, end, "yes" if ok else "no", flips, f,
                                                            "met" if ok and flips == 0 else "NOT met"))
    print("\nTempo right in its octave on %d of %d tracks; %d octave flips after the 8th second in all; "
          "mean beat F %.3f.\n" % (right, total, flips_all, np.mean(beat_f) if beat_f else 0))


def beat_error_table(args, rows):
    """Beat time minus the true beat, after the 8th second, on the tracks
    whose octave is right: at the analysis (--beats, --lead 0), and with the
    lead that a live run would use (--lead auto: half a line slot here, the
    file having no capture delay), which a line's slot then takes back."""
    print("### Beat error (our beat minus the true one, tracks in the right octave, after the 8th second)\n")
    print("| lead | beats | median | 95th percentile of the error's size | goal (at the lamp): median within +-5 ms, p95 within 15 ms |")
    print("|---|---|---|---|---|")
    for lead in ("0", "auto"):
        errors = []
        for s, name, bpm in rows:
            if s not in ("drums", "accents", "metronome"):
                continue
            wav = os.path.join(args.signals, name + ".wav")
            ref = np.loadtxt(os.path.join(args.signals, name + ".beats"), ndmin=1)
            beats = times(run([args.lightbeat, "--file", wav, "--beats", "--lead", lead]))
            octave, _ = octave_of(beats, 60.0 / bpm)
            if len(octave) == 0 or octave[-1] != 0:
                continue
            for b in beats[beats > 8]:
                errors.append(b - ref[np.argmin(np.abs(ref - b))])
        e = np.array(errors) * 1000
        print("| %s | %d | %+.1f ms | %.1f ms | %s |" % (lead, len(e), np.median(e), np.percentile(np.abs(e), 95),
                                                          "at the analysis only (not at the lamp)"))
    print()


def cpu_of(cmd):
    before = resource.getrusage(resource.RUSAGE_CHILDREN)
    subprocess.run(cmd, check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    after = resource.getrusage(resource.RUSAGE_CHILDREN)
    return (after.ru_utime - before.ru_utime) + (after.ru_stime - before.ru_stime)


def cpu_table(args, rows):
    # Two minutes of 48 kHz stereo: the pad sets strung together.
    path = os.path.join(args.signals, "cpu_48k_stereo.wav")
    if not os.path.exists(path):
        parts = [os.path.join(args.signals, n + ".wav") for s, n, _ in rows if s in ("drums+pad", "dense+reverb")]
        parts = [p for p in parts if int(run(["soxi", "-r", p])) == 48000]
        run(["sox"] + parts * 2 + ["-r", "48000", "-c", "2", path])
    seconds = float(run(["soxi", "-D", path]))
    runs = 3
    lb = min(cpu_of([args.lightbeat, "--file", path, "--onsets"]) for _ in range(runs))
    bare = min(cpu_of(["sox", path, "-t", "f32", "/dev/null"]) for _ in range(runs))
    au = {m: min(cpu_of(["aubioonset", "-O", m, "-i", path]) for _ in range(runs)) for m in AUBIO_METHODS}
    print("### CPU per second of 48 kHz stereo audio (%.0f s file, best of %d; goal: analysis <= 0.5 %% of one core)\n"
          % (seconds, runs))
    print("| program | CPU % of one core |")
    print("|---|---|")
    print("| lightbeat --file --onsets (read + analysis) | %.3f |" % (100 * lb / seconds))
    print("| bare read loop (sox to nothing) | %.3f |" % (100 * bare / seconds))
    print("| lightbeat minus the bare read: the analysis | %.3f (%s) |"
          % (100 * max(0.0, lb - bare) / seconds, "met" if lb - bare <= 0.005 * seconds else "NOT met"))
    for m in AUBIO_METHODS:
        print("| aubioonset -O %s | %.3f |" % (m, 100 * au[m] / seconds))
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
    print("| track | minutes | lamp changes/s | no lamp lit | all 16 lit | onsets agreeing with aubio (F) "
          "| beat-interval octave changes after 8 s |")
    print("|---|---|---|---|---|---|---|")
    tot = {"play": 0.0, "none": 0.0, "all": 0.0, "lines": 0, "agree": (0, 0, 0), "octaves": 0}
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
        # No truth here: the octave of each local beat interval against the
        # track's median one; pauses and tempo changes count too.
        beats = ours(args.lightbeat, path, "beats")
        octave, at = octave_of(beats, np.median(np.diff(beats)) if len(beats) > 1 else 1)
        octave = octave[at > 8] if len(octave) else octave
        flips = int(np.count_nonzero(np.diff(octave))) if len(octave) > 1 else 0
        tot["octaves"] += flips
        print("| %s | %.1f | %.1f | %.1f %% | %.1f %% | %.2f | %d |" % (os.path.basename(path), len(mask) * 0.01 / 60,
              changes / max(play, 1e-9), 100 * none / max(play, 1e-9), 100 * full / max(play, 1e-9), prf(c)[0],
              flips))
        sys.stdout.flush()
    p = max(tot["play"], 1e-9)
    f, prec, rec = prf(tot["agree"])
    print("| **all** | %.1f | %.1f | %.1f %% (goal <= 5 %%: %s) | %.1f %% (goal <= 5 %%: %s) | %.2f (P %.2f, R %.2f) | %d |"
          % (p / 60, tot["lines"] / p, 100 * tot["none"] / p, "met" if tot["none"] <= 0.05 * p else "NOT met",
             100 * tot["all"] / p, "met" if tot["all"] <= 0.05 * p else "NOT met", f, prec, rec, tot["octaves"]))
    print()


def main():
    ap = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument("--lightbeat", required=True)
    ap.add_argument("--signals", required=True)
    ap.add_argument("--music", default="")
    ap.add_argument("--tracks", type=int, default=0, help="only this many real-music tracks (0: all)")
    ap.add_argument("--only", default="onsets,tempo,beats,cpu,music")
    ap.add_argument("--sets", default="", help="only these onset sets (comma-separated)")
    ap.add_argument("--verbose", action="store_true")
    args = ap.parse_args()
    rows = index(args.signals)
    parts = args.only.split(",")
    if "onsets" in parts:
        onset_table(args, rows)
    if "tempo" in parts:
        tempo_table(args, rows)
    if "beats" in parts:
        beat_error_table(args, rows)
    if "cpu" in parts:
        cpu_table(args, rows)
    if "music" in parts and args.music:
        music_table(args)


if __name__ == "__main__":
    main()
