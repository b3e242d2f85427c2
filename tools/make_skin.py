#!/usr/bin/python3
"""Draws Korvane's skin sheets and bitmap font into assets/image/.

Run it from anywhere: `tools/make_skin.py` (Debian's /usr/bin/python3 with
python3-pil).
It writes skin_00.png (lane frames, bottom panels, separator strip),
skin_01.png (key beams, notes, key-down sprites), skin_02.png (gauge, bar
line, judgement words, combo digits), skin_03.png (hit bursts) and font.png
(8 x 11 text cells).  The output is the same bytes on every run: nothing
here reads the clock, and the only randomness comes from fixed seeds.

Every sheet is copied with pure black (0, 0, 0) as the transparent colour,
so black is used exactly where a sprite must let the picture under it show;
dark parts that must cover what lies beneath use near-black instead, and
solid() below guarantees that no opaque pixel turns into the key by
accident.

Fonts read here (both only rasterised, no font file is shipped):
- Judgement words and combo digits: DejaVu Sans Bold from Debian's
  fonts-dejavu-core (Bitstream Vera licence with DejaVu changes in the
  public domain; it allows modifying and redistributing the designs).
- font.png: the X11 misc-fixed 6x10 font from Debian's xfonts-base
  (font-misc-misc, "Public domain font.  Share and enjoy.").
"""

import gzip
import io
import math
import os
import random
import sys

from PIL import Image, ImageDraw, ImageFont, PcfFontFile

DEJAVU_BOLD = "/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf"
FIXED_6X10 = "/usr/share/fonts/X11/misc/6x10.pcf.gz"

KEY = (0, 0, 0)
NEAR_BLACK = (8, 8, 12)

# 4 x 4 ordered-dither thresholds: fading effects thin out into the colour
# key instead of darkening, because a dark opaque pixel would punch a hole
# into the notes and lanes behind it.
BAYER4 = [[0, 8, 2, 10], [12, 4, 14, 6], [3, 11, 1, 9], [15, 7, 13, 5]]


def dither_on(x, y, alpha):
    return alpha > (BAYER4[y & 3][x & 3] + 0.5) / 16.0


# ---------------------------------------------------------------- colours


def clamp8(v):
    return 0 if v < 0 else 255 if v > 255 else int(round(v))


def mix(a, b, t):
    return tuple(clamp8(a[i] + (b[i] - a[i]) * t) for i in range(3))


def scale(c, f):
    return tuple(clamp8(v * f) for v in c)


def lighten(c, t):
    return mix(c, (255, 255, 255), t)


def solid(c):
    """An opaque colour never equal to the key (nor dark enough to be
    mistaken for it by eye)."""
    c = tuple(clamp8(v) for v in c)
    return NEAR_BLACK if max(c) < 6 else c


def hsv(h, s, v):
    h = (h % 360) / 60.0
    i = int(h)
    f = h - i
    p, q, t = v * (1 - s), v * (1 - s * f), v * (1 - s * (1 - f))
    r, g, b = [(v, t, p), (q, v, p), (p, v, t), (p, q, v), (t, p, v), (v, p, q)][i % 6]
    return (clamp8(r * 255), clamp8(g * 255), clamp8(b * 255))


class Sheet:
    """An RGB sheet that starts all transparent."""

    def __init__(self, w, h):
        self.img = Image.new("RGB", (w, h), KEY)
        self.px = self.img.load()
        self.w, self.h = w, h

    def put(self, x, y, c):
        if 0 <= x < self.w and 0 <= y < self.h:
            self.px[x, y] = solid(c)

    def get(self, x, y):
        return self.px[x, y]

    def fill(self, x0, y0, x1, y1, c):
        for y in range(y0, y1):
            for x in range(x0, x1):
                self.put(x, y, c)

    def save(self, path):
        self.img.save(path, optimize=True)


# ------------------------------------------------------- lane geometry

# Lane left edges relative to the lane area, for the two scratch sides.
# The program places a side's lanes at area x + these offsets (odd keys
# 18 wide at a 35 pixel pitch, even keys 15 wide, scratch 32 wide), so the
# separators painted here fall exactly between the moving pictures.
ODD_W, EVEN_W, SCR_W = 18, 15, 32
AREA_W, AREA_H, PANEL_H = 158, 224, 32
JUDGE_ROW = 222


def lanes(scratch_left):
    if scratch_left:
        odd, even, scr = 34, 53, 1
    else:
        odd, even, scr = 1, 20, 125
    out = [(scr, SCR_W, "scratch")]
    out += [(odd + 35 * k, ODD_W, "odd") for k in range(4)]
    out += [(even + 35 * k, EVEN_W, "even") for k in range(3)]
    return sorted(out)


def lane_kind_at(scratch_left):
    kinds = [None] * AREA_W
    for x0, w, kind in lanes(scratch_left):
        for x in range(x0, x0 + w):
            kinds[x] = kind
    return kinds


NOTE_COL = {"odd": (226, 230, 242), "even": (70, 140, 255), "scratch": (255, 62, 70)}
BEAM_COL = {"odd": (215, 225, 255), "even": (90, 150, 255), "scratch": (255, 90, 96)}
LANE_BG = {"odd": (17, 18, 27), "even": (10, 12, 26), "scratch": (24, 10, 16)}


def lane_bg(kind, y):
    # Slightly darker towards the top so notes seem to come out of the dark;
    # the key beams repeat this ramp so they blend into the lane seamlessly.
    f = 0.62 + 0.38 * min(1.0, y / float(JUDGE_ROW))
    return solid(scale(LANE_BG[kind], f))


# ------------------------------------------------------- skin 0: frame


def draw_lane_area(s, ox, scratch_left):
    kinds = lane_kind_at(scratch_left)
    for y in range(AREA_H):
        for x in range(AREA_W):
            kind = kinds[x]
            if x == 0 or x == AREA_W - 1:
                c = mix((60, 64, 90), (130, 136, 175), y / float(AREA_H))
            elif kind is None:
                c = mix((26, 28, 40), (54, 58, 80), y / float(AREA_H))
            else:
                c = lane_bg(kind, y)
            s.put(ox + x, y, c)
    # The judgement line: notes land with their bottom row on it.
    red = (255, 52, 40)
    for x in range(1, AREA_W - 1):
        kind = kinds[x]
        for dy, t in ((3, 0.10), (2, 0.22), (1, 0.42)):
            y = JUDGE_ROW - dy
            base = lane_bg(kind, y) if kind else s.get(ox + x, y)
            s.put(ox + x, y, mix(base, red, t))
        s.put(ox + x, JUDGE_ROW, lighten(red, 0.25) if kind else red)
        s.put(ox + x, JUDGE_ROW + 1, (34, 12, 14))


def draw_key_cap(s, x0, y0, w, h, face, hi, lo, pressed=False):
    for y in range(h):
        for x in range(w):
            edge_tl = x == 0 or y == 0
            edge_br = x == w - 1 or y == h - 1
            if (x in (0, w - 1)) and (y in (0, h - 1)):
                continue  # rounded corner: leave the panel visible
            if pressed:
                edge_tl, edge_br = edge_br, edge_tl
            if edge_tl:
                c = hi
            elif edge_br:
                c = lo
            else:
                c = mix(face, lo, 0.35 * y / float(h)) if not pressed else mix(face, hi, 0.5 * (1 - y / float(h)))
            s.put(x0 + x, y0 + y, c)


def draw_turntable(s, x0, y0, size, lit):
    c = (size - 1) / 2.0
    for y in range(size):
        for x in range(size):
            dx, dy = x - c, y - c
            r = math.hypot(dx, dy)
            if r > c + 0.5:
                continue
            ang = math.degrees(math.atan2(dy, dx))
            if r > c - 1.2:
                col = (255, 110, 110) if lit else (96, 98, 112)
            elif r > c - 2.5:
                col = (200, 40, 50) if lit else (40, 40, 50)
            elif r < 2.2:
                col = (230, 230, 240)
            else:
                groove = int(r) % 3 == 0
                col = (70, 26, 34) if lit else (26, 26, 32)
                if groove:
                    col = (110, 40, 48) if lit else (40, 40, 50)
                if abs(ang + 90) < 9 and r > 4:  # the marker at twelve o'clock
                    col = (255, 235, 235) if lit else (200, 60, 64)
            s.put(x0 + x, y0 + y, col)


ODD_CAP = dict(face=(178, 180, 194), hi=(236, 236, 246), lo=(104, 106, 124))
EVEN_CAP = dict(face=(36, 42, 76), hi=(84, 96, 150), lo=(16, 18, 34))


def draw_panel(s, ox, scratch_left):
    oy = AREA_H
    for y in range(PANEL_H):
        for x in range(AREA_W):
            if y == 0:
                c = (96, 100, 132)
            elif y == 1:
                c = (14, 14, 20)
            elif x == 0 or x == AREA_W - 1:
                c = (130, 136, 175) if y < 4 else mix((130, 136, 175), (50, 52, 72), y / 32.0)
            else:
                c = mix((44, 46, 62), (18, 18, 26), y / float(PANEL_H))
            s.put(ox + x, oy + y, c)
    # Key caps sit exactly under the key-down sprites the program draws over
    # them, so a pressed key lights up in place.
    odd_off, even_off = (3, 2) if scratch_left else (2, 1)
    for x0, w, kind in lanes(scratch_left):
        if kind == "odd":
            draw_key_cap(s, ox + x0 + odd_off, oy + 9, 13, 20, **ODD_CAP)
        elif kind == "even":
            draw_key_cap(s, ox + x0 + even_off, oy + 3, 12, 20, **EVEN_CAP)
        else:
            draw_turntable(s, ox + x0 + 2, oy + 2, 28, False)


def draw_separator(s, ox):
    # The progress gauge is painted before this strip, through a window left
    # transparent at strip columns 4..10, rows 7..246.
    for y in range(256):
        for x in range(15):
            if x == 0 or x == 14:
                c = (10, 10, 14)
            elif x == 1:
                c = (70, 74, 98)
            elif x == 13:
                c = (20, 20, 28)
            else:
                c = mix((40, 42, 58), (28, 30, 42), abs(x - 7) / 6.0)
            s.put(ox + x, y, c)
    for y in range(6, 248):
        s.put(ox + 3, y, (14, 14, 20))
        s.put(ox + 11, y, (92, 96, 126))
    for x in range(3, 12):
        s.put(ox + x, 6, (14, 14, 20))
        s.put(ox + x, 247, (92, 96, 126))
    for y in range(7, 247):
        for x in range(4, 11):
            s.px[ox + x, y] = KEY
    # Tenth marks beside the window, so the remaining part reads at a glance.
    for i in range(11):
        y = 7 + 24 * i if i < 10 else 246
        s.put(ox + 2, y, (150, 156, 196))
        s.put(ox + 12, y, (150, 156, 196))
    for y in (2, 251):
        for x in (6, 7, 8):
            s.put(ox + x, y, (90, 94, 120))
        s.put(ox + 7, y - 1, (90, 94, 120))
        s.put(ox + 7, y + 1, (90, 94, 120))


def make_skin0():
    s = Sheet(331, 256)
    draw_lane_area(s, 0, True)
    draw_lane_area(s, 173, False)
    draw_panel(s, 0, True)
    draw_panel(s, 173, False)
    draw_separator(s, 158)
    return s


# ------------------------------------------------ skin 1: lanes and notes

BEAM_RECT = {"even": (1, 1, 16, 220), "odd": (17, 1, 35, 220), "scratch": (36, 1, 68, 220)}
NOTE_X = {"odd": (69, 87), "even": (88, 103), "scratch": (104, 136)}


def draw_beam(s, kind):
    x0, y0, x1, y1 = BEAM_RECT[kind]
    w, rows = x1 - x0, y1 - y0
    for r in range(rows):
        # Sheet row r lands on screen row r; the bottom of the beam glows.
        a = (r / float(rows - 1)) ** 1.8
        for x in range(w):
            u = (x + 0.5) / w * 2 - 1
            prof = 0.55 + 0.45 * math.cos(u * math.pi / 2)
            c = mix(lane_bg(kind, r), BEAM_COL[kind], min(1.0, a * prof * 0.95))
            if r > rows - 12:
                c = lighten(c, (r - (rows - 12)) / 12.0 * 0.35 * prof)
            s.put(x0 + x, y0 + r, c)


def note_pixel(col, w, x, y):
    shade = [0.55, 0.2, 0.0, -0.18, -0.42][y]
    c = lighten(col, shade) if shade > 0 else scale(col, 1 + shade)
    if x == 0 or x == w - 1:
        c = scale(c, 0.72)
    return c


def draw_normal_note(s, kind, k):
    x0, x1 = NOTE_X[kind]
    w = x1 - x0
    top = 1 + 6 * k
    # A glint runs across the note once per cycle of the eight frames.
    gx = -5 + k * (w + 10) / 7.0
    for y in range(5):
        for x in range(w):
            c = note_pixel(NOTE_COL[kind], w, x, y)
            d = abs(x - gx - (2 - y))
            if d < 1.6 and 0 < x < w - 1:
                c = lighten(c, 0.55 * (1 - d / 1.6))
            s.put(x0 + x, top + y, c)


def ln_colour(kind, f):
    pulse = [0.0, 0.12, 0.24, 0.12][f]
    return lighten(NOTE_COL[kind], pulse) if kind != "odd" else mix(NOTE_COL[kind], (255, 255, 255), pulse)


def draw_ln_head(s, kind, f, top, is_end):
    x0, x1 = NOTE_X[kind]
    w = x1 - x0
    col = ln_colour(kind, f)
    rim = lighten(col, 0.7)
    for y in range(5):
        for x in range(w):
            outer = y == 0 if is_end else y == 4
            if outer and (x == 0 or x == w - 1):
                continue  # rounded outer corners, the inner side joins the body
            c = note_pixel(col, w, x, y)
            if x in (1, w - 2) and 0 < y < 4:
                c = rim
            s.put(x0 + x, top + y, c)


def body_inset(kind):
    return 3 if kind == "scratch" else 2


def draw_ln_body(s, kind, f, top):
    # Every row is the same: the program stretches these five rows over the
    # whole length of the note.
    x0, x1 = NOTE_X[kind]
    w = x1 - x0
    ins = body_inset(kind)
    col = ln_colour(kind, f)
    inner = w - 2 * ins
    for x in range(ins, w - ins):
        u = (x - ins + 0.5) / inner * 2 - 1
        c = scale(col, 0.42 + 0.2 * math.cos(u * math.pi / 2))
        if x in (ins, w - ins - 1):
            c = scale(col, 0.85)
        for y in range(5):
            s.put(x0 + x, top + y, c)


def draw_keydown(s):
    # Lit versions of the caps painted on the bottom panel.
    draw_key_cap(s, 69, 139, 13, 20, face=(255, 255, 255), hi=(255, 255, 255), lo=(150, 190, 255), pressed=True)
    draw_key_cap(s, 83, 139, 12, 20, face=(120, 180, 255), hi=(200, 230, 255), lo=(40, 80, 200), pressed=True)
    draw_turntable(s, 96, 139, 28, True)


def make_skin1():
    s = Sheet(140, 224)
    for kind in ("odd", "even", "scratch"):
        draw_beam(s, kind)
        for k in range(8):
            draw_normal_note(s, kind, k)
        for f in range(4):
            draw_ln_head(s, kind, f, 49 + 6 * f, True)
            draw_ln_body(s, kind, f, 73 + 6 * f)
            draw_ln_head(s, kind, f, 97 + 6 * f, False)
    draw_keydown(s)
    return s


# ------------------------------------------- skin 2: gauge, words, digits

WORD_H = 14
WORD_W = 81
DIGIT_W = 15


def ink_mask(text, height, squeeze):
    """Rasterises text big, then boxes it down to `height` rows of ink and
    thresholds it: sharper and bolder than hinting at 12 pixels."""
    big = 200
    font = ImageFont.truetype(DEJAVU_BOLD, big)
    x0, y0, x1, y1 = font.getbbox("0123456789HEGBDOPRFCT")  # common cap height
    cap_top, cap_h = y0, y1 - y0
    w = font.getbbox(text)[2] + 20
    im = Image.new("L", (w, big * 2), 0)
    ImageDraw.Draw(im).text((10, 0), text, font=font, fill=255)
    bx0, _, bx1, _ = im.getbbox()
    im = im.crop((bx0, cap_top, bx1, cap_top + cap_h))
    f = height / float(cap_h)
    tw = max(1, int(round((bx1 - bx0) * f * squeeze)))
    small = im.resize((tw, height), Image.BOX)
    sp = small.load()
    return [[sp[x, y] >= 118 for x in range(tw)] for y in range(height)]


def paint_text(s, mask, x0, y0, style, cell):
    """Fills the ink with a top-lit gradient of the style's colour at each
    column and rings it with a dark outline that keeps it readable over
    notes and beams.  Everything painted must stay inside `cell`, the
    sprite's rectangle, or it would show up in its neighbour."""
    h, w = len(mask), len(mask[0])
    if not (cell[0] <= x0 - 1 and x0 + w < cell[2] and cell[1] <= y0 - 1 and y0 + h < cell[3]):
        raise SystemExit("text of %dx%d does not fit its cell %r" % (w, h, cell))
    for y in range(-1, h + 1):
        for x in range(-1, w + 1):
            base = style(x0 + x)
            inside = 0 <= y < h and 0 <= x < w and mask[y][x]
            if inside:
                t = y / float(h - 1)
                c = mix(lighten(base, 0.55), scale(base, 0.78), t)
                if y == 0 or (y > 0 and not mask[y - 1][x]):
                    c = lighten(c, 0.45)  # top edges catch the light
                if y == h // 2:
                    c = lighten(c, 0.15)
                s.put(x0 + x, y0 + y, c)
                continue
            near = False
            for dy in (-1, 0, 1):
                for dx in (-1, 0, 1):
                    yy, xx = y + dy, x + dx
                    if 0 <= yy < h and 0 <= xx < w and mask[yy][xx]:
                        near = True
            if near:
                s.put(x0 + x, y0 + y, mix(base, (0, 0, 0), 0.84))


def flat(colour):
    return lambda x: colour


def rainbow(frame):
    # Hues run along the sheet row and move on by a fifth of the circle each
    # frame, so the word and its digits shimmer together.
    return lambda x: hsv(200 + 3.2 * x - 72 * frame, 0.5, 1.0)


# PERFECT flows through the rainbow over five frames; the words after it
# follow the usual order of worth: gold, green, violet, red.
PERFECT_STYLES = [rainbow(f) for f in range(5)]
GREAT_STYLE = flat((255, 196, 40))
GOOD_STYLE = flat((70, 225, 90))
BAD_STYLE = flat((165, 100, 255))
POOR_STYLE = flat((255, 70, 64))

TEXT_INK_H = 12
TEXT_SQUEEZE = 0.9
# Digits a little wider than the letters: they sit 15 pixels apart and
# would look gappy at the letters' width.
DIGIT_SQUEEZE = 1.12


def draw_word(s, text, top, style, lean=False):
    mask = ink_mask(text, TEXT_INK_H, TEXT_SQUEEZE)
    w = len(mask[0])
    if w > WORD_W - 2:
        mask = ink_mask(text, TEXT_INK_H, TEXT_SQUEEZE * (WORD_W - 2) / float(w))
        w = len(mask[0])
    # GREAT and GOOD lean right: their combo number follows the word box, and
    # a word centred in it would leave a wide hole before the digits.
    slack = WORD_W - 2 - w
    x0 = 9 + 1 + (slack * 3 // 4 if lean else slack // 2)
    paint_text(s, mask, x0, top + 1, style, (9, top, 9 + WORD_W, top + WORD_H))


def draw_digit_row(s, top, style):
    for d in range(10):
        mask = ink_mask(str(d), TEXT_INK_H, DIGIT_SQUEEZE)
        w = len(mask[0])
        x0 = 9 + DIGIT_W * d + (DIGIT_W - w) // 2
        paint_text(s, mask, x0, top + 1, style, (9 + DIGIT_W * d, top, 9 + DIGIT_W * (d + 1), top + WORD_H))


def draw_gauge(s):
    # Emptied from the top as the chart plays, so the bottom holds the end.
    for y in range(240):
        t = y / 239.0
        base = hsv(300 - 140 * t, 0.75, 1.0)
        seg = y % 4 == 3
        for x in range(7):
            c = base
            if x == 0 or x == 6:
                c = scale(base, 0.5)
            elif x in (1, 2):
                c = lighten(base, 0.35)
            if seg:
                c = scale(c, 0.35)
            s.put(1 + x, 1 + y, c)


def draw_bar_line(s):
    for x in range(156):
        s.put(1 + x, 242, (112, 114, 136))


def make_skin2():
    s = Sheet(160, 256)
    draw_gauge(s)
    draw_bar_line(s)
    for f, st in enumerate(PERFECT_STYLES):
        draw_digit_row(s, 1 + 15 * f, st)
        draw_word(s, "PERFECT", 106 + 15 * f, st)
    draw_digit_row(s, 76, GREAT_STYLE)
    draw_digit_row(s, 91, GOOD_STYLE)
    for text, top, st in (("GREAT", 181, GREAT_STYLE), ("GOOD", 196, GOOD_STYLE),
                          ("BAD", 211, BAD_STYLE), ("POOR", 226, POOR_STYLE)):
        draw_word(s, text, top, st, lean=top < 211)
    return s


# ----------------------------------------------------------- skin 3: bombs


class Light:
    """Accumulates coloured light for one sprite frame; dither-thresholded
    into the sheet at the end."""

    def __init__(self, size):
        self.n = size
        self.a = [[0.0] * size for _ in range(size)]
        self.c = [[[0.0, 0.0, 0.0] for _ in range(size)] for _ in range(size)]

    def add(self, x, y, col, alpha):
        if alpha <= 0 or not (0 <= x < self.n and 0 <= y < self.n):
            return
        cell = self.c[y][x]
        for i in range(3):
            cell[i] += col[i] * alpha
        self.a[y][x] += alpha

    def blit(self, s, ox, oy):
        for y in range(self.n):
            for x in range(self.n):
                a = self.a[y][x]
                # The faintest light would only show as a regular stipple.
                if a < 0.1 or not dither_on(x, y, min(1.0, a)):
                    continue
                cell = self.c[y][x]
                col = tuple(v / a for v in cell)
                # Dense light runs towards white, as a hot glow does.
                col = lighten(col, max(0.0, min(0.6, (a - 1.0) * 0.4)))
                s.put(ox + x, oy + y, col)


def ring(light, cx, cy, radius, width, col, alpha):
    n = light.n
    for y in range(n):
        for x in range(n):
            d = abs(math.hypot(x - cx, y - cy) - radius)
            if d < width:
                light.add(x, y, col, alpha * (1 - d / width))


def glow(light, cx, cy, radius, col, alpha):
    n = light.n
    for y in range(n):
        for x in range(n):
            d = math.hypot(x - cx, y - cy)
            if d < radius:
                light.add(x, y, col, alpha * (1 - d / radius) ** 1.5)


def ray(light, cx, cy, ang, r0, r1, col, alpha, width=1.0):
    steps = int((r1 - r0) * 3) + 1
    ca, sa = math.cos(ang), math.sin(ang)
    seen = set()
    for i in range(steps):
        r = r0 + (r1 - r0) * i / max(1, steps - 1)
        fade = 1 - i / float(steps)
        px, py = cx + ca * r, cy + sa * r
        for ox in (-width / 2, 0.0, width / 2):
            p = (int(round(px + ox * -sa)), int(round(py + ox * ca)))
            if p not in seen:
                seen.add(p)
                light.add(p[0], p[1], col, alpha * (0.35 + 0.65 * fade))


def spark(light, x, y, col, alpha, big):
    light.add(int(round(x)), int(round(y)), col, alpha)
    if big:
        for dx, dy in ((1, 0), (-1, 0), (0, 1), (0, -1)):
            light.add(int(round(x)) + dx, int(round(y)) + dy, col, alpha * 0.5)


def burst(size, k, palette, reach, rays, sparks, seed):
    """One frame of a hit burst: a flash, a shock ring flying out, rays and
    sparks, all thinning out over the six frames."""
    light = Light(size)
    c = (size - 1) / 2.0
    t = k / 5.0
    ease = 1 - (1 - t) ** 2
    life = 1 - t
    core, ring_col, spark_col = palette
    if k < 3:
        glow(light, c, c, reach * (0.55 - 0.12 * k), (255, 255, 255), 2.2 * (1 - k / 3.0))
    if k < 4:
        glow(light, c, c, reach * 0.5, core, 0.9 * life ** 3)
    r = reach * (0.22 + 0.78 * ease)
    ring(light, c, c, r, 1.2 + 2.6 * life, mix((255, 255, 255), ring_col, min(1.0, t * 2)), 0.35 + 1.6 * life)
    for i in range(rays):
        ang = 2 * math.pi * i / rays + math.pi / rays * 0.5
        long_ray = i % 2 == 0
        r1 = reach * (0.5 + 0.55 * ease) * (1.0 if long_ray else 0.7)
        r0 = r1 * (0.25 + 0.6 * t)
        ray(light, c, c, ang, r0, r1, lighten(ring_col, 0.5), (1.3 if long_ray else 0.8) * life ** 1.2)
    rnd = random.Random(seed)
    for i in range(sparks):
        ang = rnd.uniform(0, 2 * math.pi)
        speed = rnd.uniform(0.55, 1.05)
        d = reach * speed * (0.15 + 0.9 * ease)
        x, y = c + math.cos(ang) * d, c + math.sin(ang) * d + 6 * t * t  # a little gravity
        spark(light, x, y, spark_col, 1.6 * life + 0.3, rnd.random() < 0.5 and k < 4)
    return light


def hold_glow(k):
    """The burst shown while a long note is held: a loop of six frames, so
    rising embers wrap around and the pulse returns to where it began."""
    size = 64
    light = Light(size)
    c = 31.5
    phase = k / 6.0
    pulse = 0.5 + 0.5 * math.cos(2 * math.pi * phase)
    glow(light, c, c, 15 + 3 * pulse, (255, 255, 255), 1.3 + 0.5 * pulse)
    glow(light, c, c, 26, (60, 220, 255), 0.9)
    ring(light, c, c, 13 + 2 * pulse, 1.6, (150, 240, 255), 0.9 + 0.5 * pulse)
    rnd = random.Random(77)
    for i in range(22):
        x_base = rnd.uniform(-17, 17)
        start = rnd.random()
        speed = rnd.choice((1, 2))
        p = (start + phase * speed) % 1.0
        y = c + 6 - p * 34
        x = c + x_base * (1 - 0.35 * p) + 2.5 * math.sin(2 * math.pi * (p * 2 + start))
        col = mix((200, 255, 255), (40, 150, 255), p)
        spark(light, x, y, col, 1.7 * (1 - p) + 0.2, p < 0.35)
    for i in range(6):
        ang = 2 * math.pi * (i / 6.0 + phase / 6.0) - math.pi / 2
        ray(light, c, c, ang, 8, 20 + 4 * pulse, (170, 240, 255), 0.8)
    return light


def make_skin3():
    s = Sheet(228, 578)
    for k in range(6):
        great = burst(64, k, ((80, 170, 255), (70, 200, 255), (190, 240, 255)), 27, 8, 14, 11 + k)
        great.blit(s, 1, 1 + 64 * k)
        perfect = burst(96, k, ((255, 220, 120), (255, 180, 40), (255, 250, 200)), 44, 16, 26, 31 + k)
        perfect.blit(s, 66, 1 + 96 * k)
        hold_glow(k).blit(s, 163, 1 + 64 * k)
    return s


# -------------------------------------------------------------------- font

FONT_CELL_W, FONT_CELL_H = 8, 11
FONT_BASELINE = 9  # cell row of the glyphs' baseline


def load_fixed_font():
    with gzip.open(FIXED_6X10, "rb") as fh:
        return PcfFontFile.PcfFontFile(io.BytesIO(fh.read()))


def glyph_pixels(font, code):
    g = font.glyph[code] if code < len(font.glyph) else None
    if g is None:
        return None
    _, dst, _, im = g
    pts = []
    for y in range(im.size[1]):
        for x in range(im.size[0]):
            if im.getpixel((x, y)):
                pts.append((1 + dst[0] + x, FONT_BASELINE + dst[1] + y))
    return pts


def del_glyph():
    # The fixed font has nothing at code 127; a hollow box tells that a
    # character was there.
    return [(x, y) for x in range(1, 6) for y in range(2, 10) if x in (1, 5) or y in (2, 9)]


def make_font():
    """White glyphs with a one-pixel near-black outline: the panel text is
    written over the background pictures, which can be as bright as the
    text itself."""
    font = load_fixed_font()
    s = Sheet(1 + 32 * FONT_CELL_W, 1 + 3 * FONT_CELL_H)
    for code in range(33, 128):
        c = code - 1
        col, row = c % 32, c // 32 - 1
        ox, oy = 1 + col * FONT_CELL_W, 1 + row * FONT_CELL_H
        pts = glyph_pixels(font, code) or del_glyph()
        inside = lambda x, y: 0 <= x < FONT_CELL_W and 0 <= y < FONT_CELL_H
        for x, y in pts:
            for dy in (-1, 0, 1):
                for dx in (-1, 0, 1):
                    if inside(x + dx, y + dy):
                        s.put(ox + x + dx, oy + y + dy, NEAR_BLACK)
        for x, y in pts:
            if inside(x, y):
                s.put(ox + x, oy + y, (255, 255, 255))
    return s


# ------------------------------------------------------------- self-check

# Where the program cuts each piece (left, top, right, bottom; right and
# bottom exclusive).  Ink outside all of them would never be seen and hints
# at a drawing mistake; the opaque ones must hold no key colour, and the
# clear ones must be all key.


def frames(x0, x1, tops, h):
    return [(x0, t, x1, t + h) for t in tops]


def layout_skin0():
    pieces = [(0, 0, 158, 224), (173, 0, 331, 224), (0, 224, 158, 256), (173, 224, 331, 256), (158, 0, 173, 256)]
    return pieces, pieces, [(162, 7, 169, 247)]


def layout_skin1():
    beams = list(BEAM_RECT.values())
    tops = [1 + 6 * k for k in range(8)] + [49 + 6 * k for k in range(4)] + [73 + 6 * k for k in range(4)] + [
        97 + 6 * k for k in range(4)]
    notes = []
    for x0, x1 in NOTE_X.values():
        notes += frames(x0, x1, tops, 5)
    normal = []
    for x0, x1 in NOTE_X.values():
        normal += frames(x0, x1, [1 + 6 * k for k in range(8)], 5)
    keydown = [(69, 139, 82, 159), (83, 139, 95, 159), (96, 139, 124, 167)]
    return beams + notes + keydown, beams + normal, []


def layout_skin2():
    words = frames(9, 90, [106 + 15 * f for f in range(5)] + [181, 196, 211, 226], 14)
    digits = []
    for top in [1 + 15 * f for f in range(5)] + [76, 91]:
        digits += frames(9, 159, [top], 14)
    gauge, bar = (1, 1, 8, 241), (1, 242, 157, 243)
    return words + digits + [gauge, bar], [gauge, bar], []


def layout_skin3():
    great = frames(1, 65, [1 + 64 * k for k in range(6)], 64)
    perfect = frames(66, 162, [1 + 96 * k for k in range(6)], 96)
    hold = frames(163, 227, [1 + 64 * k for k in range(6)], 64)
    return great + perfect + hold, [], []


def layout_font():
    cells = [(1 + 8 * c, 1 + 11 * r, 9 + 8 * c, 12 + 11 * r) for r in range(3) for c in range(32)]
    return cells, [], []


def check(name, sheet, layout):
    pieces, opaque, clear = layout
    inside = lambda x, y, rects: any(r[0] <= x < r[2] and r[1] <= y < r[3] for r in rects)
    for y in range(sheet.h):
        for x in range(sheet.w):
            key = sheet.px[x, y] == KEY
            if not key and not inside(x, y, pieces):
                raise SystemExit("%s: ink outside every piece at (%d, %d)" % (name, x, y))
            if key and inside(x, y, opaque) and not inside(x, y, clear):
                raise SystemExit("%s: transparent hole at (%d, %d)" % (name, x, y))
            if not key and inside(x, y, clear):
                raise SystemExit("%s: ink inside a window at (%d, %d)" % (name, x, y))


# -------------------------------------------------------------------- main


def main(argv):
    root = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    out = argv[1] if len(argv) > 1 else os.path.join(root, "assets", "image")
    os.makedirs(out, exist_ok=True)
    for name, make, layout in (("skin_00", make_skin0, layout_skin0), ("skin_01", make_skin1, layout_skin1),
                               ("skin_02", make_skin2, layout_skin2), ("skin_03", make_skin3, layout_skin3),
                               ("font", make_font, layout_font)):
        sheet = make()
        check(name, sheet, layout())
        sheet.save(os.path.join(out, name + ".png"))
        print("wrote", os.path.join(out, name + ".png"))


if __name__ == "__main__":
    main(sys.argv)
