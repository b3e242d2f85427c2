"""Sound synthesis for the demo song: drums, bass, lead, bells and pads, all from numpy.

Everything here is deterministic: noise comes from seeded legacy RandomState generators, whose
streams numpy keeps stable across versions.
"""

import numpy as np

SR = 44100


def midi_hz(note):
    return 440.0 * 2.0 ** ((note - 69) / 12.0)


def seconds(n_sec):
    return max(1, int(round(n_sec * SR)))


def time_axis(n):
    return np.arange(n) / SR


def noise(n, seed):
    return np.random.RandomState(seed).uniform(-1.0, 1.0, n)


def adsr(n, attack, decay, sustain, gate, release):
    """Envelope of n samples; the note is held for `gate` seconds, then released."""
    t = time_axis(n)
    env = np.where(t < attack, t / max(attack, 1e-6), 1.0)
    after = np.clip((t - attack) / max(decay, 1e-6), 0.0, None)
    env = np.where(t >= attack, sustain + (1.0 - sustain) * np.exp(-4.0 * after), env)
    held = env[min(n - 1, seconds(gate))] if n else 0.0
    rel = np.exp(-5.0 * np.clip(t - gate, 0.0, None) / max(release, 1e-6))
    return np.where(t < gate, env, held * rel)


def fade_tail(x, ms=4.0):
    """Ends every sample at exactly zero so a cut or a retrigger never clicks."""
    k = min(len(x), int(SR * ms / 1000.0))
    if k > 0:
        x = x.copy()
        x[-k:] *= np.linspace(1.0, 0.0, k)
    return x


def spectral_filter(x, lo=None, hi=None, slope=2.0):
    """Static band filter in the frequency domain (soft Butterworth-like shoulders)."""
    spec = np.fft.rfft(x)
    f = np.fft.rfftfreq(len(x), 1.0 / SR)
    gain = np.ones_like(f)
    if hi is not None:
        gain /= np.sqrt(1.0 + (f / hi) ** (2 * slope))
    if lo is not None:
        gain /= np.sqrt(1.0 + (lo / np.maximum(f, 1e-3)) ** (2 * slope))
    return np.fft.irfft(spec * gain, len(x))


def additive(freq, n, shape="saw", cutoff=None, slope=2.0, phase0=0.0):
    """Band-limited oscillator: sum of harmonics below Nyquist.

    `freq` is a constant or an array of instantaneous frequencies; `cutoff` (constant or array)
    applies a time-varying low-pass by weighting each harmonic, which no per-sample loop needs.
    """
    freq = np.broadcast_to(np.asarray(freq, dtype=float), (n,))
    phase = 2.0 * np.pi * np.cumsum(freq) / SR + phase0
    top = int(SR / 2 / float(freq.max()))
    out = np.zeros(n)
    for k in range(1, max(top, 1) + 1):
        if shape == "square" and k % 2 == 0:
            continue
        amp = 1.0 / k
        weight = amp
        if cutoff is not None:
            weight = amp / np.sqrt(1.0 + (k * freq / cutoff) ** (2 * slope))
        # Harmonics that the low-pass has pushed far down are not worth computing.
        if np.max(np.abs(weight)) < 1e-4:
            continue
        out += weight * np.sin(k * phase)
    return out


def reverb(x, mix, length=1.2, seed=7, tone=6000.0):
    """Convolution with a decaying noise tail: cheap, smooth and deterministic."""
    n_ir = seconds(length)
    ir = noise(n_ir, seed) * np.exp(-6.0 * time_axis(n_ir) / length)
    ir = spectral_filter(ir, lo=200.0, hi=tone)
    ir /= np.sqrt(np.sum(ir ** 2))
    wet_len = len(x) + n_ir
    size = 1 << (wet_len - 1).bit_length()
    wet = np.fft.irfft(np.fft.rfft(x, size) * np.fft.rfft(ir, size), size)[:wet_len]
    dry = np.concatenate([x, np.zeros(n_ir)])
    return (1.0 - mix) * dry + mix * wet * 0.6


def trim_silence(x, floor=10 ** (-54 / 20.0)):
    """Drops the inaudible end of a reverb tail to keep the files small."""
    loud = np.nonzero(np.abs(x) > floor * np.max(np.abs(x)))[0]
    if len(loud) == 0:
        return x[:1]
    return x[: loud[-1] + 1]


def normalise(x, peak_db):
    peak = np.max(np.abs(x))
    if peak <= 0:
        return x
    return x * (10 ** (peak_db / 20.0) / peak)


def finish(x, peak_db):
    return fade_tail(normalise(trim_silence(x), peak_db))


# Drums ------------------------------------------------------------------------------------------

def kick():
    n = seconds(0.42)
    t = time_axis(n)
    freq = 46.0 + 110.0 * np.exp(-t / 0.035)
    body = np.sin(2 * np.pi * np.cumsum(freq) / SR) * np.exp(-t / 0.16)
    click = spectral_filter(noise(n, 11), lo=1500.0, hi=6000.0) * np.exp(-t / 0.004)
    x = body + 0.35 * click
    x = np.tanh(1.6 * x)
    return finish(x, -12.0)


def snare():
    n = seconds(0.32)
    t = time_axis(n)
    tone = (np.sin(2 * np.pi * 185.0 * t) + 0.5 * np.sin(2 * np.pi * 330.0 * t)) * np.exp(-t / 0.05)
    rattle = spectral_filter(noise(n, 12), lo=1200.0, hi=9000.0) * np.exp(-t / 0.085)
    x = 0.8 * tone + 1.4 * rattle
    return finish(reverb(x, 0.18, length=0.5, seed=21), -13.0)


def clap():
    n = seconds(0.35)
    t = time_axis(n)
    burst = spectral_filter(noise(n, 13), lo=900.0, hi=5000.0)
    env = np.zeros(n)
    for i, start in enumerate((0.0, 0.011, 0.022)):
        env += (t >= start) * np.exp(-np.clip(t - start, 0, None) / (0.006 if i < 2 else 0.11))
    snap = snare()
    snap = np.pad(snap, (0, max(0, n - len(snap))))[:n]
    x = burst * env + 0.6 * snap / np.max(np.abs(snap))
    return finish(reverb(x, 0.25, length=0.45, seed=22), -13.0)


def hat(closed=True):
    n = seconds(0.09 if closed else 0.42)
    t = time_axis(n)
    metal = np.zeros(n)
    for f in (3140.0, 4470.0, 5930.0, 7210.0, 8360.0, 10630.0):
        metal += np.sign(np.sin(2 * np.pi * f * t))
    x = spectral_filter(0.6 * noise(n, 14) + 0.15 * metal, lo=6500.0, hi=15000.0, slope=3)
    x *= np.exp(-t / (0.018 if closed else 0.12))
    return finish(x, -21.0 if closed else -20.0)


def shaker():
    n = seconds(0.12)
    t = time_axis(n)
    env = np.sin(np.pi * np.clip(t / 0.11, 0, 1)) ** 2
    x = spectral_filter(noise(n, 15), lo=5000.0, hi=12000.0) * env
    return finish(x, -22.0)


def crash():
    n = seconds(2.2)
    t = time_axis(n)
    metal = np.zeros(n)
    rs = np.random.RandomState(16)
    for f in rs.uniform(2500.0, 9000.0, 24):
        metal += np.sin(2 * np.pi * f * t + rs.uniform(0, 2 * np.pi))
    x = spectral_filter(noise(n, 17) + 0.08 * metal, lo=3000.0, hi=14000.0)
    x *= np.exp(-t / 0.55) * (1 - np.exp(-t / 0.006))
    return finish(reverb(x, 0.2, length=1.0, seed=23), -19.0)


def tom(note):
    n = seconds(0.45)
    t = time_axis(n)
    f0 = midi_hz(note)
    freq = f0 * (1.0 + 0.6 * np.exp(-t / 0.03))
    x = np.sin(2 * np.pi * np.cumsum(freq) / SR) * np.exp(-t / 0.17)
    x += 0.3 * spectral_filter(noise(n, 18 + note), lo=400.0, hi=4000.0) * np.exp(-t / 0.02)
    return finish(reverb(x, 0.15, length=0.35, seed=24), -15.0)


# Pitched instruments --------------------------------------------------------------------------

def bass(note, gate):
    n = seconds(gate + 0.12)
    t = time_axis(n)
    f0 = midi_hz(note)
    cutoff = 180.0 + 1700.0 * np.exp(-t / 0.07)
    x = 0.7 * additive(f0, n, "saw", cutoff=cutoff) + 0.5 * np.sin(2 * np.pi * f0 * t)
    x += 0.35 * additive(f0 * 1.006, n, "square", cutoff=cutoff)
    x = np.tanh(1.3 * x) * adsr(n, 0.004, 0.12, 0.75, gate, 0.05)
    return finish(x, -16.0)


def lead(note, gate, bright=1.0):
    """A plucky two-saw lead; long gates get a delayed vibrato like a singer's held note."""
    release = 0.16
    n = seconds(gate + release + 0.05)
    t = time_axis(n)
    f0 = midi_hz(note)
    vib_depth = 0.006 * np.clip((t - 0.25) / 0.3, 0.0, 1.0)
    freq = f0 * (1.0 + vib_depth * np.sin(2 * np.pi * 5.4 * t))
    cutoff = (1400.0 + 3800.0 * np.exp(-t / 0.12)) * bright
    x = additive(freq, n, "saw", cutoff=cutoff, phase0=0.3)
    x += additive(freq * 1.0045, n, "saw", cutoff=cutoff, phase0=1.9)
    x += 0.4 * additive(freq * 0.5, n, "square", cutoff=cutoff)
    x *= adsr(n, 0.006, 0.18, 0.6, gate, release)
    return finish(reverb(x, 0.22, length=0.9, seed=25), -16.0)


def bell(note):
    n = seconds(0.7)
    t = time_axis(n)
    f0 = midi_hz(note)
    x = np.zeros(n)
    partials = ((1.0, 1.0, 0.35), (2.0, 0.35, 0.2), (3.01, 0.18, 0.1), (4.2, 0.1, 0.05))
    for ratio, amp, decay in partials:
        if ratio * f0 < SR / 2:
            x += amp * np.sin(2 * np.pi * ratio * f0 * t) * np.exp(-t / decay)
    x *= 1 - np.exp(-t / 0.002)
    return finish(reverb(x, 0.3, length=0.8, seed=26), -19.0)


def pad(notes, hold, bright=1.0, release=0.45, peak_db=-20.0):
    """Detuned saw chord, softened by a low-pass, held for `hold` seconds."""
    n = seconds(hold + release + 0.05)
    t = time_axis(n)
    x = np.zeros(n)
    cutoff = 1300.0 * bright * (1.0 + 0.25 * np.sin(2 * np.pi * 0.7 * t))
    for i, note in enumerate(notes):
        for j, cents in enumerate((-9.0, 0.0, 8.0)):
            f = midi_hz(note) * 2 ** (cents / 1200.0)
            x += additive(f, n, "saw", cutoff=cutoff, phase0=0.7 * i + 2.1 * j)
    x *= adsr(n, 0.09, 0.4, 0.85, hold, release)
    return finish(reverb(x, 0.3, length=1.4, seed=27), peak_db)


def stab(notes):
    """The chord hit that opens the break before the chorus."""
    n = seconds(1.1)
    t = time_axis(n)
    cutoff = 500.0 + 5000.0 * np.exp(-t / 0.09)
    x = np.zeros(n)
    for i, note in enumerate(notes):
        for cents in (-7.0, 7.0):
            x += additive(midi_hz(note) * 2 ** (cents / 1200.0), n, "saw", cutoff=cutoff,
                          phase0=float(i))
    x *= adsr(n, 0.003, 0.25, 0.25, 0.35, 0.3)
    x /= np.max(np.abs(x))
    burst = spectral_filter(noise(n, 19), lo=3000.0, hi=13000.0) * np.exp(-t / 0.3)
    x = x + 0.5 * burst
    return finish(reverb(x, 0.3, length=1.2, seed=28), -13.0)


def riser(length):
    """Noise swell that fills the stop before the chorus."""
    n = seconds(length)
    t = time_axis(n)
    ramp = np.clip(t / length, 0.0, 1.0)
    sweep = additive(300.0 + 1500.0 * ramp ** 2, n, "saw", cutoff=2500.0)
    x = spectral_filter(noise(n, 20), lo=1500.0, hi=11000.0) + 0.25 * sweep
    x *= ramp ** 2
    return finish(x, -18.0)
