#!/usr/bin/env python3
"""Compares the bursts a player recorded after a seek with those of a render of the same chart.

Every keysound is a short burst whose level names its measure, one burst every 100 ms. The
player's bursts must equal a contiguous run of the render's (so they come from the right place
and in the right order) and follow each other about 100 ms apart (a longer gap is a sound that
never played; the real clock's frames make the rest jitter). The recording's own clock is the
sound card's, which need not keep pace with the wall clock: its gaps are scaled so that their
median is the chart's spacing.

Usage: window_bursts.py PLAYER.raw FROM_BYTE RENDER.wav [--count K] [--settle SECONDS]
                        [--min-measure M] [--drop I]
PLAYER.raw is stereo float32 at 44.1 kHz, read from FROM_BYTE and SECONDS on; --drop removes the
player's I-th burst first, so a run can show that a hole is caught. Exit 0 when it all holds.
"""
import argparse
import struct
import sys

import numpy as np

RATE = 44100
LOUD = 0.02            # quieter than the quietest burst, louder than the codec's leftovers
APART = int(0.005 * RATE)  # samples of quiet that end a burst: more than a sine's zero crossing
SPACING = 0.1          # seconds between the chart's sounds
PER_MEASURE = 16
PEAK_TOLERANCE = 0.001  # under the step between two measures' levels, over the 16-bit rounding
# A frame that comes late delays a sound by its lateness and shortens the next gap as much; a
# missing sound makes a gap of two spacings, less a frame (17 ms) and a sound card period (12 ms)
# at most; a sound played twice, one far shorter.
GAP_RANGE = (0.03, 0.16)


def bursts(frames):
    """(start in seconds, peak) of each burst of a stereo block of samples."""
    level = np.abs(frames).max(axis=1)
    loud = np.flatnonzero(level > LOUD)
    if loud.size == 0:
        return []
    cuts = np.flatnonzero(np.diff(loud) > APART) + 1
    return [(run[0] / RATE, float(level[run[0]:run[-1] + 1].max()))
            for run in np.split(loud, cuts)]


def player_bursts(path, offset, settle):
    with open(path, 'rb') as f:
        f.seek(offset - offset % 8 + int(settle * RATE) * 8)
        data = np.frombuffer(f.read(), dtype='<f4')
    found = bursts(data[:data.size - data.size % 2].reshape(-1, 2))
    # One already sounding where the look began shows only its end.
    return [b for b in found if b[0] >= 0.03]


def wav_frames(path):
    with open(path, 'rb') as f:
        data = f.read()
    at = 12
    while at + 8 <= len(data):
        tag, size = struct.unpack_from('<4sI', data, at)
        if tag == b'data':
            pcm = np.frombuffer(data[at + 8:], dtype='<i2')
            return pcm[:pcm.size - pcm.size % 2].reshape(-1, 2) / 32768.0
        at += 8 + size + size % 2
    sys.exit('FAIL: no sound data in ' + path)


def match(played, reference):
    """(first reference index, gain, worst deviation) of the best contiguous match, or None.

    The same gain first; only if nothing matches so is the gain the ratio of the first peaks."""
    k = len(played)
    for free_gain in (False, True):
        best = None
        for j in range(len(reference) - k + 1):
            run = reference[j:j + k]
            gain = played[0] / run[0] if free_gain else 1.0
            worst = float(np.abs(played - gain * run).max())
            if worst <= PEAK_TOLERANCE and (best is None or worst < best[2]):
                best = (j, gain, worst)
        if best:
            return best
    return None


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument('player')
    ap.add_argument('offset', type=int)
    ap.add_argument('render')
    ap.add_argument('--count', type=int, default=24)
    ap.add_argument('--settle', type=float, default=0.5)
    ap.add_argument('--min-measure', type=int, default=20)
    ap.add_argument('--drop', type=int, default=-1)
    a = ap.parse_args()

    played = player_bursts(a.player, a.offset, a.settle)
    if 0 <= a.drop < len(played):
        del played[a.drop]
    reference = bursts(wav_frames(a.render))
    print(f'bursts: {len(played)} played after the seek, {len(reference)} in the render')
    if len(played) < a.count:
        print(f'FAIL: fewer than {a.count} bursts played after the seek')
        return 1
    played = played[:a.count]
    times = np.array([b[0] for b in played])
    peaks = np.array([b[1] for b in played])
    failed = False

    raw = np.diff(times)
    gaps = raw * (SPACING / np.median(raw))
    print(f'gaps (ms, median {np.median(raw) * 1000:.1f} scaled to {SPACING * 1000:.0f}): ' +
          ' '.join(str(round(g * 1000)) for g in gaps))
    odd = [i for i, g in enumerate(gaps) if not GAP_RANGE[0] <= g <= GAP_RANGE[1]]
    if odd:
        print(f'FAIL: a sound missing or doubled between bursts {odd[0]} and {odd[0] + 1}')
        failed = True

    found = match(peaks, np.array([b[1] for b in reference]))
    if found is None:
        print('FAIL: the played bursts match no run of the render')
        return 1
    j, gain, worst = found
    start = round((reference[j][0] - reference[0][0]) / SPACING)
    measure = start // PER_MEASURE
    print(f'match: render burst {j}, measure {measure} sound {start % PER_MEASURE}, '
          f'gain {gain:.4f}, worst peak deviation {worst:.5f}')
    if measure < a.min_measure:
        print(f'FAIL: play went on from measure {measure}, not from the middle')
        failed = True
    return 1 if failed else 0


if __name__ == '__main__':
    sys.exit(main())
