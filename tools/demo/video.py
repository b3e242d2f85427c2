"""The demo's video background: the intro's city at dusk, its windows lighting up one by one
while cars pass below and a shooting star crosses the sky. Encoded as MPEG-1 by Debian's ffmpeg
command with bit-exact flags, so the same ffmpeg gives the same file on every run."""

import subprocess

import numpy as np

from . import art

FPS = 24
SECONDS = 7


def _frames():
    dark = np.asarray(art.skyline(False), dtype=np.uint8)
    lit = np.asarray(art.skyline(True), dtype=np.uint8)
    rs = np.random.RandomState(11)
    # Each 6 x 6 cell of the picture turns from dark to lit at its own moment.
    cells = rs.uniform(0.05, 0.9, (art.SIZE // 6 + 1, art.SIZE // 6 + 1))
    yy, xx = np.mgrid[0:art.SIZE, 0:art.SIZE]
    turn = cells[yy // 6, xx // 6]
    cars = [(rs.uniform(0, art.SIZE), rs.uniform(30, 70) * (1 if k % 2 else -1), 240 + 6 * (k % 2))
            for k in range(6)]
    total = FPS * SECONDS
    for n in range(total):
        t = n / total
        frame = np.where((turn < t)[..., None], lit, dark).copy()
        for x0, speed, y in cars:
            x = int(x0 + speed * n / FPS) % (art.SIZE + 20) - 10
            colour = (255, 240, 200) if speed > 0 else (255, 60, 50)
            frame[y:y + 2, max(0, x):max(0, x + 6)] = colour
        if 0.2 <= t < 0.35:
            k = (t - 0.2) / 0.15
            sx, sy = int(20 + 140 * k), int(20 + 40 * k)
            for tail in range(12):
                px, py = sx - tail * 2, sy - tail // 2
                if 0 <= px < art.SIZE and 0 <= py < art.SIZE:
                    frame[py, px] = (255 - tail * 16,) * 3
        yield frame


def write(path):
    cmd = ["ffmpeg", "-nostdin", "-hide_banner", "-loglevel", "error", "-y",
           "-f", "rawvideo", "-pix_fmt", "rgb24", "-s", f"{art.SIZE}x{art.SIZE}", "-r", str(FPS),
           "-i", "-", "-c:v", "mpeg1video", "-q:v", "6", "-g", str(FPS),
           "-fflags", "+bitexact", "-flags:v", "+bitexact", path]
    proc = subprocess.Popen(cmd, stdin=subprocess.PIPE)
    for frame in _frames():
        proc.stdin.write(frame.tobytes())
    proc.stdin.close()
    if proc.wait() != 0:
        raise RuntimeError("ffmpeg could not encode " + path)
