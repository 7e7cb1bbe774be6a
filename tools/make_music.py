#!/usr/bin/env python3
"""Writes the intro's music, LIGHT.S3M, from nothing but this file.

"light" by Lumbrix of Zenora: an upbeat chiptune in A minor, 132 BPM, eight
channels, about four and a quarter minutes, played once through (no loop-back
jump at the end). Every sample is synthesised here (band-limited additive
waveforms, a small noise generator for the drums) and quantised to 8 bits; the
patterns come from the short score further down. Standard library only, and
the output is the same bytes on every run, so the committed module can be
checked against a fresh one.

Usage: make_music.py [OUTPUT]      default: assets/LIGHT.S3M in the source tree
"""

import math
import os
import struct
import sys
import tempfile

TITLE = "light"
COMPOSER = "Lumbrix of Zenora"

SPEED = 6            # ticks per row
TEMPO = 132          # BPM with four rows to a beat
ROWS = 64            # rows per pattern
BAR = 16             # rows per 4/4 bar
GLOBAL_VOLUME = 64
MASTER_VOLUME = 0x80 | 48   # bit 7: stereo

A4_HZ = 440.0
C4_HZ = A4_HZ * 2.0 ** (-9 / 12)


# ---------------------------------------------------------------------------
# Sample synthesis
# ---------------------------------------------------------------------------

class Noise:
    """xorshift32: deterministic white noise in [-1, 1)."""

    def __init__(self, seed):
        self.state = seed & 0xFFFFFFFF or 1

    def next(self):
        x = self.state
        x ^= (x << 13) & 0xFFFFFFFF
        x ^= x >> 17
        x ^= (x << 5) & 0xFFFFFFFF
        self.state = x
        return x / 2147483648.0 - 1.0


def sigma(k, harmonics):
    """Lanczos factor: tames the ringing of a truncated harmonic series."""
    if k == 0:
        return 1.0
    x = math.pi * k / (harmonics + 1)
    return math.sin(x) / x


def normalise(samples, peak=0.97):
    top = max(abs(v) for v in samples) or 1.0
    return [v * peak / top for v in samples]


def to_u8(samples):
    """Float samples in [-1, 1] to ST3's unsigned 8-bit data."""
    out = bytearray(len(samples))
    for i, v in enumerate(samples):
        q = int(math.floor(v * 127.0 + 0.5))
        out[i] = max(-128, min(127, q)) + 128
    return bytes(out)


def pulse_lead(period=64, cycles=128, harmonics=22):
    """Pulse wave whose duty sweeps 0.16 -> 0.46 -> 0.16 once per loop."""
    n_total = period * cycles
    coeff = [0.0] + [sigma(k, harmonics) * 2.0 / (math.pi * k) for k in range(1, harmonics + 1)]
    out = []
    for n in range(n_total):
        duty = 0.31 - 0.15 * math.cos(2.0 * math.pi * n / n_total)
        phase = (n % period) / period
        v = 0.0
        for k in range(1, harmonics + 1):
            v += coeff[k] * math.sin(math.pi * k * duty) * math.cos(2.0 * math.pi * k * (phase - duty / 2.0))
        out.append(v)
    return normalise(out), 0, n_total


def square_pluck(period=32, harmonics=15, decay_cycles=128, loop_cycles=16,
                 sustain=0.24, tau=1400.0):
    """Square wave with a plucked decay onto a looped sustain: the arpeggios."""
    n_decay = period * decay_cycles
    n_total = n_decay + period * loop_cycles
    fall = math.exp(-n_decay / tau)
    out = []
    for n in range(n_total):
        phase = (n % period) / period
        v = 0.0
        for k in range(1, harmonics + 1, 2):
            v += sigma(k, harmonics) * math.sin(2.0 * math.pi * k * phase) / k
        if n < n_decay:
            env = sustain + (1.0 - sustain) * (math.exp(-n / tau) - fall) / (1.0 - fall)
        else:
            env = sustain
        out.append(v * env)
    return normalise(out), n_decay, n_total


def saw_pad(period=64, harmonics=24, attack_cycles=128, loop_cycles=128):
    """Three detuned soft saws (127:128:129 cycles per loop), slow attack."""
    n_attack = period * attack_cycles
    n_loop = period * loop_cycles
    n_total = n_attack + n_loop
    ratios = [(loop_cycles - 1) / loop_cycles, 1.0, (loop_cycles + 1) / loop_cycles]
    coeff = [0.0] + [sigma(k, harmonics) / (k * (1.0 + (k / 6.0) ** 2)) for k in range(1, harmonics + 1)]
    out = []
    for n in range(n_total):
        v = 0.0
        for osc, ratio in enumerate(ratios):
            phase = n * ratio / period + osc * 0.37
            for k in range(1, harmonics + 1):
                v += coeff[k] * math.sin(2.0 * math.pi * k * phase)
        if n < n_attack:
            v *= math.sin(0.5 * math.pi * n / n_attack) ** 2
        out.append(v)
    return normalise(out), n_attack, n_total


def saw_bass(period=128, harmonics=44, decay_cycles=32, loop_cycles=8, sustain=0.62):
    """Saw with a closing low-pass and a decay onto a looped sustain."""
    n_decay = period * decay_cycles
    n_total = n_decay + period * loop_cycles
    out = []
    for n in range(n_total):
        t = min(n / n_decay, 1.0)
        cutoff = 5.0 + 19.0 * (1.0 - t) ** 2
        env = sustain + (1.0 - sustain) * (1.0 - t) ** 2
        phase = (n % period) / period
        v = 0.0
        for k in range(1, harmonics + 1):
            g = 1.0 / (1.0 + (k / cutoff) ** 4)
            v += sigma(k, harmonics) * g * math.sin(2.0 * math.pi * k * phase) / k
        # extra fundamental: weight for the low notes on small speakers
        v += 0.35 * math.sin(2.0 * math.pi * phase)
        out.append(v * env)
    return normalise(out), n_decay, n_total


DRUM_RATE = 22050


def fade_tail(samples, fade):
    n = len(samples)
    for i in range(max(0, n - fade), n):
        samples[i] *= (n - 1 - i) / fade
    return samples


def kick():
    n_total = int(0.30 * DRUM_RATE)
    noise = Noise(0x1D872B41)
    out, phase = [], 0.0
    for n in range(n_total):
        t = n / DRUM_RATE
        freq = 46.0 + 125.0 * math.exp(-t / 0.030)
        phase += freq / DRUM_RATE
        v = math.sin(2.0 * math.pi * phase) * math.exp(-t / 0.12)
        if t < 0.002:
            v += 0.35 * noise.next() * (1.0 - t / 0.002)
        out.append(math.tanh(1.8 * v))
    return normalise(fade_tail(out, 400)), 0, 0


def snare():
    n_total = int(0.24 * DRUM_RATE)
    noise = Noise(0x5EED0A55)
    out, prev, phase = [], 0.0, 0.0
    for n in range(n_total):
        t = n / DRUM_RATE
        phase += (180.0 + 60.0 * math.exp(-t / 0.01)) / DRUM_RATE
        tone = 0.55 * math.sin(2.0 * math.pi * phase) * math.exp(-t / 0.035)
        white = noise.next()
        bright = white - 0.6 * prev
        prev = white
        out.append(tone + 0.7 * bright * math.exp(-t / 0.075))
    return normalise(fade_tail(out, 300)), 0, 0


def hat(length, tau, seed):
    n_total = int(length * DRUM_RATE)
    noise = Noise(seed)
    out, prev = [], 0.0
    for n in range(n_total):
        t = n / DRUM_RATE
        white = noise.next()
        out.append((white - prev) * math.exp(-t / tau))
        prev = white
    return normalise(fade_tail(out, 200), 0.9), 0, 0


def crash():
    n_total = int(1.1 * DRUM_RATE)
    noise = Noise(0xC4A5B0DE)
    out, prev = [], 0.0
    for n in range(n_total):
        t = n / DRUM_RATE
        white = noise.next()
        shimmer = 0.25 * (1.0 if math.sin(2.0 * math.pi * 3150.0 * t) >= 0 else -1.0)
        out.append(((white - prev) * 0.8 + shimmer * math.exp(-t / 0.08)) * math.exp(-t / 0.32))
        prev = white
    return normalise(fade_tail(out, 2000), 0.9), 0, 0


class Sample:
    """One instrument: 8-bit data, optional loop, C2Spd. Levels are set per note."""

    def __init__(self, name, made, rate):
        data, loop_start, loop_end = made
        self.name = name
        self.data = to_u8(data)
        self.loop = (loop_start, loop_end) if loop_end else None
        self.rate = rate


def tuned(period):
    """C2Spd that makes note C-4 of a sample with this cycle length sound at C4."""
    return int(round(C4_HZ * period))


LEAD, ARP, PAD, BASS, KICK, SNARE, HAT, OPENHAT, CRASH = range(1, 10)


def make_samples():
    return [
        Sample("lead: pulse with pwm", pulse_lead(), tuned(64)),
        Sample("arp: square pluck", square_pluck(), tuned(32)),
        Sample("pad: three soft saws", saw_pad(), tuned(64)),
        Sample("bass: closing saw", saw_bass(), tuned(128)),
        Sample("kick", kick(), DRUM_RATE),
        Sample("snare", snare(), DRUM_RATE),
        Sample("closed hat", hat(0.07, 0.014, 0x0BADC0DE), DRUM_RATE),
        Sample("open hat", hat(0.30, 0.080, 0x7E57AB1E), DRUM_RATE),
        Sample("crash", crash(), DRUM_RATE),
    ]


# Slots with a name and no data carry the credits, as trackers of the day did.
CREDITS = [TITLE, "by " + COMPOSER, "for the zenora intro", "all sounds made from scratch"]


# ---------------------------------------------------------------------------
# Score: a timeline of rows, cut into patterns at the end
# ---------------------------------------------------------------------------

NOTE_CUT = 254
VIBRATO = 0x51          # speed 5, depth 1: about a quarter tone either way
CH_LEAD, CH_ECHO, CH_ARP, CH_PAD1, CH_PAD2, CH_BASS, CH_DRUM, CH_HAT = range(8)
CHANNELS = 8
PANNING = [6, 10, 3, 4, 11, 7, 8, 10]   # 0 = left .. 15 = right

NAMES = {"C": 0, "D": 2, "E": 4, "F": 5, "G": 7, "A": 9, "B": 11}


def midi(name):
    """'A4' -> 69, 'G#4' -> 68, 'Bb4' -> 70 (C4 = 60)."""
    pc = NAMES[name[0]]
    rest = name[1:]
    while rest and rest[0] in "#b":
        pc += 1 if rest[0] == "#" else -1
        rest = rest[1:]
    return pc + 12 * (int(rest) + 1)


def fx(letter, param):
    return (ord(letter) - ord("A") + 1, param)


class Song:
    def __init__(self, bars):
        self.rows = bars * BAR
        self.grid = [[None] * self.rows for _ in range(CHANNELS)]

    def put(self, ch, row, note=None, ins=None, vol=None, effect=None, soft=False):
        """Writes one cell. A second writer to the same field is a score error,
        unless soft, in which case the cell is left as it was."""
        if row >= self.rows:
            return
        cell = self.grid[ch][row] or {}
        new = {"note": note, "ins": ins, "vol": vol, "fx": effect}
        for key, value in new.items():
            if value is not None and cell.get(key) is not None and cell[key] != value:
                if soft:
                    return
                raise ValueError(f"clash on channel {ch} row {row}: {key} {cell[key]} vs {value}")
        for key, value in new.items():
            if value is not None:
                cell[key] = value
        self.grid[ch][row] = cell

    def note(self, ch, row, pitch, ins, vol, effect=None, soft=False):
        self.put(ch, row, note=pitch, ins=ins, vol=vol, effect=effect, soft=soft)

    def cut(self, ch, row, soft=True):
        self.put(ch, row, note=NOTE_CUT, soft=soft)


# Chords: root pitch class and intervals.
CHORDS = {
    "Am": (9, (0, 3, 7)), "Dm": (2, (0, 3, 7)), "Em": (4, (0, 3, 7)),
    "C": (0, (0, 4, 7)), "F": (5, (0, 4, 7)), "G": (7, (0, 4, 7)),
    "E": (4, (0, 4, 7)), "Bb": (10, (0, 4, 7)),
}


def parse_line(text):
    """'E5/3 D5/2~ r/4 -/2' -> [(row, length, pitch|None|'tie', flags)]."""
    events, row = [], 0
    for token in text.split():
        flags = ""
        while token[-1] in "~>":
            flags += token[-1]
            token = token[:-1]
        name, length = token.split("/")
        length = int(length)
        pitch = None if name == "r" else "tie" if name == "-" else midi(name)
        events.append((row, length, pitch, flags))
        row += length
    return events, row


def melody(song, ch, bar, bars_text, vol, ins=LEAD, transpose=0, vibrato=VIBRATO):
    """Places a melody written one bar per string: NOTE/rows, 'r' rests (a
    note cut), '-' ties on to the previous note; '~' and '>' see tail()."""
    start = bar * BAR
    placed = []
    for i, text in enumerate(bars_text):
        events, length = parse_line(text)
        if length != BAR:
            raise ValueError(f"bar {bar + i} on channel {ch} lasts {length} rows: {text!r}")
        for row, length, pitch, flags in events:
            placed.append((start + i * BAR + row, length, pitch, flags))
    for row, length, pitch, flags in placed:
        if pitch is None:
            song.cut(ch, row, soft=True)
        elif pitch == "tie":
            pass
        else:
            song.note(ch, row, pitch + transpose, ins, vol)
            tail(song, ch, row, length, flags, vibrato)
    return placed


def tail(song, ch, row, length, flags, vibrato=VIBRATO):
    """Vibrato ('~') from the third row of a note on; with '>' every other of
    those rows also slides the volume down (K: vibrato plus volume slide)."""
    if "~" not in flags and ">" not in flags:
        return
    for r in range(row + 2, row + length):
        if ">" in flags and (r - row) % 2 == 0:
            effect = fx("K", 0x01) if "~" in flags else fx("D", 0x01)
        elif "~" in flags:
            effect = fx("H", vibrato)
        else:
            continue
        song.put(ch, r, effect=effect, soft=True)


def echo(song, placed, delay, vol, ch=CH_ECHO, transpose=0):
    """Repeats a placed melody later and quieter on another channel."""
    for row, length, pitch, flags in placed:
        r = row + delay
        if pitch is None:
            song.cut(ch, r, soft=True)
        elif pitch != "tie":
            song.note(ch, r, pitch + transpose, LEAD, vol, soft=True)
            tail(song, ch, r, length, flags)


SCALE = [9, 11, 0, 2, 4, 5, 7]    # A natural minor


def chord_scale(chord):
    """A minor, raised to G# under an E chord and lowered to Bb under Bb."""
    pc, intervals = CHORDS[chord]
    tones = {(pc + i) % 12 for i in intervals}
    scale = set(SCALE)
    if 8 in tones:
        scale = scale - {7} | {8}
    if 10 in tones:
        scale = scale - {11} | {10}
    return scale


def third_below(pitch, chord):
    """The second voice: the next chord tone down (at least a minor third
    below) under a chord tone, else two steps down the fitting scale."""
    pc, intervals = CHORDS[chord]
    tones = {(pc + i) % 12 for i in intervals}
    if pitch % 12 in tones:
        lower = pitch - 3
        while lower % 12 not in tones:
            lower -= 1
        return lower
    scale, steps = chord_scale(chord), 0
    while steps < 2:
        pitch -= 1
        if pitch % 12 in scale:
            steps += 1
    return pitch


def harmony(song, placed, vol, bar, chords, ch=CH_ECHO):
    for row, length, pitch, flags in placed:
        if pitch is None:
            song.cut(ch, row, soft=True)
        elif pitch != "tie":
            chord = chords[row // BAR - bar]
            song.note(ch, row, third_below(pitch, chord), LEAD, vol, soft=True)
            tail(song, ch, row, length, flags)


def bass_root(chord):
    pc = CHORDS[chord][0]
    return 40 + (pc - 4) % 12          # E2 .. D#3


BASS_STYLES = {
    # row -> octave offset (0 = root, 12 = octave, 7 = fifth)
    "oct8": {0: 0, 2: 12, 4: 0, 6: 12, 8: 0, 10: 12, 12: 0, 14: 12},
    "drive": {0: 0, 2: 0, 3: 12, 4: 0, 6: 0, 7: 12, 8: 0, 10: 0, 11: 12, 12: 0, 14: 7, 15: 12},
    "walk": {0: 0, 3: 0, 6: 7, 8: 12, 11: 0, 14: 7},
    "pulse": {0: 0, 6: 0, 8: 12, 14: 0},
    "long": {0: 0},
}


def bass(song, bar, chords, style, vol=50):
    pattern = BASS_STYLES[style]
    for i, chord in enumerate(chords):
        root = bass_root(chord)
        for row, offset in pattern.items():
            song.note(CH_BASS, (bar + i) * BAR + row, root + offset, BASS, vol)


ARP_STYLES = {
    "run": [(r, 34 if r % 4 == 0 else 24) for r in range(0, 16, 2)],
    "sync": [(0, 34), (3, 26), (6, 30), (8, 34), (11, 26), (14, 30)],
    "long": [(0, 30)],
    "half": [(0, 30), (8, 26)],
}


def arp(song, bar, chords, style, gain=1.0):
    """Chord arpeggios (effect J) on the chord root; J only acts on rows that
    carry it, so each hit keeps it up until the next one."""
    hits = ARP_STYLES[style]
    for i, chord in enumerate(chords):
        pc, intervals = CHORDS[chord]
        root = 60 + pc
        param = (intervals[1] << 4) | intervals[2]
        base = (bar + i) * BAR
        for n, (row, vol) in enumerate(hits):
            song.note(CH_ARP, base + row, root, ARP, max(1, int(vol * gain)), effect=fx("J", param))
            stop = hits[n + 1][0] if n + 1 < len(hits) else BAR
            for r in range(row + 1, stop):
                song.put(CH_ARP, base + r, effect=fx("J", param))


class PadVoicer:
    """Two pad voices that move as little as they can from chord to chord."""

    def __init__(self):
        self.prev = (64, 69)
        self.sounding = (None, None)

    def voice(self, chord):
        pc, intervals = CHORDS[chord]
        tones = [p for p in range(57, 74) if (p - pc) % 12 in intervals]
        best = None
        for a in tones:
            for b in tones:
                if not 3 <= b - a <= 9:
                    continue
                cost = abs(a - self.prev[0]) + abs(b - self.prev[1])
                if best is None or cost < best[0]:
                    best = (cost, a, b)
        self.prev = best[1:]
        return self.prev


def pads(song, voicer, bar, chords, vol=22):
    for i, chord in enumerate(chords):
        a, b = voicer.voice(chord)
        row = (bar + i) * BAR
        for ch, p, j in ((CH_PAD1, a, 0), (CH_PAD2, b, 1)):
            if voicer.sounding[j] != p:
                song.note(ch, row, p, PAD, vol)
        voicer.sounding = (a, b)


DRUM_STYLES = {
    # (kicks, snares) per bar
    "rock": ((0, 8, 10), (4, 12)),
    "drive": ((0, 6, 8, 14), (4, 12)),
    "half": ((0, 10), (8,)),
    "four": ((0, 4, 8, 12), ()),
}

HAT_STYLES = {
    "eighths": [(r, 34 if r % 4 == 2 else 22, OPENHAT if r % 4 == 2 else HAT) for r in range(0, 16, 2)],
    "sixteenths": [(r, (36, 16, 26, 16)[r % 4], HAT) for r in range(16)],
    "offbeat": [(r, 28, HAT) for r in (2, 6, 10, 14)],
}


def drums(song, bar, bars, style, hats=None, fill_last=False, crash_first=False):
    kicks, snares = DRUM_STYLES[style]
    for i in range(bars):
        base = (bar + i) * BAR
        last = fill_last and i == bars - 1
        for r in kicks:
            if last and r >= 8:
                continue
            song.note(CH_DRUM, base + r, 60, KICK, 60)
        for r in snares:
            if last and r >= 8:
                continue
            song.note(CH_DRUM, base + r, 60, SNARE, 46)
        if last:
            fill(song, base + 8)
        if hats:
            for r, vol, ins in HAT_STYLES[hats]:
                if crash_first and i == 0 and r < 6:
                    continue
                if last and r >= 12:
                    continue
                song.note(CH_HAT, base + r, 60, ins, vol)
    if crash_first:
        song.note(CH_HAT, bar * BAR, 60, CRASH, 40, soft=True)


def fill(song, row):
    """Half a bar of snare and tom-like pitched snares, rising in level."""
    hits = [(0, 60, 34), (2, 60, 38), (3, 57, 36), (4, 55, 42), (5, 55, 40),
            (6, 52, 48), (7, 52, 54)]
    for r, pitch, vol in hits:
        song.note(CH_DRUM, row + r, pitch, SNARE, vol)


# --- the tune --------------------------------------------------------------

THEME_A1 = ["E5/3 E5/3 D5/2 C5/2 D5/2 E5/4", "F5/3 E5/3 C5/2 A4/8~",
            "G5/3 G5/3 E5/2 C5/2 D5/2 E5/4", "D5/3 D5/3 B4/2 G4/8~"]
THEME_A2 = ["E5/3 E5/3 D5/2 C5/2 D5/2 E5/4", "A5/3 G5/3 F5/2 E5/2 F5/2 A5/4",
            "G5/3 F5/3 E5/2 D5/2 B4/2 G4/4", "G#4/6 B4/2 E5/8~"]
THEME_A3 = ["E5/3 E5/3 D5/2 C5/2 D5/2 E5/4", "F5/3 E5/3 C5/2 A4/4 C5/4",
            "D5/3 C5/3 B4/2 G4/2 A4/2 B4/4", "A4/12~> r/4"]
CHORDS_A1 = ["Am", "F", "C", "G"]
CHORDS_A2 = ["Am", "F", "G", "E"]
CHORDS_A3 = ["Am", "F", "G", "Am"]

THEME_B1 = ["A5/2 C6/2 A5/2 F5/2 G5/2 A5/2 C6/4", "B5/2 D6/2 B5/2 G5/2 A5/2 B5/2 D6/4",
            "B5/3 A5/3 G5/2 E5/8~", "C6/3 B5/3 A5/2 E5/4 A5/4"]
THEME_B2 = ["F5/2 A5/2 D6/2 A5/2 F5/2 A5/2 D6/4", "D6/3 C6/3 B5/2 G5/8~",
            "E5/2 G5/2 C6/2 G5/2 E5/2 G5/2 C6/4", "B5/6 A5/2 G#5/8~"]
THEME_B2_END = THEME_B2[:3] + ["E6/6 D6/2 B5/4 G#5/4"]
CHORDS_B1 = ["F", "G", "Em", "Am"]
CHORDS_B2 = ["Dm", "G", "C", "E"]

BRIDGE_1 = ["D5/6 E5/2 F5/8~", "E5/6 C5/2 A4/8~", "Bb4/6 C5/2 D5/8~", "E5/6 F5/2 G5/8~"]
BRIDGE_2 = ["A5/6 G5/2 F5/8~", "E5/6 D5/2 C5/8~", "D5/6 C5/2 Bb4/8~", "G#4/6 B4/2 E5/8~"]
CHORDS_BR1 = ["Dm", "Am", "Bb", "C"]
CHORDS_BR2 = ["Dm", "Am", "Bb", "E"]

BREAKDOWN = ["E5/8 D5/4 C5/4", "C5/8 A4/8~", "G5/8 E5/4 C5/4", "D5/16~>",
             "E5/8 D5/4 C5/4", "A5/8 F5/8~", "G5/8 D5/8~", "E5/12~> r/4"]
CHORDS_BD = CHORDS_A1 + CHORDS_A2

TEASER = ["E5/3 E5/3 D5/2 C5/2 D5/2 E5/4~", "r/16", "G5/3 G5/3 E5/2 C5/2 D5/2 E5/4~", "D5/8~> r/8"]

OUTRO = ["E5/3 E5/3 D5/2 C5/2 D5/2 E5/4", "F5/3 E5/3 C5/2 A4/8~",
         "B4/3 C5/3 D5/2 B4/8~", "A4/16~"]


LEAD_VOL = 44


def intro(song, pv):
    """Bars 0-15: pads swell, arpeggios come in, then bass, hats, drums."""
    pads(song, pv, 0, CHORDS_A1 * 4, vol=24)
    arp(song, 2, CHORDS_A1[2:], "long", gain=0.6)
    arp(song, 4, CHORDS_A1, "half", gain=0.8)
    arp(song, 8, CHORDS_A1 * 2, "run", gain=0.9)
    bass(song, 4, CHORDS_A1, "pulse", vol=44)
    bass(song, 8, CHORDS_A1 * 2, "oct8", vol=48)
    for i in range(4):
        for r, vol, ins in HAT_STYLES["offbeat"]:
            song.note(CH_HAT, (4 + i) * BAR + r, 60, ins, vol - 6 + 2 * i)
    drums(song, 8, 4, "four", hats="eighths")
    drums(song, 12, 4, "rock", hats="eighths", fill_last=True)
    placed = melody(song, CH_LEAD, 12, TEASER, LEAD_VOL - 8)
    echo(song, placed, 3, 18)


def theme(song, pv):
    """Bars 16-31."""
    row = 16
    for text, chords in ((THEME_A1, CHORDS_A1), (THEME_A2, CHORDS_A2),
                         (THEME_A1, CHORDS_A1), (THEME_A3, CHORDS_A3)):
        melody(song, CH_LEAD, row, text, LEAD_VOL)
        pads(song, pv, row, chords)
        arp(song, row, chords, "run")
        bass(song, row, chords, "oct8")
        row += 4
    drums(song, 16, 16, "rock", hats="eighths", fill_last=True, crash_first=True)


def variation(song, pv):
    """Bars 32-47: higher lead with an echo, busier bass and hats."""
    row = 32
    for text, chords in ((THEME_B1, CHORDS_B1), (THEME_B2, CHORDS_B2),
                         (THEME_B1, CHORDS_B1), (THEME_B2_END, CHORDS_B2)):
        placed = melody(song, CH_LEAD, row, text, LEAD_VOL - 4)
        echo(song, placed, 3, 16)
        pads(song, pv, row, chords)
        arp(song, row, chords, "sync")
        bass(song, row, chords, "drive")
        row += 4
    drums(song, 32, 8, "rock", hats="sixteenths", crash_first=True)
    drums(song, 40, 8, "drive", hats="sixteenths", fill_last=True, crash_first=True)


def theme_again(song, pv):
    """Bars 48-63: the theme with the echo an octave up and a driving beat."""
    row = 48
    for text, chords in ((THEME_A1, CHORDS_A1), (THEME_A2, CHORDS_A2),
                         (THEME_A1, CHORDS_A1), (THEME_A3, CHORDS_A3)):
        placed = melody(song, CH_LEAD, row, text, LEAD_VOL)
        echo(song, placed, 3, 18, transpose=12)
        pads(song, pv, row, chords)
        arp(song, row, chords, "run")
        bass(song, row, chords, "oct8")
        row += 4
    drums(song, 48, 16, "drive", hats="eighths", fill_last=True, crash_first=True)


def bridge(song, pv):
    """Bars 64-79: half-time, long singing notes over a walking bass."""
    row = 64
    for n, (text, chords) in enumerate(((BRIDGE_1, CHORDS_BR1), (BRIDGE_2, CHORDS_BR2),
                                        (BRIDGE_1, CHORDS_BR1), (BRIDGE_2, CHORDS_BR2))):
        placed = melody(song, CH_LEAD, row, text, LEAD_VOL)
        if n >= 2:
            harmony(song, placed, 26, row, chords)
        pads(song, pv, row, chords, vol=26)
        arp(song, row, chords, "run" if n % 2 else "sync")
        bass(song, row, chords, "walk")
        row += 4
    drums(song, 64, 8, "half", hats="eighths", crash_first=True)
    drums(song, 72, 8, "half", hats="sixteenths", fill_last=True, crash_first=True)


def breakdown(song, pv):
    """Bars 80-95: drums and bass drop out, the theme slowed down, then the
    band builds back up."""
    placed = melody(song, CH_LEAD, 80, BREAKDOWN, LEAD_VOL - 6)
    echo(song, placed, 6, 16)
    song.note(CH_HAT, 80 * BAR, 60, CRASH, 36)
    song.cut(CH_BASS, 80 * BAR)
    song.cut(CH_DRUM, 80 * BAR)
    pads(song, pv, 80, CHORDS_BD * 2, vol=26)
    arp(song, 80, CHORDS_BD, "long", gain=0.9)
    arp(song, 88, CHORDS_BD[:4], "half")
    arp(song, 92, CHORDS_BD[4:], "run")
    bass(song, 88, CHORDS_BD, "pulse", vol=46)
    placed = melody(song, CH_LEAD, 88, TEASER, LEAD_VOL - 8)
    echo(song, placed, 3, 16)
    drums(song, 88, 4, "four")
    drums(song, 92, 3, "four", hats="sixteenths")
    for r in (2, 6, 10, 14):            # snare build: off-beats, then sixteenths
        song.note(CH_DRUM, 94 * BAR + r, 60, SNARE, 22 + r)
    for r in range(16):
        song.note(CH_DRUM, 95 * BAR + r, 60, SNARE, 26 + r * 2)


def theme_return(song, pv):
    """Bars 96-127: both themes, with harmony on the second lead."""
    row = 96
    for text, chords in ((THEME_A1, CHORDS_A1), (THEME_A2, CHORDS_A2),
                         (THEME_A1, CHORDS_A1), (THEME_A3, CHORDS_A3),
                         (THEME_B1, CHORDS_B1), (THEME_B2, CHORDS_B2),
                         (THEME_B1, CHORDS_B1), (THEME_B2_END, CHORDS_B2)):
        placed = melody(song, CH_LEAD, row, text, LEAD_VOL)
        harmony(song, placed, 28, row, chords)
        pads(song, pv, row, chords)
        arp(song, row, chords, "run" if row < 112 else "sync")
        bass(song, row, chords, "oct8" if row < 112 else "drive")
        row += 4
    drums(song, 96, 16, "rock", hats="eighths", fill_last=True, crash_first=True)
    drums(song, 112, 16, "drive", hats="sixteenths", fill_last=True, crash_first=True)


def outro(song, pv):
    """Bars 128-135: the theme's resolving phrase, then a last phrase."""
    placed = melody(song, CH_LEAD, 128, THEME_A3, LEAD_VOL)
    harmony(song, placed, 24, 128, CHORDS_A3)
    pads(song, pv, 128, CHORDS_A3)
    arp(song, 128, CHORDS_A3, "run")
    bass(song, 128, CHORDS_A3, "oct8")
    drums(song, 128, 4, "rock", hats="eighths", crash_first=True)
    placed = melody(song, CH_LEAD, 132, OUTRO, LEAD_VOL - 2)
    echo(song, placed, 3, 16)
    pads(song, pv, 132, CHORDS_A3)
    arp(song, 132, CHORDS_A3, "half", gain=0.9)
    bass(song, 132, CHORDS_A3, "pulse", vol=46)
    drums(song, 132, 4, "half", hats="offbeat", fill_last=True)


def final_chord(song, pv):
    """Bars 136-139: one chord on every channel that rings out while the
    global volume fades to silence on the last row."""
    end = 136 * BAR
    song.note(CH_LEAD, end, midi("A5"), LEAD, 36)
    song.note(CH_ECHO, end, midi("E5"), LEAD, 24)
    song.note(CH_ARP, end, midi("A4"), ARP, 30, effect=fx("J", 0x37))
    song.note(CH_PAD1, end, midi("C4"), PAD, 28)
    song.note(CH_PAD2, end, midi("E4"), PAD, 28)
    song.note(CH_BASS, end, midi("A2"), BASS, 50)
    song.note(CH_DRUM, end, 60, KICK, 60)
    song.note(CH_HAT, end, 60, CRASH, 44)
    for r in range(2, 4 * BAR):
        song.put(CH_LEAD, end + r, effect=fx("H", 0x41))
        song.put(CH_ARP, end + r, effect=fx("J", 0x37))
    # Global volume: hold for a bar, then a smooth fade.
    fade_rows = 3 * BAR
    for r in range(fade_rows):
        level = int(round(GLOBAL_VOLUME * (1.0 - (r + 1) / fade_rows) ** 1.5))
        song.put(CH_BASS, end + BAR + r, effect=fx("V", level))


SECTIONS = (intro, theme, variation, theme_again, bridge, breakdown, theme_return, outro, final_chord)
SONG_BARS = 140


def compose():
    """The whole tune as a Song: its sections in order, the pad voicing
    running on from one into the next."""
    song = Song(SONG_BARS)
    pv = PadVoicer()
    for section in SECTIONS:
        section(song, pv)
    return song


# ---------------------------------------------------------------------------
# S3M writer
# ---------------------------------------------------------------------------

def s3m_note(pitch):
    if pitch == NOTE_CUT:
        return NOTE_CUT
    octave, semitone = divmod(pitch, 12)
    octave -= 1
    if not 0 <= octave <= 7:
        raise ValueError(f"note {pitch} out of range")
    return (octave << 4) | semitone


def pack_pattern(song, first_row):
    body = bytearray()
    for row in range(first_row, first_row + ROWS):
        for ch in range(CHANNELS):
            cell = song.grid[ch][row]
            if not cell:
                continue
            what, extra = ch, bytearray()
            if cell.get("note") is not None or cell.get("ins") is not None:
                what |= 0x20
                note = 255 if cell.get("note") is None else s3m_note(cell["note"])
                extra += bytes((note, cell.get("ins") or 0))
            if cell.get("vol") is not None:
                what |= 0x40
                extra.append(max(0, min(64, cell["vol"])))
            if cell.get("fx") is not None:
                what |= 0x80
                extra += bytes(cell["fx"])
            body.append(what)
            body += extra
        body.append(0)
    return struct.pack("<H", len(body) + 2) + bytes(body)


def align(pos):
    return (pos + 15) & ~15


def ascii_field(text, size):
    raw = text.encode("ascii")[: size - 1]
    return raw + b"\0" * (size - len(raw))


def patterns_and_orders(song):
    """The song cut into patterns of ROWS rows, each distinct one kept once,
    and the order list that plays them."""
    patterns, orders, index = [], [], {}
    for o in range(song.rows // ROWS):
        packed = pack_pattern(song, o * ROWS)
        if packed not in index:
            index[packed] = len(patterns)
            patterns.append(packed)
        orders.append(index[packed])
    return patterns, orders


def order_list(orders):
    """The orders with the end marker, padded to an even length."""
    order_bytes = bytes(orders) + b"\xff"
    if len(order_bytes) % 2:
        order_bytes += b"\xff"
    return order_bytes


def place(start, sizes, aligned):
    """Offsets of consecutive blocks from start, each on a paragraph when
    aligned; and the offset after the last."""
    offsets, pos = [], start
    for size in sizes:
        if aligned:
            pos = align(pos)
        offsets.append(pos)
        pos += size
    return offsets, pos


def song_header(n_orders, slots, n_patterns):
    header = bytearray(0x60)
    header[0:28] = ascii_field(TITLE, 28)
    header[0x1C] = 0x1A
    header[0x1D] = 16                                   # ST3 module
    struct.pack_into("<HHHHHH", header, 0x20, n_orders, slots, n_patterns,
                     0, 0x1320, 2)                      # flags, ST3.20, unsigned samples
    header[0x2C:0x30] = b"SCRM"
    header[0x30] = GLOBAL_VOLUME
    header[0x31] = SPEED
    header[0x32] = TEMPO
    header[0x33] = MASTER_VOLUME
    header[0x34] = 16                                   # GUS click removal, as ST3 writes it
    header[0x35] = 252                                  # a panning table follows
    for c in range(32):
        # Odd channels on the right-hand side (R1..), even ones left (L1..).
        header[0x40 + c] = (c // 2 + (8 if c % 2 else 0)) if c < CHANNELS else 255
    return header


def sample_record(number, sample, data_pos):
    rec = bytearray(80)
    rec[0] = 1
    rec[1:13] = ascii_field("light%02d.smp" % number, 13)[:12]
    seg = data_pos >> 4
    rec[0x0D] = (seg >> 16) & 0xFF
    struct.pack_into("<H", rec, 0x0E, seg & 0xFFFF)
    loop_start, loop_end = sample.loop or (0, 0)
    struct.pack_into("<III", rec, 0x10, len(sample.data), loop_start, loop_end)
    rec[0x1C] = 64
    rec[0x1F] = 1 if sample.loop else 0
    struct.pack_into("<I", rec, 0x20, sample.rate)
    struct.pack_into("<H", rec, 0x28, 1)            # ST3 on a Sound Blaster writes 1 here
    rec[0x30:0x4C] = ascii_field(sample.name, 28)
    rec[0x4C:0x50] = b"SCRS"
    return rec


def credit_record(text):
    """An empty instrument slot that only carries a line of text."""
    rec = bytearray(80)
    rec[0x30:0x4C] = ascii_field(text, 28)
    rec[0x4C:0x50] = b"SCRS"
    return rec


def build():
    """The module: the header, the order list, the parapointers to the
    instruments and patterns and the channel panning, then the instruments,
    patterns and sample data, each on a 16-byte paragraph."""
    patterns, orders = patterns_and_orders(compose())
    order_bytes = order_list(orders)
    samples = make_samples()
    slots = len(samples) + len(CREDITS)

    # The header, the orders, a parapointer per instrument and pattern, the
    # panning of 32 channels; then the blocks they point to.
    head = 0x60 + len(order_bytes) + 2 * slots + 2 * len(patterns) + 32
    ins_pos, end = place(align(head), [80] * slots, aligned=False)
    pat_pos, end = place(end, [len(p) for p in patterns], aligned=True)
    smp_pos, end = place(end, [len(s.data) for s in samples], aligned=True)
    records = ([sample_record(i + 1, s, p) for i, (s, p) in enumerate(zip(samples, smp_pos))]
               + [credit_record(text) for text in CREDITS])

    out = bytearray(align(end))
    out[0:0x60] = song_header(len(order_bytes), slots, len(patterns))
    pos = 0x60
    out[pos:pos + len(order_bytes)] = order_bytes
    pos += len(order_bytes)
    for p in ins_pos + pat_pos:
        struct.pack_into("<H", out, pos, p >> 4)
        pos += 2
    for c in range(32):
        out[pos + c] = (0x20 | PANNING[c]) if c < CHANNELS else 0
    for blocks, offsets in ((records, ins_pos), (patterns, pat_pos), ([s.data for s in samples], smp_pos)):
        for p, block in zip(offsets, blocks):
            out[p:p + len(block)] = block
    return bytes(out)


def write_whole(target, data):
    """Writes data beside target, then renames it over it: never a half
    module under its name, never a write through a link in its place."""
    with tempfile.NamedTemporaryFile(dir=os.path.dirname(os.path.abspath(target)), prefix=".LIGHT.",
                                     suffix=".part", delete=False) as f:
        try:
            f.write(data)
            f.flush()
            os.fsync(f.fileno())
            os.chmod(f.name, 0o644)
            os.replace(f.name, target)
        except BaseException:
            os.unlink(f.name)
            raise


def main(argv):
    usage = __doc__.strip().splitlines()[-1]
    if len(argv) > 2 or (len(argv) == 2 and argv[1].startswith("-")):
        asked = argv[1:] in (["-h"], ["--help"])
        print(usage, file=sys.stdout if asked else sys.stderr)
        return 0 if asked else 2
    here = os.path.dirname(os.path.abspath(__file__))
    target = argv[1] if len(argv) == 2 else os.path.join(here, "..", "assets", "LIGHT.S3M")
    try:
        write_whole(target, build())
    except OSError as e:
        print(f"make_music.py: cannot write {target}: {e.strerror or e}", file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
