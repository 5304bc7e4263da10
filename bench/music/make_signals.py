#!/usr/bin/python3
"""Test signals for the analysis benchmarks, with their ground truth.

Sets (each file NAME.wav with NAME.onsets and NAME.beats, one time a line):
  drums      kick, snare, hi-hats (closed and open) and toms, velocities
             varying as played, ghost notes on the snare; 8 tempi 72-180 BPM
  drums+pad  the same over a sustained chord pad of detuned saws
  quiet+noisy  the same at -40 dBFS, and at -6 dBFS over noise at -30 dB
  dense+reverb  drums, a bass line and stabs of chords in a reverberant
             room (two seconds of decaying noise, 6 dB below the direct sound)
  melody     a legato melody of a soft synth, notes a tone or two apart,
             attacks of 5, 40 and 100 ms, at 80, 100 and 126 BPM
  accents    kick and snare whose snare changes level every 8 bars, 64 s
             at 141 and 170 BPM (the tempo tracker's octave test)
  metronome  click tracks, 8 tempi
The index file tells set, file and tempo, so that the benchmark needs no
guessing.

    make_signals.py OUTDIR      writes OUTDIR/index.tsv: set, file, bpm
"""
import os
import sys

import numpy as np
from scipy.io import wavfile
from scipy.signal import fftconvolve

TEMPI = [72, 88, 100, 114, 128, 141, 160, 180]
SECONDS = 20.0


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


def hihat(rate, rng, decay=0.018):
    t = np.arange(int(max(0.08, 6 * decay) * rate)) / rate
    noise = np.diff(rng.standard_normal(len(t) + 1))  # Tilted towards the highs.
    return noise * np.exp(-t / decay) * 0.35


def tom(rate, rng, hz):
    t = np.arange(int(0.4 * rate)) / rate
    freq = hz * (1 + 0.3 * np.exp(-t / 0.05))
    body = np.sin(2 * np.pi * np.cumsum(freq) / rate) * np.exp(-t / 0.15)
    return body + rng.standard_normal(len(t)) * np.exp(-t / 0.01) * 0.2


def place(out, sound, at, rate, gain):
    fade = min(len(sound), int(0.01 * rate))  # No click where a sound is cut.
    sound = sound.copy()
    sound[-fade:] *= np.linspace(1, 0, fade)
    i = int(round(at * rate))
    n = min(len(sound), len(out) - i)
    if n > 0:
        out[i:i + n] += gain * sound[:n]


def merge(times, within=0.03):
    """One onset for hits closer than `within` (what a listener hears as one)."""
    out = []
    for t in sorted(times):
        if not out or t - out[-1] >= within:
            out.append(t)
    return out


def beat_times(bpm, start, seconds):
    return list(np.arange(start, seconds - 0.5, 60.0 / bpm))


def drums(bpm, rate, rng, seconds=SECONDS, start=1.0):
    """Kick on 1 and 3 (and the 'and' of 3 every other bar), snare on 2 and 4
    with ghost notes between (24-32 dB down, near the hats' tails), closed
    hi-hat on the eighths (an open one on the last eighth of a bar), a soft
    tom fill in the last beat of every fourth bar; velocities vary by
    several dB and each hit is up to 8 ms early or late, as played."""
    out = np.zeros(int(seconds * rate))
    beat = 60.0 / bpm
    onsets = []
    k, s = kick(rate, rng), snare(rate, rng)
    closed, opened = hihat(rate, rng), hihat(rate, rng, 0.12)
    toms = [tom(rate, rng, hz) for hz in (180, 130, 95)]
    t, sixteenth = start, 0
    while t < seconds - 0.5:
        pos = sixteenth % 32  # Two bars of sixteenths.
        bar = sixteenth // 16
        fill = bar % 4 == 3 and pos % 16 >= 12
        hit = False
        at = t + rng.uniform(-0.008, 0.008)
        if fill:
            place(out, toms[(pos % 16 - 12) % 3], at, rate, db(rng.uniform(-16, -6)))
            hit = True
        else:
            if pos in (0, 8, 16, 24, 26):
                place(out, k, at, rate, db(rng.uniform(-4, 0)))
                hit = True
            if pos % 16 in (4, 12):
                place(out, s, at, rate, db(rng.uniform(-5, 0)))
                hit = True
            elif pos % 16 in (3, 7, 10, 15) and rng.uniform() < 0.7:
                place(out, s, at, rate, db(rng.uniform(-32, -24)))  # Ghost notes.
                hit = True
            if pos % 2 == 0:
                hat = opened if pos % 16 == 14 else closed
                place(out, hat, at, rate, db(rng.uniform(-8, 0) - (0 if pos % 4 == 0 else 5)))
                hit = True
        if hit:
            onsets.append(at)
        t += beat / 4
        sixteenth += 1
    return out, onsets, beat_times(bpm, start, seconds)


def saw_chord(freqs, t, rng, harmonics=7):
    x = np.zeros(len(t))
    for f in freqs:
        for detune in (-0.003, 0.003):
            ph = 2 * np.pi * f * (1 + detune) * t + rng.uniform(0, 2 * np.pi)
            for h in range(1, harmonics):
                x += np.sin(h * ph) / h / h
    return x


def pad(rate, rng, bpm, seconds=SECONDS):
    """A held A minor chord of detuned saws (they beat slowly, as real pads
    do), changing to F major and back every four bars with a slow crossfade."""
    n = int(seconds * rate)
    t = np.arange(n) / rate
    bar = 4 * 60.0 / bpm
    a, f = saw_chord([220.0, 261.63, 329.63], t, rng), saw_chord([174.61, 220.0, 261.63], t, rng)
    mix = 0.5 - 0.5 * np.cos(np.pi * ((t / (4 * bar)) % 2))
    x = (1 - mix) * a + mix * f
    x *= np.minimum(1, t / 1.5)  # Fades in: no onset of its own.
    return x / np.max(np.abs(x))


def envelope(n, rate, attack, release=0.03):
    a = min(n, max(1, int(attack * rate)))
    e = np.ones(n)
    e[:a] = 0.5 - 0.5 * np.cos(np.pi * np.arange(a) / a)
    r = min(n, int(release * rate))
    e[n - r:] *= np.linspace(1, 0, r)
    return e


def synth_note(hz, n, rate, attack, rng):
    t = np.arange(n) / rate
    ph = rng.uniform(0, 2 * np.pi)
    x = sum(np.sin(2 * np.pi * hz * h * t + ph * h) / h ** 1.5 for h in range(1, 6))
    vib = 1 + 0.003 * np.sin(2 * np.pi * 5.5 * t)  # A little vibrato.
    x = x * vib
    return x * envelope(n, rate, attack)


def melody(bpm, attack, rate, rng, seconds=SECONDS, start=1.0):
    """Legato: each note runs into the next (a short overlap), steps of a
    tone or two, durations of an eighth, a quarter or a dotted quarter, a
    held fifth below sustaining under it (so two partials beat)."""
    out = np.zeros(int(seconds * rate))
    beat = 60.0 / bpm
    scale = [0, 2, 4, 5, 7, 9, 11, 12, 14]
    degree, t, onsets = 4, start, []
    while t < seconds - 1.0:
        dur = beat * rng.choice([0.5, 1, 1, 1.5])
        degree = int(np.clip(degree + rng.choice([-2, -1, 1, 2]), 0, len(scale) - 1))
        hz = 261.63 * 2 ** (scale[degree] / 12)
        n = int((dur + 0.04) * rate)  # Overlaps the next note: legato.
        note = synth_note(hz, n, rate, attack, rng) * db(rng.uniform(-4, 0))
        i = int(round(t * rate))
        m = min(n, len(out) - i)
        out[i:i + m] += note[:m]
        onsets.append(t)
        t += dur
    t_all = np.arange(len(out)) / rate
    drone = saw_chord([130.81, 196.0], t_all, rng, 4) * np.minimum(1, t_all / 0.8) * 0.15
    return out + drone, onsets, beat_times(bpm, start, seconds)


def dense(bpm, rate, rng, seconds=SECONDS):
    """Drums, a bass line on the eighths and chord stabs on the off-beats,
    over a pad, all in a room: a reverberant tail of two seconds."""
    x, on, beats = drums(bpm, rate, rng, seconds)
    beat = 60.0 / bpm
    roots = [55.0, 55.0, 43.65, 49.0]
    bass_on, stab_on = [], []
    t = 1.0
    i = 0
    while t < seconds - 0.5:
        hz = roots[int((t - 1) / (4 * beat)) % 4] * (2 if i % 4 == 3 else 1)
        n = int(beat / 2 * 0.9 * rate)
        place(x, synth_note(hz, n, rate, 0.004, rng) * 0.35, t, rate, db(rng.uniform(-3, 0)))
        bass_on.append(t)
        if i % 4 == 1:
            n = int(beat / 4 * rate)
            tt = np.arange(n) / rate
            stab = saw_chord([440.0, 523.25, 659.25], tt, rng) * envelope(n, rate, 0.003, 0.02) * 0.12
            place(x, stab, t, rate, 1.0)
            stab_on.append(t)
        t += beat / 2
        i += 1
    x = x / np.max(np.abs(x)) + pad(rate, rng, bpm, seconds) * db(-14)
    ir_t = np.arange(int(2.0 * rate)) / rate
    ir = rng.standard_normal(len(ir_t)) * np.exp(-ir_t / 0.35)  # RT60 about 2.4 s.
    ir[0] = 0
    ir *= db(-6) / np.sqrt(np.sum(ir ** 2))  # Direct sound 6 dB above the room.
    ir[0] = 1
    wet = fftconvolve(x, ir)[:len(x)]
    return wet, merge(on + bass_on + stab_on), beats


def accents(bpm, rate, rng, seconds=64.0, start=1.0):
    """Kick on 1 and 3, snare on 2 and 4, hi-hat on the eighths; the snare
    changes level every 8 bars (as loud as the kick, then 10 dB below it):
    the change that makes alternate beats differ."""
    out = np.zeros(int(seconds * rate))
    beat = 60.0 / bpm
    k, s, h = kick(rate, rng), snare(rate, rng), hihat(rate, rng)
    onsets, t, eighth = [], start, 0
    while t < seconds - 0.5:
        n_beat = eighth // 2
        bar = n_beat // 4
        if eighth % 2 == 0:
            if n_beat % 2 == 0:
                place(out, k, t, rate, db(rng.uniform(-1, 0)))
            else:
                place(out, s, t, rate, db((0 if (bar // 8) % 2 == 0 else -10) + rng.uniform(-1, 0)))
        place(out, h, t, rate, db(rng.uniform(-3, 0) - (0 if eighth % 2 == 0 else 6)))
        onsets.append(t)
        t += beat / 2
        eighth += 1
    return out, onsets, beat_times(bpm, start, seconds)


def metronome(bpm, rate, seconds=SECONDS, start=0.5):
    out = np.zeros(int(seconds * rate))
    t = np.arange(int(0.03 * rate)) / rate
    accent = np.sin(2 * np.pi * 1500 * t) * np.exp(-t / 0.008)
    plain = np.sin(2 * np.pi * 1000 * t) * np.exp(-t / 0.008)
    onsets, at, n = [], start, 0
    while at < seconds - 0.2:
        place(out, accent if n % 4 == 0 else plain, at, rate, 1.0)
        onsets.append(at)
        at += 60.0 / bpm
        n += 1
    return out, onsets, list(onsets)


def write(path, x, rate, stereo=True):
    x = np.clip(x, -1, 1)
    data = (x * 32767).astype(np.int16)
    if stereo:
        data = np.stack([data, data], axis=1)
    wavfile.write(path, rate, data)


def main():
    out = sys.argv[1]
    os.makedirs(out, exist_ok=True)
    rng = np.random.default_rng(20)
    rows = []

    def emit(set_name, name, x, onsets, beats, bpm, rate, level=-6, stereo=True):
        path = os.path.join(out, name + ".wav")
        write(path, x / np.max(np.abs(x)) * db(level), rate, stereo)
        for ext, values in (("onsets", onsets), ("beats", beats)):
            with open(os.path.join(out, name + "." + ext), "w") as f:
                f.writelines("%.4f\n" % o for o in values)
        rows.append((set_name, name, bpm))

    for i, bpm in enumerate(TEMPI):
        rate = 48000 if i % 2 == 0 else 44100
        x, on, be = drums(bpm, rate, rng)
        emit("drums", "drums_%d" % bpm, x, on, be, bpm, rate)
        x, on, be = drums(bpm, rate, rng)
        x = x / np.max(np.abs(x)) + pad(rate, rng, bpm) * db(-8)
        emit("drums+pad", "pad_%d" % bpm, x, on, be, bpm, rate)
        x, on, be = drums(bpm, rate, rng)
        if i % 2 == 0:
            emit("quiet+noisy", "quiet_%d" % bpm, x, on, be, bpm, rate, level=-40)
        else:
            x = x / np.max(np.abs(x)) + rng.standard_normal(len(x)) * db(-30)
            emit("quiet+noisy", "noisy_%d" % bpm, x, on, be, bpm, rate)
        x, on, be = dense(bpm, rate, rng)
        emit("dense+reverb", "dense_%d" % bpm, x, on, be, bpm, rate, level=-3)
        x, on, be = metronome(bpm, rate)
        emit("metronome", "metronome_%d" % bpm, x, on, be, bpm, rate, stereo=(i % 2 == 0))
    for attack in (0.005, 0.040, 0.100):
        for bpm in (80, 100, 126):
            x, on, be = melody(bpm, attack, 44100, rng)
            emit("melody", "melody_%dms_%d" % (attack * 1000, bpm), x, on, be, bpm, 44100)
    for bpm in (141, 170):
        x, on, be = accents(bpm, 48000, rng)
        emit("accents", "accents_%d" % bpm, x, on, be, bpm, 48000)
    with open(os.path.join(out, "index.tsv"), "w") as f:
        f.writelines("%s\t%s\t%d\n" % r for r in rows)


if __name__ == "__main__":
    main()
