#!/usr/bin/python3
"""Test signals for the analysis benchmarks, with their ground truth.

Drum patterns (kick, snare, hi-hat synthesised here) at several tempi,
levels and noise levels, alone and over a sustained chord pad; metronome
click tracks. Each NAME.wav gets NAME.onsets (one time a line) and the
tempo in the index file, so that the benchmark needs no guessing.

    make_signals.py OUTDIR      writes OUTDIR/index.tsv: set, file, bpm
"""
import os
import sys

import numpy as np
from scipy.io import wavfile

TEMPI = [70, 85, 100, 120, 140, 160, 180]
SECONDS = 16.0


def db(x):
    return 10 ** (x / 20)


def kick(rate, rng):
    t = np.arange(int(0.35 * rate)) / rate
    freq = 50 + 90 * np.exp(-t / 0.03)  # The pitch drop that makes it a kick.
    phase = 2 * np.pi * np.cumsum(freq) / rate
    body = np.sin(phase) * np.exp(-t / 0.12)
    click = rng.standard_normal(len(t)) * np.exp(-t / 0.004) * 0.3
    return body + click


def snare(rate, rng):
    t = np.arange(int(0.25 * rate)) / rate
    noise = rng.standard_normal(len(t)) * np.exp(-t / 0.06) * 0.5
    tone = np.sin(2 * np.pi * 185 * t) * np.exp(-t / 0.05) * 0.6
    return noise + tone


def hihat(rate, rng):
    t = np.arange(int(0.08 * rate)) / rate
    noise = np.diff(rng.standard_normal(len(t) + 1))  # Tilted towards the highs.
    return noise * np.exp(-t / 0.018) * 0.35


def place(out, sound, at, rate, gain):
    fade = min(len(sound), int(0.01 * rate))  # No click where a sound is cut.
    sound = sound.copy()
    sound[-fade:] *= np.linspace(1, 0, fade)
    i = int(round(at * rate))
    n = min(len(sound), len(out) - i)
    if n > 0:
        out[i:i + n] += gain * sound[:n]


def drums(bpm, rate, rng, start=1.0):
    """Kick on 1 and 3 (and the 'and' of 3 every other bar), snare on 2 and
    4, hi-hat on the eighths; velocities vary a little, as played."""
    out = np.zeros(int(SECONDS * rate))
    beat = 60.0 / bpm
    onsets = []
    k, s, h = kick(rate, rng), snare(rate, rng), hihat(rate, rng)
    t, eighth = start, 0
    while t < SECONDS - 0.5:
        pos = eighth % 16  # Two bars of eighths.
        if pos in (0, 4, 8, 12) or pos == 13:
            place(out, k, t, rate, db(rng.uniform(-2, 0)))
        if pos in (2, 6, 10, 14):
            place(out, s, t, rate, db(rng.uniform(-3, 0)))
        place(out, h, t, rate, db(rng.uniform(-4, 0) - (0 if pos % 2 == 0 else 4)))
        onsets.append(t)
        t += beat / 2
        eighth += 1
    return out, onsets


def metronome(bpm, rate, start=0.5):
    out = np.zeros(int(SECONDS * rate))
    t = np.arange(int(0.03 * rate)) / rate
    accent = np.sin(2 * np.pi * 1500 * t) * np.exp(-t / 0.008)
    plain = np.sin(2 * np.pi * 1000 * t) * np.exp(-t / 0.008)
    onsets, at, n = [], start, 0
    while at < SECONDS - 0.2:
        place(out, accent if n % 4 == 0 else plain, at, rate, 1.0)
        onsets.append(at)
        at += 60.0 / bpm
        n += 1
    return out, onsets


def pad(rate, rng, bpm):
    """A held A minor chord of detuned saws (they beat slowly, as real pads
    do), changing to F major and back every four bars with a slow crossfade."""
    n = int(SECONDS * rate)
    t = np.arange(n) / rate
    bar = 4 * 60.0 / bpm

    def chord(freqs):
        x = np.zeros(n)
        for f in freqs:
            for detune in (-0.003, 0.003):
                ph = 2 * np.pi * f * (1 + detune) * t + rng.uniform(0, 2 * np.pi)
                for harmonic in range(1, 7):
                    x += np.sin(harmonic * ph) / harmonic / harmonic
        return x

    a, f = chord([220.0, 261.63, 329.63]), chord([174.61, 220.0, 261.63])
    mix = 0.5 - 0.5 * np.cos(np.pi * ((t / (4 * bar)) % 2))  # A slow crossfade.
    x = (1 - mix) * a + mix * f
    x *= np.minimum(1, t / 1.5)  # Fades in: no onset of its own.
    return x / np.max(np.abs(x))


def write(path, x, rate, stereo=True):
    x = np.clip(x, -1, 1)
    data = (x * 32767).astype(np.int16)
    if stereo:
        data = np.stack([data, data], axis=1)
    wavfile.write(path, rate, data)


def main():
    out = sys.argv[1]
    os.makedirs(out, exist_ok=True)
    rng = np.random.default_rng(12)
    rows = []

    def emit(set_name, name, x, onsets, bpm, rate, stereo=True):
        path = os.path.join(out, name + ".wav")
        write(path, x, rate, stereo)
        with open(os.path.join(out, name + ".onsets"), "w") as f:
            f.writelines("%.4f\n" % o for o in onsets)
        rows.append((set_name, name, bpm))

    for i, bpm in enumerate(TEMPI):
        rate = 48000 if i % 2 == 0 else 44100
        for level in (-6, -24, -40):
            x, on = drums(bpm, rate, rng)
            emit("drums", "drums_%d_%ddB" % (bpm, -level), x / np.max(np.abs(x)) * db(level), on, bpm, rate)
        for noise in (-45, -35):
            x, on = drums(bpm, rate, rng)
            x = x / np.max(np.abs(x)) * db(-6)
            x += rng.standard_normal(len(x)) * db(noise)
            emit("drums+noise", "noise_%d_%ddB" % (bpm, -noise), x, on, bpm, rate)
        for pad_db in (-16, -10):
            x, on = drums(bpm, rate, rng)
            x = x / np.max(np.abs(x)) * db(-6) + pad(rate, rng, bpm) * db(pad_db)
            emit("drums+pad", "pad_%d_%ddB" % (bpm, -pad_db), x, on, bpm, rate)
        x, on = metronome(bpm, rate)
        emit("metronome", "metronome_%d" % bpm, x * db(-6), on, bpm, rate, stereo=(i % 2 == 0))
    with open(os.path.join(out, "index.tsv"), "w") as f:
        f.writelines("%s\t%s\t%d\n" % r for r in rows)


if __name__ == "__main__":
    main()
