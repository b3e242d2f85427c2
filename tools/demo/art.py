"""Background pictures for the demo song, drawn with Pillow and numpy.

Base pictures fill the 256 x 256 area. Layer pictures are drawn over them with black as the
transparent colour, so they use hard-edged bright shapes only: a soft edge fading into black
would leave a dark fringe wherever it is not dark enough to count as black.
"""

import math

import numpy as np
from PIL import Image, ImageDraw, ImageFilter

SIZE = 256

# A 5 x 7 pixel font, only the letters the pictures need.
FONT = {
    "A": ["01110", "10001", "10001", "11111", "10001", "10001", "10001"],
    "D": ["11110", "10001", "10001", "10001", "10001", "10001", "11110"],
    "E": ["11111", "10000", "10000", "11110", "10000", "10000", "11111"],
    "F": ["11111", "10000", "10000", "11110", "10000", "10000", "10000"],
    "G": ["01111", "10000", "10000", "10011", "10001", "10001", "01111"],
    "H": ["10001", "10001", "10001", "11111", "10001", "10001", "10001"],
    "I": ["11111", "00100", "00100", "00100", "00100", "00100", "11111"],
    "K": ["10001", "10010", "10100", "11000", "10100", "10010", "10001"],
    "L": ["10000", "10000", "10000", "10000", "10000", "10000", "11111"],
    "M": ["10001", "11011", "10101", "10101", "10001", "10001", "10001"],
    "N": ["10001", "11001", "10101", "10011", "10001", "10001", "10001"],
    "O": ["01110", "10001", "10001", "10001", "10001", "10001", "01110"],
    "R": ["11110", "10001", "10001", "11110", "10100", "10010", "10001"],
    "S": ["01111", "10000", "10000", "01110", "00001", "00001", "11110"],
    "T": ["11111", "00100", "00100", "00100", "00100", "00100", "00100"],
    "U": ["10001", "10001", "10001", "10001", "10001", "10001", "01110"],
    "V": ["10001", "10001", "10001", "10001", "10001", "01010", "00100"],
    "Y": ["10001", "10001", "01010", "00100", "00100", "00100", "00100"],
    "!": ["00100", "00100", "00100", "00100", "00100", "00000", "00100"],
    " ": ["00000"] * 7,
}


def text_width(text, scale, spacing=1):
    return len(text) * (5 + spacing) * scale - spacing * scale


def draw_text(draw, text, x, y, scale, fill, spacing=1):
    for ch in text:
        for row, bits in enumerate(FONT[ch]):
            for col, bit in enumerate(bits):
                if bit == "1":
                    px, py = x + col * scale, y + row * scale
                    draw.rectangle([px, py, px + scale - 1, py + scale - 1], fill=fill)
        x += (5 + spacing) * scale


def centred_text(draw, text, y, scale, fill, spacing=1):
    draw_text(draw, text, (SIZE - text_width(text, scale, spacing)) // 2, y, scale, fill, spacing)


def vertical_gradient(stops, height=SIZE):
    """stops: [(position 0..1, (r, g, b))] -> H x W x 3 float array."""
    pos = np.array([p for p, _ in stops])
    cols = np.array([c for _, c in stops], dtype=float)
    y = np.linspace(0.0, 1.0, height)
    rgb = np.stack([np.interp(y, pos, cols[:, i]) for i in range(3)], axis=1)
    return np.repeat(rgb[:, None, :], SIZE, axis=1)


def to_image(arr):
    return Image.fromarray(np.clip(arr, 0, 255).astype(np.uint8), "RGB")


def stars(img, count, seed, top, bottom, colour=(255, 255, 255)):
    rs = np.random.RandomState(seed)
    d = ImageDraw.Draw(img)
    for _ in range(count):
        x, y = rs.randint(0, SIZE), rs.randint(top, bottom)
        b = rs.uniform(0.4, 1.0)
        c = tuple(int(v * b) for v in colour)
        d.point((x, y), fill=c)
        if rs.uniform() < 0.12:
            d.point([(x - 1, y), (x + 1, y), (x, y - 1), (x, y + 1)], fill=tuple(v // 2 for v in c))


def glow(img, layer, radius, strength):
    """Adds a blurred copy of `layer` (RGB on black) and the layer itself on top of img."""
    blurred = np.asarray(layer.filter(ImageFilter.GaussianBlur(radius)), dtype=float)
    base = np.asarray(img, dtype=float) + strength * blurred
    sharp = np.asarray(layer, dtype=float)
    mask = sharp.sum(axis=2, keepdims=True) > 0
    return to_image(np.where(mask, sharp, base))


def synth_sun(img, cx, cy, r, top, bottom, horizon):
    """A striped sun cut off by the horizon, the stripes widening towards its base."""
    arr = np.asarray(img, dtype=float).copy()
    yy, xx = np.mgrid[0:SIZE, 0:SIZE]
    inside = (xx - cx) ** 2 + (yy - cy) ** 2 <= r * r
    t = np.clip((yy - (cy - r)) / (2.0 * r), 0, 1)[..., None]
    colour = (1 - t) * np.array(top, float) + t * np.array(bottom, float)
    stripe = np.zeros_like(inside)
    # Stripes fill the lower half of the visible disc and thicken towards the horizon.
    for k in range(5):
        centre = cy + (horizon - cy) * (0.08 + 0.2 * k)
        stripe |= np.abs(yy - centre) < 0.6 + 0.55 * k
    keep = inside & ~stripe & (yy < horizon)
    arr[keep] = colour[keep]
    return to_image(arr)


def perspective_grid(img, horizon, colour, floor_top, floor_bottom, lines=13):
    arr = np.asarray(img, dtype=float).copy()
    floor = vertical_gradient([(0, floor_top), (1, floor_bottom)], SIZE - horizon)
    arr[horizon:] = floor
    out = to_image(arr)
    grid = Image.new("RGB", (SIZE, SIZE))
    d = ImageDraw.Draw(grid)
    vx = SIZE // 2
    for i in range(-lines, lines + 1):
        d.line([(vx + i * 6, horizon), (vx + i * 52, SIZE)], fill=colour)
    y, gap = horizon + 2.0, 2.0
    while y < SIZE:
        d.line([(0, int(y)), (SIZE, int(y))], fill=colour)
        gap *= 1.35
        y += gap
    d.line([(0, horizon), (SIZE, horizon)], fill=tuple(min(255, c + 60) for c in colour))
    return glow(out, grid, 2.0, 0.8)


def mountains(img, horizon, colour, seed, height):
    d = ImageDraw.Draw(img)
    rs = np.random.RandomState(seed)
    pts = [(0, horizon)]
    x = 0
    while x < SIZE:
        x += rs.randint(14, 34)
        pts.append((x, horizon - rs.randint(height // 3, height)))
    pts.append((SIZE, horizon))
    d.polygon(pts, fill=colour)
    return img


def title():
    img = to_image(vertical_gradient([(0, (20, 8, 48)), (0.45, (90, 20, 110)),
                                      (0.62, (230, 80, 120))]))
    stars(img, 90, 1, 0, 110)
    img = synth_sun(img, 128, 132, 62, (255, 230, 90), (255, 60, 140), 160)
    img = mountains(img, 160, (40, 16, 70), 2, 26)
    img = perspective_grid(img, 160, (255, 60, 200), (30, 6, 50), (60, 10, 80))
    words = Image.new("RGB", img.size)
    d = ImageDraw.Draw(words)
    centred_text(d, "KORVANE", 22, 5, (120, 250, 255))
    img = glow(img, words, 4.0, 1.2)
    d = ImageDraw.Draw(img)
    centred_text(d, "KORVANE", 25, 5, (40, 30, 120))
    centred_text(d, "KORVANE", 22, 5, (160, 255, 255))
    centred_text(d, "DEMO SONG", 66, 2, (255, 240, 200))
    return img


def skyline(lit, seed=3):
    img = to_image(vertical_gradient([(0, (18, 20, 60)), (0.6, (50, 40, 110)),
                                      (1.0, (120, 60, 120))]))
    stars(img, 60, 4, 0, 120)
    d = ImageDraw.Draw(img)
    d.ellipse([180, 26, 214, 60], fill=(250, 245, 210))
    d.ellipse([190, 22, 222, 56], fill=(22, 24, 66))   # a crescent, cut by the sky colour
    rs = np.random.RandomState(seed)
    for row, (colour, top, shade) in enumerate((((42, 34, 80), 120, 0.5),
                                                ((28, 22, 54), 150, 1.0))):
        x = -rs.randint(0, 20)
        while x < SIZE:
            w = rs.randint(20, 44)
            h = rs.randint(0, 70)
            y0 = top - h + row * 20
            d.rectangle([x, y0, x + w - 2, SIZE], fill=colour)
            if rs.uniform() < 0.3:
                d.line([(x + w // 2, y0 - 14), (x + w // 2, y0)], fill=colour, width=2)
                d.point((x + w // 2, y0 - 15), fill=(255, 60, 60))
            for wy in range(y0 + 6, SIZE - 6, 9):
                for wx in range(x + 4, x + w - 6, 7):
                    chance = (0.55 if lit else 0.14) * shade
                    if rs.uniform() < chance:
                        warm = rs.uniform() < 0.7
                        c = (255, 214, 120) if warm else (120, 230, 255)
                        if row == 0:
                            c = tuple(v * 2 // 3 for v in c)
                        d.rectangle([wx, wy, wx + 3, wy + 4], fill=c)
            x += w + rs.randint(0, 6)
    if lit:
        sign = Image.new("RGB", img.size)
        sd = ImageDraw.Draw(sign)
        draw_text(sd, "KORVANE", 30, 100, 2, (255, 70, 200))
        img = glow(img, sign, 3.0, 1.3)
    return img


def flash():
    yy, xx = np.mgrid[0:SIZE, 0:SIZE].astype(float)
    dx, dy = xx - 128, yy - 128
    r = np.hypot(dx, dy) / 128.0
    ang = np.arctan2(dy, dx)
    rays = 0.5 + 0.5 * np.cos(ang * 12) ** 8
    core = np.exp(-r * 2.2)
    energy = np.clip(core + 0.55 * rays * np.exp(-r * 1.2), 0, 1.4)[..., None]
    hot = np.array([255, 255, 240], float)
    warm = np.array([255, 120, 40], float)
    deep = np.array([90, 20, 110], float)
    t = np.clip(energy, 0, 1)
    arr = deep * (1 - t) + warm * t
    arr = np.where(energy > 0.75, hot * np.clip((energy - 0.75) / 0.4, 0, 1) +
                   arr * (1 - np.clip((energy - 0.75) / 0.4, 0, 1)), arr)
    return to_image(arr)


def grid(palette):
    if palette == 0:
        sky = [(0, (10, 10, 40)), (0.4, (60, 20, 120)), (0.62, (255, 90, 150))]
        sun = ((255, 240, 110), (255, 50, 160))
        line, floor = (255, 70, 220), ((40, 8, 60), (70, 10, 90))
    else:
        sky = [(0, (6, 20, 50)), (0.4, (20, 60, 130)), (0.62, (40, 200, 220))]
        sun = ((200, 255, 250), (40, 150, 255))
        line, floor = (60, 240, 255), ((8, 30, 60), (12, 50, 90))
    img = to_image(vertical_gradient(sky))
    stars(img, 120, 5 + palette, 0, 120)
    img = synth_sun(img, 128, 120, 72, sun[0], sun[1], 156)
    img = mountains(img, 156, tuple(c // 3 for c in floor[1]), 6 + palette, 20)
    return perspective_grid(img, 156, line, *floor)


def dawn():
    img = to_image(vertical_gradient([(0, (30, 40, 110)), (0.35, (150, 90, 170)),
                                      (0.55, (255, 170, 120)), (0.62, (255, 220, 150)),
                                      (0.63, (40, 60, 120)), (1.0, (20, 25, 70))]))
    stars(img, 30, 7, 0, 50)
    arr = np.asarray(img, dtype=float).copy()
    yy, xx = np.mgrid[0:SIZE, 0:SIZE]
    horizon = int(0.625 * SIZE)
    sun = ((xx - 128) ** 2 + (yy - horizon) ** 2 <= 40 ** 2) & (yy < horizon)
    arr[sun] = (255, 240, 190)
    halo = np.exp(-np.hypot(xx - 128, yy - horizon) / 60.0)[..., None] * (yy < horizon)[..., None]
    arr += halo * np.array([90, 60, 20], float)
    rs = np.random.RandomState(8)
    for y in range(horizon + 2, SIZE, 3):
        depth = (y - horizon) / (SIZE - horizon)
        half = int(30 + 60 * depth)
        for _ in range(3):
            x0 = 128 + rs.randint(-half, half)
            w = rs.randint(6, 14 + int(30 * depth))
            arr[y, max(0, x0 - w // 2):min(SIZE, x0 + w // 2)] = (255, 200, 140)
    img = to_image(arr)
    d = ImageDraw.Draw(img)
    for bx, by in ((40, 100), (62, 92), (200, 112)):
        d.line([(bx - 6, by - 3), (bx, by), (bx + 6, by - 3)], fill=(40, 30, 70), width=2)
    return img


def eq_layer(frame):
    """Equalizer bars along the bottom; four frames cycled once per beat."""
    img = Image.new("RGB", (SIZE, SIZE))
    d = ImageDraw.Draw(img)
    rs = np.random.RandomState(100 + frame)
    bars = 16
    for i in range(bars):
        level = int(3 + 9 * abs(math.sin(i * 0.7 + frame * 1.3)) + rs.randint(0, 4))
        x0 = 8 + i * 15
        for k in range(level):
            y0 = 246 - k * 7
            t = k / 14.0
            c = (int(80 + 175 * t), int(255 - 150 * t), int(255 - 60 * t))
            d.rectangle([x0, y0 - 4, x0 + 11, y0], fill=c)
    return img


def ring_layer(frame, centre=(128, 120), radius=100):
    """Eight sparkles circling the sun; each frame turns them by an eighth of their spacing."""
    img = Image.new("RGB", (SIZE, SIZE))
    d = ImageDraw.Draw(img)
    for i in range(8):
        a = 2 * math.pi * (i / 8.0 + frame / 32.0)
        x = centre[0] + radius * math.cos(a)
        y = centre[1] + radius * math.sin(a) * 0.9
        s = 7 if i % 2 == 0 else 4
        colour = (255, 255, 255) if i % 2 == 0 else (255, 120, 230)
        d.polygon([(x, y - s), (x + s // 3, y), (x, y + s), (x - s // 3, y)], fill=colour)
        d.polygon([(x - s, y), (x, y - s // 3), (x + s, y), (x, y + s // 3)], fill=colour)
    return img


def thanks_layer():
    img = Image.new("RGB", (SIZE, SIZE))
    d = ImageDraw.Draw(img)
    centred_text(d, "THANK YOU", 20, 3, (255, 245, 220))
    centred_text(d, "FOR LISTENING", 50, 2, (255, 190, 120))
    return img


def miss():
    yy, xx = np.mgrid[0:SIZE, 0:SIZE].astype(float)
    r = np.hypot(xx - 128, yy - 128) / 181.0
    arr = (np.array([150, 20, 40], float) * (1 - r[..., None]) +
           np.array([40, 4, 20], float) * r[..., None])
    img = to_image(arr)
    d = ImageDraw.Draw(img)
    rs = np.random.RandomState(9)
    for _ in range(9):
        pts = [(128 + rs.randint(-20, 20), 128 + rs.randint(-20, 20))]
        ang = rs.uniform(0, 2 * math.pi)
        for _ in range(5):
            ang += rs.uniform(-0.6, 0.6)
            step = rs.randint(15, 35)
            x, y = pts[-1]
            pts.append((x + step * math.cos(ang), y + step * math.sin(ang)))
        d.line(pts, fill=(255, 190, 200), width=1)
    words = Image.new("RGB", img.size)
    centred_text(ImageDraw.Draw(words), "MISS", 100, 9, (255, 255, 255))
    img = glow(img, words, 5.0, 1.0)
    d = ImageDraw.Draw(img)
    centred_text(d, "MISS", 104, 9, (90, 0, 20))
    centred_text(d, "MISS", 100, 9, (255, 240, 240))
    return img


def all_images():
    """image key -> (file name, PIL image)."""
    images = {
        "title": title(), "city_lit": skyline(True), "flash": flash(),
        "grid": grid(0), "grid2": grid(1), "dawn": dawn(), "thanks": thanks_layer(),
        "miss": miss(),
    }
    for f in range(4):
        images[f"eq{f + 1}"] = eq_layer(f)
        images[f"ring{f + 1}"] = ring_layer(f)
    return {key: (f"{key}.png", img) for key, img in images.items()}
