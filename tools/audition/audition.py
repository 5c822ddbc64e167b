#!/usr/bin/python3
"""Audition the factory bank: render every preset through the `tarnwell` command on test signals
made here, print one line of figures per preset and draw a contact sheet of spectrograms.

    tools/audition/audition.py [--tarnwell build/tarnwell] [--presets 3,17,30-33]
                               [--sheet bank.png] [--json figures.json] [--jobs 3] [--figures]

--figures also prints the -3 dB points and peaks of the high-pass family (set from 20 to 200 Hz)
and the pitches, rates and levels the preset descriptions name, each against what they say.

Needs python3-numpy; the contact sheet also python3-matplotlib (skipped without it).

Columns (the sine is 220 Hz at -6 dBFS for 10 s, the chord a band-limited A-minor saw chord held
for 20 s, the high sine 3 kHz at -6 dBFS for 10 s):
  clk      one-sample jumps on the sine (count, largest jump in full scale)
  lim      samples at the output limit (+-0.999), most on one of the sine, chord, high sine or demo
  pk       the highest peak over those four, in dBFS
  dc       largest DC the preset adds to its input's (|output mean| - |input mean| per channel,
           over the sine, chord and demo; the demo's kicks carry 0.0006 of their own);
           sub = largest sub-15 Hz swing on the demo
  alias    largest folded harmonic of a 3 kHz sine at -6 dBFS standing 10 dB over its
           surroundings, in dBFS and against the output level; a 3.1 kHz sine must show the same
           harmonic folded to its own place, or it was a sideband of the tone, not an alias
  t60      seconds until a click's response stays 60 dB under its peak; zero: until exact silence
  dB       level against dry on the demo and the chord
  LU       integrated loudness of the demo (K-weighted, gated) against the dry demo's
  corr     left/right correlation on mono pink noise (1 = mono)
  hz       strongest frequency the click rings at (0 when nothing rings)
  near     the preset whose figures and spectra lie closest, and how far (0 = alike)
"""

import argparse
import concurrent.futures
import json
import os
import re
import struct
import subprocess
import sys
import tempfile

import numpy as np

RATE = 44100
LIMIT = 0.999


# ---------------------------------------------------------------------------------------------
# WAV files of 32-bit floats (what the command writes), read and written here.

def write_wav(path, stereo):
    data = np.asarray(stereo, dtype='<f4').T.copy()
    raw = data.tobytes()
    with open(path, 'wb') as f:
        f.write(b'RIFF' + struct.pack('<I', 36 + len(raw)) + b'WAVE')
        f.write(b'fmt ' + struct.pack('<IHHIIHH', 16, 3, 2, RATE, RATE * 8, 8, 32))
        f.write(b'data' + struct.pack('<I', len(raw)) + raw)


def read_wav(path):
    with open(path, 'rb') as f:
        blob = f.read()
    pos, fmt, channels, bits = 12, None, 2, 32
    while pos + 8 <= len(blob):
        tag, size = blob[pos:pos + 4], struct.unpack('<I', blob[pos + 4:pos + 8])[0]
        body = blob[pos + 8:pos + 8 + size]
        if tag == b'fmt ':
            fmt, channels = struct.unpack('<HH', body[:4])
            bits = struct.unpack('<H', body[14:16])[0]
        elif tag == b'data':
            if bits != 32:
                raise SystemExit(f'{path}: expected 32-bit float samples')
            return np.frombuffer(body, dtype='<f4').reshape(-1, channels).T.astype(np.float64)
        pos += 8 + size + (size & 1)
    raise SystemExit(f'{path}: no audio data')


# ---------------------------------------------------------------------------------------------
# Test signals.

def seconds(s):
    return int(round(s * RATE))


def sine(hz, dbfs, length):
    t = np.arange(seconds(length)) / RATE
    fade = np.minimum(1, t / 0.01)  # a 10 ms fade in: the onset itself makes no click or splash
    return 10 ** (dbfs / 20) * np.sin(2 * np.pi * hz * t) * fade


def saw_chord(freqs, length, peak=0.5):
    t = np.arange(seconds(length)) / RATE
    x = np.zeros_like(t)
    for f in freqs:
        for k in range(1, int(18000 / f) + 1):  # band-limited: no alias of our own
            x += np.sin(2 * np.pi * k * f * t) / k
    fade = np.minimum(1, np.minimum(t, t[-1] - t) / 0.005)  # 5 ms fades: the input makes no click
    x *= fade
    return x * peak / np.max(np.abs(x))


def pink(length, dbfs=-12):
    rng = np.random.default_rng(7)
    n = seconds(length)
    spectrum = np.fft.rfft(rng.standard_normal(n))
    f = np.arange(len(spectrum))
    spectrum[1:] /= np.sqrt(f[1:])
    spectrum[0] = 0
    x = np.fft.irfft(spectrum, n)
    return x * 10 ** (dbfs / 20) / np.sqrt(np.mean(x ** 2))


def click(length, at=0.25):
    x = np.zeros(seconds(length))
    x[seconds(at)] = 0.5
    return x


A_MINOR = [110.0, 130.81, 164.81, 220.0]
ALIAS_HZ = 3000

SIGNALS = {
    # name: (mono signal, tail seconds after it)
    'sine': (lambda: sine(220, -6, 10), 1),
    'chord': (lambda: saw_chord(A_MINOR, 20), 2),
    'alias': (lambda: sine(ALIAS_HZ, -6, 10), 0),
    'alias2': (lambda: sine(ALIAS_HZ + 100, -6, 2), 0),
    'noise': (lambda: pink(4), 0),
    'click': (lambda: click(0.5), 20),
}
DEMO_TAIL = 2


# ---------------------------------------------------------------------------------------------
# Rendering.

def render(tarnwell, preset, source, out, tail, extra=()):
    args = [tarnwell, 'render'] + ([source] if source else []) + [out, '--tail', str(tail), '--tempo', '120']
    args += ['--preset', str(preset)] if preset is not None else []
    args += list(extra)
    subprocess.run(args, check=True, stdout=subprocess.DEVNULL)
    return read_wav(out)


def render_all(tarnwell, preset, folder, inputs):
    outs = {}
    for name, (path, tail) in inputs.items():
        outs[name] = render(tarnwell, preset, path, os.path.join(folder, f'{preset}-{name}.wav'), tail)
    outs['demo'] = render(tarnwell, preset, None, os.path.join(folder, f'{preset}-demo.wav'), DEMO_TAIL)
    return outs


# ---------------------------------------------------------------------------------------------
# Measurements.

def moving_rms(x, width):
    c = np.concatenate(([0.0], np.cumsum(x * x)))
    half = width // 2
    i = np.arange(len(x))
    lo, hi = np.clip(i - half, 0, len(x)), np.clip(i + half + 1, 0, len(x))
    return np.sqrt((c[hi] - c[lo]) / np.maximum(hi - lo, 1))


def clicks(stereo):
    """One-sample jumps: second differences above 0.02 and ten times the RMS of their 25 ms
    neighbourhood on each side, merged within 5 ms. Steady steps (a sample-and-hold) raise the
    neighbourhood too."""
    events, largest = [], 0.0
    for x in stereo:
        d2 = np.zeros_like(x)
        d2[2:] = x[2:] - 2 * x[1:-1] + x[:-2]
        local = moving_rms(d2, seconds(0.05))
        hits = np.nonzero((np.abs(d2) > 0.02) & (np.abs(d2) > 10 * local))[0]
        # A click stands alone: four or more like it within 25 ms are a waveform's own edges (a
        # low saw or square), not a fault.
        half = seconds(0.025)
        hits = [i for i in hits
                if np.count_nonzero(np.abs(d2[max(i - half, 0):i + half]) > 0.5 * abs(d2[i])) < 4]
        for i in hits:
            largest = max(largest, abs(x[i] - x[i - 1]), abs(x[i - 1] - x[i - 2]))
        events.extend(hits)
    events.sort()
    count, last = 0, -10 ** 9
    for i in events:
        if i - last > seconds(0.005):
            count += 1
        last = i
    return count, largest


def at_limit(stereo):
    return int(np.count_nonzero(np.abs(stereo) >= LIMIT - 1e-6))


def added_dc(out, dry):
    return max(max(abs(float(np.mean(o))) - abs(float(np.mean(d))), 0.0) for o, d in zip(out, dry))


def sub15(stereo):
    worst = 0.0
    for x in stereo:
        spectrum = np.fft.rfft(x)
        f = np.fft.rfftfreq(len(x), 1 / RATE)
        spectrum[(f < 0.5) | (f > 15)] = 0
        worst = max(worst, float(np.max(np.abs(np.fft.irfft(spectrum, len(x))))))
    return worst


def folded_tones(stereo, hz):
    """Harmonics of hz that fold back below Nyquist and stand as tones in the output: {harmonic:
    level}, and the output's level."""
    x = stereo[:, seconds(0.5):seconds(1.5)]
    w = np.blackman(x.shape[1])
    spectra = [np.abs(np.fft.rfft(c * w)) * 2 / np.sum(w) for c in x]
    mag = np.maximum(spectra[0], spectra[1])
    tones = {}
    for h in range(8, 60):
        folded = (h * hz) % RATE
        folded = min(folded, RATE - folded)
        if min(abs(folded - k * hz) for k in range(1, 8)) < 50:
            continue
        b = int(round(folded))  # one bin per Hz over one second
        tone = float(np.max(mag[max(b - 3, 0):b + 4]))
        # A tone, not the broadband wash a modulated room spreads around: 10 dB over its
        # surroundings.
        around = np.median(np.concatenate((mag[max(b - 150, 0):max(b - 10, 0)], mag[b + 10:b + 150])))
        if tone > 3.16 * around:
            tones[h] = tone
    return tones, np.sqrt(np.mean(x ** 2)) * np.sqrt(2)


def alias_level(first, second):
    """Largest folded harmonic, in dBFS and against the output, of a sine (first) that a second
    sine 100 Hz higher confirms: an alias moves to where that harmonic of the second folds, while
    a sideband that a modulated room or delay puts near the tone only moves with the tone."""
    tones, level = folded_tones(first, ALIAS_HZ)
    again, _ = folded_tones(second, ALIAS_HZ + 100)
    worst = max([v for h, v in tones.items() if h in again], default=1e-12)
    return 20 * np.log10(worst), 20 * np.log10(worst / max(level, 1e-12))


def envelope_db(stereo, block=441):
    e = np.sum(stereo ** 2, axis=0)
    n = len(e) // block
    return 10 * np.log10(np.mean(e[:n * block].reshape(n, block), axis=1) + 1e-30)


def tails(stereo, start):
    env = envelope_db(stereo[:, start:])
    peak = np.max(env)
    if peak < -150:  # nothing came out (a closed gate, a hold that missed the click)
        return 0.0, 0.0
    loud = np.nonzero(env > peak - 60)[0]
    t60 = (loud[-1] + 1) * 441 / RATE if len(loud) else 0.0
    nonzero = np.nonzero(np.any(stereo[:, start:] != 0, axis=0))[0]
    zero = (nonzero[-1] + 1) / RATE if len(nonzero) else 0.0
    zero_reached = len(nonzero) == 0 or nonzero[-1] + 1 < stereo.shape[1] - start - seconds(0.1)
    return t60, zero if zero_reached else None


def ring_hz(stereo, start):
    """The frequency a click rings at: the peak of the response's spectrum 50 ms on, when it
    stands clear of the rest."""
    x = np.sum(stereo[:, start + seconds(0.05):start + seconds(1.05)], axis=0)
    if np.max(np.abs(x)) < 1e-4:
        return 0.0
    mag = np.abs(np.fft.rfft(x * np.hanning(len(x))))
    f = np.fft.rfftfreq(len(x), 1 / RATE)
    mag[f < 30] = 0
    k = int(np.argmax(mag))
    return float(f[k]) if mag[k] > 6 * np.median(mag[mag > 0]) else 0.0


def level_db(out, dry):
    n = min(out.shape[1], dry.shape[1])
    return 10 * np.log10(np.mean(out[:, :n] ** 2) / np.mean(dry[:, :n] ** 2) + 1e-30)


def filtered(x, stages):
    """x through biquads (b, a), by multiplying spectra: exact for these short responses, with a
    second of padding so that nothing wraps around."""
    n = len(x) + seconds(1)
    z = np.exp(-1j * np.pi * np.fft.rfftfreq(n, 1 / RATE) / (RATE / 2))
    h = np.ones(len(z), dtype=complex)
    for b, a in stages:
        h *= (b[0] + b[1] * z + b[2] * z * z) / (a[0] + a[1] * z + a[2] * z * z)
    return np.fft.irfft(np.fft.rfft(x, n) * h, n)[:len(x)]


def k_weighting():
    """The loudness meter's two stages (a shelf of +4 dB above 1.7 kHz, a high-pass at 38 Hz) as
    biquads at this rate, from their analogue prototypes."""
    def shelf(f0, gain_db, q):
        k, vh = np.tan(np.pi * f0 / RATE), 10 ** (gain_db / 20)
        vb = vh ** 0.4996667741545416
        a0 = 1 + k / q + k * k
        return ([(vh + vb * k / q + k * k) / a0, 2 * (k * k - vh) / a0, (vh - vb * k / q + k * k) / a0],
                [1, 2 * (k * k - 1) / a0, (1 - k / q + k * k) / a0])

    def high_pass(f0, q):
        k = np.tan(np.pi * f0 / RATE)
        a0 = 1 + k / q + k * k
        return [1, -2, 1], [1, 2 * (k * k - 1) / a0, (1 - k / q + k * k) / a0]

    return shelf(1681.974450955533, 3.999843853973347, 0.7071752369554196), high_pass(38.13547087602444, 0.5003270373238773)


def loudness(stereo):
    """Integrated loudness in LUFS: K-weighted, 400 ms blocks every 100 ms, gated at -70 LUFS and
    then 10 LU under the mean of what passed."""
    stages = k_weighting()
    e = np.sum([filtered(x, stages) ** 2 for x in stereo], axis=0)
    c = np.concatenate(([0.0], np.cumsum(e)))
    width, hop = seconds(0.4), seconds(0.1)
    starts = np.arange(0, len(e) - width + 1, hop)
    if not len(starts):
        return -np.inf
    blocks = (c[starts + width] - c[starts]) / width
    lufs = -0.691 + 10 * np.log10(blocks + 1e-30)
    gated = blocks[lufs > -70]
    if not len(gated):
        return -np.inf
    relative = -0.691 + 10 * np.log10(np.mean(gated)) - 10
    power = np.mean(gated[-0.691 + 10 * np.log10(gated) > relative])
    return -0.691 + 10 * np.log10(power)


def correlation(stereo):
    l, r = stereo
    d = np.sqrt(np.sum(l * l) * np.sum(r * r))
    return float(np.sum(l * r) / d) if d > 0 else 1.0


def band_spectrum(stereo):
    """Third-octave band levels (dB) of the whole render, both channels side by side."""
    edges = 20 * 2 ** (np.arange(31) / 3)
    bands = []
    for x in stereo:
        p = np.abs(np.fft.rfft(x)) ** 2
        f = np.fft.rfftfreq(len(x), 1 / RATE)
        idx = np.searchsorted(f, edges)
        bands.extend(10 * np.log10(np.add.reduceat(p, idx[:-1]) / np.maximum(np.diff(idx), 1) + 1e-20))
    return np.array(bands)


def fingerprint(outs):
    parts = [band_spectrum(outs[k]) / 10 for k in ('demo', 'chord', 'noise')]
    env = envelope_db(outs['demo'], 4410)  # 100 ms blocks: rhythm and gating
    parts.append((env - np.max(env)) / 10)
    return np.concatenate(parts)


def measure(outs, dry):
    start = seconds(0.25)
    t60, zero = tails(outs['click'], start)
    nclk, jump = clicks(outs['sine'])
    alias_dbfs, alias_rel = alias_level(outs['alias'], outs['alias2'])
    steady = {k: outs[k][:, :dry[k].shape[1]] for k in ('sine', 'chord', 'demo')}
    held = ('sine', 'chord', 'alias', 'demo')
    limits = {k: at_limit(outs[k]) for k in held}
    return {
        'clicks': nclk,
        'jump': jump,
        'limit': max(limits.values()),
        'limits': limits,
        'peak': max(20 * np.log10(np.max(np.abs(outs[k])) + 1e-30) for k in held),
        'lufs': loudness(outs['demo'][:, :dry['demo'].shape[1]]),
        'dc': max(added_dc(v, dry[k]) for k, v in steady.items()),
        'sub15': sub15(steady['demo']),
        'alias': alias_dbfs,
        'alias_rel': alias_rel,
        't60': t60,
        'zero': zero,
        'demo_db': level_db(outs['demo'], dry['demo']),
        'chord_db': level_db(outs['chord'], dry['chord']),
        'corr': correlation(outs['noise']),
        'hz': ring_hz(outs['click'], start),
    }


# ---------------------------------------------------------------------------------------------
# The high-pass family and the figures the presets' descriptions name.

HIGH_PASSES = ('HP2 12dB', 'HP1 24dB', 'HP 36dB')


def response(tarnwell, folder, preset, settings, tag):
    """Output over input spectrum (dB) of a preset, with settings (('--set', 'k=v'), ('--type',
    'k=t'), ...), on ten seconds of pink noise: frequencies and levels."""
    source = os.path.join(folder, 'in-pink10.wav')
    if not os.path.exists(source):
        mono = pink(10)
        write_wav(source, [mono, mono])
    extra = [a for pair in settings for a in pair]
    y = render(tarnwell, preset, source, os.path.join(folder, f'resp-{tag}.wav'), 0, extra)
    x = read_wav(source)
    n = 1 << 14

    def psd(sig):
        sig = sig[:, seconds(1):]
        w = np.hanning(n)
        return np.mean([np.abs(np.fft.rfft(c[i * n:(i + 1) * n] * w)) ** 2
                        for c in sig for i in range(sig.shape[1] // n)], axis=0)
    return np.fft.rfftfreq(n, 1 / RATE), 10 * np.log10(psd(y) / psd(x))


def band_db(f, db, hz, width=1 / 6):
    m = (f > hz * 2 ** -width) & (f < hz * 2 ** width)
    return float(np.mean(db[m]))


def impulse_response(tarnwell, folder, preset, settings, tag, seconds_after=1.0):
    source = os.path.join(folder, 'in-impulse.wav')
    if not os.path.exists(source):
        write_wav(source, [click(0.5), click(0.5)])
    extra = [a for pair in settings for a in pair]
    y = render(tarnwell, preset, source, os.path.join(folder, f'ir-{tag}.wav'), seconds_after, extra)
    return np.sum(y[:, seconds(0.25):], axis=0) / 0.5 / 2


def high_pass_figures(tarnwell, folder):
    """-3 dB point and largest peak (against 5 kHz) of each high-pass type, set from 20 to 200 Hz,
    at Q 0 and 0.5: the response must follow the set frequency."""
    print('high-pass family: set Hz -> -3 dB point / peak dB at Hz, for Q 0 and Q 0.5')
    for mode in HIGH_PASSES:
        for q in (0, 0.5):
            cells = []
            for hz in (20, 25, 40, 57, 100, 200):
                settings = [('--type', 'Block 1 Type=Filter'), ('--type', f'Block 1 Filter Mode={mode}'),
                            ('--type', f'Block 1 Filter Freq={hz}'), ('--set', f'Block 1 Filter Q={q}'),
                            ('--set', 'Block 1 Mix=1'), ('--set', 'Block 1 Filter Gain=0.5'),
                            ('--set', 'Block 2 Bypass=1'), ('--set', 'Block 3 Bypass=1')]
                h = impulse_response(tarnwell, folder, 0, settings, f'hp-{mode}-{q}-{hz}'.replace(' ', ''))
                spectrum = np.abs(np.fft.rfft(h, 1 << 21))
                f = np.fft.rfftfreq(1 << 21, 1 / RATE)
                db = 20 * np.log10(spectrum / spectrum[np.searchsorted(f, 5000)] + 1e-30)
                band = (f >= 5) & (f <= 5000)
                under = np.nonzero(db[band] < -3)[0]
                corner = f[band][under[-1]] if len(under) else 0.0
                k = int(np.argmax(db[band]))
                cells.append(f'{hz}:{corner:.0f}/{db[band][k]:+.1f}@{f[band][k]:.0f}')
            print(f'  {mode:<9} Q {q:<3} ' + ' '.join(cells))


def ring_frequency(h, lo, hi):
    """Strongest frequency between lo and hi that an impulse response rings at, 20 ms on."""
    x = h[seconds(0.02):seconds(1.02)]
    spectrum = np.abs(np.fft.rfft(x * np.hanning(len(x)), 1 << 20))
    f = np.fft.rfftfreq(1 << 20, 1 / RATE)
    m = (f > lo) & (f < hi)
    return float(f[m][np.argmax(spectrum[m])])


def described_figures(tarnwell, folder):
    """The pitches, rates and levels that preset descriptions name, measured: each line gives what
    the description says and what the preset does."""
    print('figures the descriptions name (said -> measured)')
    alone = {1: [('--set', 'Block 2 Bypass=1'), ('--set', 'Block 3 Bypass=1')],
             2: [('--set', 'Block 1 Bypass=1'), ('--set', 'Block 3 Bypass=1')],
             3: [('--set', 'Block 1 Bypass=1'), ('--set', 'Block 2 Bypass=1')]}
    rings = [ring_frequency(impulse_response(tarnwell, folder, 16, alone[b], f'16-{b}', 2), lo, hi)
             for b, lo, hi in ((1, 150, 300), (2, 250, 450), (3, 350, 600))]
    print(f'  16 comb rings 233.1 / 349.2 / 466.2 Hz -> {rings[0]:.1f} / {rings[1]:.1f} / {rings[2]:.1f}')
    h = impulse_response(tarnwell, folder, 12, alone[1], '12', 2)
    print(f'  12 comb ring 100 Hz -> {ring_frequency(h, 60, 150):.1f}')
    # 57: a click on every eighth of a bar; each step rings at its own note.
    clicks_in = os.path.join(folder, 'in-eighths.wav')
    x = np.zeros(seconds(2))
    for k in range(8):
        x[k * seconds(0.25) + seconds(0.1)] = 0.5
    write_wav(clicks_in, [x, x])
    y = np.sum(render(tarnwell, 57, clicks_in, os.path.join(folder, 'steps.wav'), 0,
                      ['--set', 'Delay On=0']), axis=0)
    steps = []
    for k in range(8):
        seg = y[k * seconds(0.25) + seconds(0.105):(k + 1) * seconds(0.25)]
        spectrum = np.abs(np.fft.rfft(seg * np.hanning(len(seg)), 1 << 20))
        f = np.fft.rfftfreq(1 << 20, 1 / RATE)
        m = (f > 95) & (f < 270)
        steps.append(12 * np.log2(f[m][np.argmax(spectrum[m])] / 110))
    print('  57 steps 0 2 4 6 8 10 12 14 semitones over 110 Hz -> ' + ' '.join(f'{s:.2f}' for s in steps))
    # 49: the note of each eighth, over four bars of a steady 440 Hz sine, the grains alone (Delay
    # off, Mix 1). Grains started every few ms at their own input phases sum to lines at the
    # input's frequency plus multiples of the grain rate, weighted by one grain's spectrum around
    # the played pitch: the loudest line can sit a semitone or more off, so the note is the
    # centre of power within a fourth of it, found by narrowing. The fixed Semi-tune +3 is the
    # check that the estimate reads a known pitch.
    y49 = os.path.join(folder, 'in-a440.wav')
    a440 = sine(440, -12, 10)
    write_wav(y49, [a440, a440])
    alone = ['-q', '--set', 'Delay On=0', '--set', 'Block 2 Bypass=1']

    def notes(extra):
        y = np.sum(render(tarnwell, 49, y49, os.path.join(folder, 'arp.wav'), 0, alone + extra), axis=0)
        f = np.fft.rfftfreq(1 << 18, 1 / RATE)
        found = []
        for k in range(8):
            heard = []
            for bar in range(1, 5):  # past the first bar, the glide into each eighth skipped
                seg = y[seconds(2 * bar + 0.25 * k + 0.06):seconds(2 * bar + 0.25 * (k + 1))]
                power = np.abs(np.fft.rfft(seg * np.hanning(len(seg)), 1 << 18)) ** 2
                lo, hi = 350.0, 1150.0
                for _ in range(5):
                    m = (f > lo) & (f < hi)
                    c = np.sum(power[m] * f[m]) / np.sum(power[m])
                    lo, hi = c * 2 ** (-5 / 12), c * 2 ** (5 / 12)
                heard.append(12 * np.log2(c / 440))
            found.append(np.mean(heard))
        return found
    played = notes(['--set', 'Block 1 Mix=1'])
    # Parameter 32 is Block 1's first X amount, here X > Grain Semi: 0.5 turns it off.
    check = np.mean(notes(['--set', 'Block 1 Mix=1', '--set', '32=0.5', '--type', 'Block 1 Grain Semi-tune=3']))
    # The preset's grains are at full wet from Mix 0.5 up: what it adds to them alone is its dry.
    wet = render(tarnwell, 49, y49, os.path.join(folder, 'arp.wav'), 0, alone + ['--set', 'Block 1 Mix=1'])
    both = render(tarnwell, 49, y49, os.path.join(folder, 'arp.wav'), 0, alone)
    under = level_db(wet, both - wet)
    print('  49 arpeggio 0 7 3 12 5 10 7 3 semitones -> ' + ' '.join(f'{s:.1f}' for s in played) +
          f' (Semi-tune +3 alone reads {check:+.1f}); the dry root {under:.1f} dB under the grains')
    # 19: the tremolo rate of each side on the 220 Hz sine.
    source = os.path.join(folder, 'in-sine.wav')
    y = render(tarnwell, 19, source, os.path.join(folder, 'trem.wav'), 0)[:, seconds(1):]
    rates = []
    for c in y:
        e = moving_rms(c, seconds(0.01))
        spectrum = np.abs(np.fft.rfft((e - np.mean(e)) * np.hanning(len(e)), 1 << 22))
        f = np.fft.rfftfreq(1 << 22, 1 / RATE)
        m = (f > 1) & (f < 20)
        rates.append(f[m][np.argmax(spectrum[m])])
    print(f'  19 tremolo about 5 Hz, left faster -> left {rates[0]:.2f} Hz, right {rates[1]:.2f} Hz')
    for preset, said, points in ((52, 'full range', (1000, 8000, 16000)), (60, 'highs -3 dB, -3 dB at 400 Hz',
                                 (200, 400, 1000, 8000)), (44, 'original -5 dB, octave 2 dB under',
                                 (1000, 8000, 16000)), (22, 'no sub-audio lift', (10, 15, 100))):
        f, db = response(tarnwell, folder, preset, [], str(preset))
        print(f'  {preset} {said} -> ' + ' '.join(f'{hz} Hz {band_db(f, db, hz):+.1f} dB' for hz in points))
    y = render(tarnwell, 32, None, os.path.join(folder, 'gated.wav'), 3)
    env = envelope_db(y, 4410)
    loop = seconds(8) // 4410
    print(f'  32 room gone when the input stops -> loudest 100 ms after the loop ends: '
          f'{np.max(env[loop:]) - np.max(env[:loop]):.0f} dB under the loop\'s')
    f, db = response(tarnwell, folder, 53, [], '53')
    power = 10 ** (db / 10) / np.maximum(f, 1)  # pink noise in: output power per Hz
    m = (f > 20) & (f < 20000)
    centre = np.sum(power[m] * f[m]) / np.sum(power[m])
    pink_centre = np.sum(f[m] / np.maximum(f[m], 1)) / np.sum(1 / np.maximum(f[m], 1))
    print(f'  53 dark -> spectral centre {np.log2(centre / pink_centre):+.2f} octaves against the input')


# ---------------------------------------------------------------------------------------------
# Output.

def contact_sheet(path, names, demos):
    try:
        import matplotlib
        matplotlib.use('Agg')
        import matplotlib.pyplot as plt
    except ImportError:
        print('no matplotlib: contact sheet skipped', file=sys.stderr)
        return
    cols = 8
    rows = (len(names) + cols - 1) // cols
    fig, axes = plt.subplots(rows, cols, figsize=(cols * 2.6, rows * 2.0), squeeze=False)
    for ax in axes.flat:
        ax.axis('off')
    for ax, name, x in zip(axes.flat, names, demos):
        mono = np.sum(x, axis=0) * 0.5
        with np.errstate(divide='ignore'):  # exact silence draws blank
            ax.specgram(mono, NFFT=1024, Fs=RATE, noverlap=512, cmap='magma', vmin=-120, vmax=-20,
                        scale='dB')
        ax.set_yscale('symlog', linthresh=200)
        ax.set_ylim(40, RATE / 2)
        ax.set_title(name, fontsize=7)
    fig.suptitle('Demo loop through each preset (time 0..10 s, 40 Hz..22 kHz, log)', fontsize=10)
    fig.tight_layout()
    fig.savefig(path, dpi=70)
    print(f'contact sheet: {path}', file=sys.stderr)


def parse_presets(text, count):
    if not text:
        return list(range(count))
    chosen = []
    for part in text.split(','):
        a, _, b = part.partition('-')
        chosen.extend(range(int(a), int(b or a) + 1))
    return chosen


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    ap = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument('--tarnwell', default=os.path.join(here, '..', '..', 'build', 'tarnwell'))
    ap.add_argument('--presets', help='numbers and ranges, e.g. 3,17,30-33 (default: all)')
    ap.add_argument('--sheet', help='write a contact sheet of spectrograms to this PNG')
    ap.add_argument('--json', help='write the figures to this file')
    ap.add_argument('--jobs', type=int, default=3)
    ap.add_argument('--figures', action='store_true',
                    help='also measure the high-pass family and the figures the descriptions name')
    args = ap.parse_args()

    listing = subprocess.run([args.tarnwell, 'presets'], check=True, capture_output=True, text=True).stdout
    names = {int(m.group(1)): m.group(2) for m in re.finditer(r'^\s*(\d+)\s+(.*)$', listing, re.M)}
    chosen = parse_presets(args.presets, len(names))

    with tempfile.TemporaryDirectory(prefix='audition-') as folder:
        inputs = {}
        dry = {}
        for name, (make, tail) in SIGNALS.items():
            mono = make()
            path = os.path.join(folder, f'in-{name}.wav')
            write_wav(path, [mono, mono])
            inputs[name] = (path, tail)
            dry[name] = np.array([mono, mono])
        # The demo as it enters: the effect bypassed.
        dry['demo'] = render(args.tarnwell, None, None, os.path.join(folder, 'dry-demo.wav'), 0,
                             ['--set', 'Bypass=1'])

        def one(p):
            outs = render_all(args.tarnwell, p, folder, inputs)
            figures = measure(outs, dry)
            return p, figures, fingerprint(outs), outs['demo']

        with concurrent.futures.ThreadPoolExecutor(args.jobs) as pool:
            results = sorted(pool.map(one, chosen), key=lambda r: r[0])
        if args.figures:
            high_pass_figures(args.tarnwell, folder)
            described_figures(args.tarnwell, folder)

    prints = np.array([r[2] for r in results])
    table = {}
    dry_lufs = loudness(dry['demo'])
    print(f'dry demo loop: {dry_lufs:.1f} LUFS')
    print(f'{"#":>2} {"name":<28} {"clk":>9} {"lim":>5} {"pk":>5} {"dc":>7} {"sub":>6} {"alias":>11} {"t60":>5} '
          f'{"zero":>5} {"dB demo/chd":>11} {"LU":>5} {"corr":>5} {"hz":>6} {"near":>7}')
    for i, (p, f, _, _) in enumerate(results):
        if len(results) > 1:
            d = np.sqrt(np.mean((prints - prints[i]) ** 2, axis=1))
            d[i] = np.inf
            j = int(np.argmin(d))
            f['near'], f['near_dist'] = results[j][0], float(d[j])
        else:
            f['near'], f['near_dist'] = p, 0.0
        f['name'] = names[p]
        f['lu'] = f['lufs'] - dry_lufs
        table[p] = f
        zero = f'{f["zero"]:5.1f}' if f['zero'] is not None else '  -  '
        print(f'{p:2d} {names[p]:<28} {f["clicks"]:>3} {f["jump"]:5.2f} {f["limit"]:5d} {f["peak"]:5.1f} {f["dc"]:7.4f} '
              f'{f["sub15"]:6.3f} {f["alias"]:5.0f}/{f["alias_rel"]:4.0f} {f["t60"]:5.1f} {zero} '
              f'{f["demo_db"]:5.1f}/{f["chord_db"]:5.1f} {f["lu"]:+5.1f} {f["corr"]:5.2f} {f["hz"]:6.0f} '
              f'{f["near"]:2d}:{f["near_dist"]:4.2f}')
    if args.json:
        with open(args.json, 'w') as out:
            json.dump(table, out, indent=1)
    if args.sheet:
        contact_sheet(args.sheet, [f'{r[0]:02d} {names[r[0]]}' for r in results], [r[3] for r in results])


if __name__ == '__main__':
    main()
