#!/usr/bin/python3
"""Composes still frames from the skin sheets the way the player places
them, to judge the art without building the program.

    python3 tools/mock_frame.py [image-dir] [out.png]

Writes a 587 x 256 frame for two scratch layouts, stacked and scaled 2x,
with lanes, beams, notes, a long note, bar lines, bombs, judgements with
combos, the gauge and the information panel over a busy background.
"""

import math
import os
import sys

from PIL import Image

W, H = 587, 256


class Frame:
    def __init__(self, sheets, font):
        self.img = Image.new("RGB", (W, H), (0, 0, 0))
        self.sheets = sheets
        self.font = font

    def blit(self, src, rect, x, y, size=None):
        """Colour-keyed copy (black is transparent), clipped to the frame."""
        piece = src.crop(rect)
        if size is not None:
            if size[0] <= 0 or size[1] <= 0:
                return
            piece = piece.resize(size, Image.NEAREST)
        # Only pure black is transparent; near-black stays opaque.
        keyed = Image.new("L", piece.size, 0)
        pp, kp = piece.load(), keyed.load()
        for yy in range(piece.size[1]):
            for xx in range(piece.size[0]):
                kp[xx, yy] = 0 if pp[xx, yy] == (0, 0, 0) else 255
        self.img.paste(piece, (x, y), keyed)

    def fill_black(self, x, y, w, h):
        if w > 0 and h > 0:
            self.img.paste((0, 0, 0), (x, y, x + w, y + h))

    def text(self, s, x, y):
        for ch in s:
            a = ord(ch)
            if a != 32 and 33 <= a <= 127:
                c = a - 1
                col, row = c & 31, c // 32 - 1
                self.blit(self.font, (col * 8 + 1, row * 11 + 1, col * 8 + 9, row * 11 + 12), x, y)
            x += 8


LAYOUT = {
    0: (34, 53, 1, 174, 193, 298),
    1: (1, 20, 125, 174, 193, 298),
    2: (34, 53, 1, 207, 226, 174),
    3: (1, 20, 125, 207, 226, 174),
}


def lane_x(skin_type, ch):
    o1, e1, s1, o2, e2, s2 = LAYOUT[skin_type]
    if ch in (11, 13, 15, 17):
        return (ch - 11) // 2 * 35 + o1
    if ch in (12, 14, 16):
        return (ch - 12) // 2 * 35 + e1
    if ch == 18:
        return s1
    if ch in (21, 23, 25, 27):
        return (ch - 21) // 2 * 35 + o2
    if ch in (22, 24, 26):
        return (ch - 22) // 2 * 35 + e2
    return s2


def kind_of(ch):
    if ch % 10 == 8:
        return "scratch"
    return "odd" if ch % 2 == 1 else "even"


NOTE_X = {"odd": (69, 87), "even": (88, 103), "scratch": (104, 136)}
BEAM = {"even": (1, 1, 16, 220), "odd": (17, 1, 35, 220), "scratch": (36, 1, 68, 220)}
KEYDOWN = {"odd": (69, 139, 82, 159), "even": (83, 139, 95, 159), "scratch": (96, 139, 124, 167)}


def background(fr):
    bg = Image.new("RGB", (256, 256))
    p = bg.load()
    for y in range(256):
        for x in range(256):
            v = math.sin(x / 19.0) + math.cos(y / 23.0) + math.sin((x + y) / 31.0)
            p[x, y] = (int(128 + 120 * math.sin(v)), int(128 + 120 * math.sin(v + 2)), int(128 + 120 * math.sin(v + 4)))
    fr.img.paste(bg, (331, 0))


def compose(sheets, font, skin_type, t_ms, play_pos):
    s0, s1, s2, s3 = sheets
    fr = Frame(sheets, font)
    # Lane areas: scratch-left picture at sheet x 0, scratch-right at 173.
    area = lambda left: (0, 0, 158, 224) if left else (173, 0, 331, 224)
    panel = lambda left: (0, 224, 158, 256) if left else (173, 224, 331, 256)
    left1, left2 = not (skin_type & 1), bool(skin_type & 2)
    fr.blit(s0, area(left1), 0, 0)
    fr.blit(s0, area(left2), 173, 0)
    lit = [13, 18, 22, 27]
    for ch in lit:
        fr.blit(s1, BEAM[kind_of(ch)], lane_x(skin_type, ch), 0)
    background(fr)
    hs = 1.5
    for m in range(6):
        d = m * 192 - play_pos
        if 225 - d * hs < 0:
            break
        y = round(222 - d * hs)
        if 0 <= y < 256:
            fr.blit(s2, (1, 242, 157, 243), 1, y)
            fr.blit(s2, (1, 242, 157, 243), 174, y)

    def note(ch, pos, kind=0x1000, link=None):
        x = lane_x(skin_type, ch)
        nx0, nx1 = NOTE_X[kind_of(ch)]
        y = round(218 - (pos - play_pos) * hs)
        f = round(play_pos) // 24
        if kind == 0x1000:
            t = (int(play_pos / 4.8) & 7) * 6 + 1
        elif kind == 0x4000:
            note(ch, pos, 0x4001, link)
            t = (f & 3) * 6 + 97
        elif kind == 0x4001:
            L = round((link - pos) * hs)
            t = (f & 3) * 6 + 73
            fr.blit(s1, (nx0, t, nx1, t + 5), x, y - L, (nx1 - nx0, L))
            return
        else:
            t = (f & 3) * 6 + 49
        fr.blit(s1, (nx0, t, nx1, t + 5), x, y)

    for ch, pos in ((11, play_pos + 30), (12, play_pos + 60), (14, play_pos + 60), (17, play_pos + 96),
                    (18, play_pos + 24), (16, play_pos + 130), (21, play_pos + 40), (23, play_pos + 72),
                    (26, play_pos + 100), (28, play_pos + 12), (25, play_pos + 140)):
        note(ch, pos)
    note(15, play_pos + 20, 0x4000, play_pos + 110)
    note(15, play_pos + 110, 0x4002)
    note(24, play_pos - 30, 0x4001, play_pos + 60)  # a held long note
    note(24, play_pos + 60, 0x4002)
    fr.blit(s0, panel(left1), 0, 224)
    fr.blit(s0, panel(left2), 173, 224)
    for ch in lit + [24]:
        k = kind_of(ch)
        side2 = ch > 20
        right = (skin_type & 2) if side2 else (skin_type & 1)
        if k == "scratch":
            off, y = 2, 226
        elif k == "odd":
            off, y = (3 if right else 2) if side2 else (2 if right else 3), 233
        else:
            off, y = (2 if right else 1) if side2 else (1 if right else 2), 227
        fr.blit(s1, KEYDOWN[k], lane_x(skin_type, ch) + off, y)
    fr.blit(s2, (1, 1, 8, 241), 162, 7)
    fr.fill_black(162, 7, 7, round(0.35 * 240))
    fr.blit(s0, (158, 0, 173, 256), 158, 0)
    k = (t_ms // 20) % 6
    for ch, rect, h in ((13, (66, 1 + 96 * k, 162, 97 + 96 * k), 48), (22, (1, 1 + 64 * k, 65, 65 + 64 * k), 32),
                        (24, (163, 1 + 64 * k, 227, 65 + 64 * k), 32), (18, (66, 1 + 96 * ((k + 3) % 6), 162, 97 + 96 * ((k + 3) % 6)), 48)):
        cx = 16 if kind_of(ch) == "scratch" else 8
        fr.blit(s3, rect, lane_x(skin_type, ch) + cx - h, 222 - h)

    def judge(side, judge_no, combo, dt):
        f = (t_ms // 50) % 5
        top = 106 + 15 * f if judge_no == 0 else (181, 196, 211, 226)[judge_no - 1]
        w = 81
        n = len(str(combo))
        cx = 119 if side == 0 else 292
        x = cx - (w // 2) - ((n * 15 + 88) // 2) if combo else (35 if side == 0 else 208)
        if dt >= 90:
            fr.blit(s2, (9, top, 90, top + 14), x, 159)
        else:
            c = math.cos(math.radians(dt))
            fr.blit(s2, (9, top, 90, top + 14), x, round(159 - c * 3.5), (w, round(c * 7 + 14)))
        if judge_no < 3 and combo:
            row = 1 + 15 * f if judge_no == 0 else (76, 91)[judge_no - 1]
            x0 = x + w - 7
            for i, ch in enumerate(str(combo), 1):
                d = int(ch)
                y = round(math.sin(math.radians(i * 180 + t_ms)) * (6 - dt / 180.0) * 0.5 + 159)
                fr.blit(s2, (9 + 15 * d, row, 24 + 15 * d, row + 14), x0 + 15 * i, y)

    judge(0, 0, 1234, 300)
    judge(1, 1 if t_ms % 2 else 2, 56, 40)
    lines = ["[BMS Info]", "BPM   :155.5", "Level :12", "Rank  :NORMAL", "Notes :1234(600+634)", "",
             "[Option]", "1,2:HiSpeed    :1.50", "3,4:RealHS     :1.00/2.00", " 5 :BGA        :NORMAL",
             " 6 :Effect     :HEAVY", " 7 :AlwaysOnTop:FALSE", " 8 :Scratch    :" + ["L/R", "R/R", "L/L", "R/L"][skin_type],
             " 9 :Information:TRUE", " 0 :PAUSE      :FALSE"]
    for i, line in enumerate(lines):
        fr.text(line, 332, 2 + 12 * i)
    fr.text("F1", 336, 182)
    fr.text(":AutoPlay   :KEY&BGM", 356, 182)
    fr.text("004/064", 2, 2)
    fr.text("01:05/03:20", 2, 16)
    return fr.img


def main(argv):
    root = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    d = argv[1] if len(argv) > 1 else os.path.join(root, "assets", "image")
    out = argv[2] if len(argv) > 2 else "mock_frame.png"
    sheets = [Image.open(os.path.join(d, "skin_%02d.png" % i)).convert("RGB") for i in range(4)]
    font = Image.open(os.path.join(d, "font.png")).convert("RGB")
    a = compose(sheets, font, 0, 40, 700.0)
    b = compose(sheets, font, 3, 1310, 1000.0)
    both = Image.new("RGB", (W, H * 2 + 4), (40, 40, 40))
    both.paste(a, (0, 0))
    both.paste(b, (0, H + 4))
    both.resize((both.width * 2, both.height * 2), Image.NEAREST).save(out)
    print("wrote", out)


if __name__ == "__main__":
    main(sys.argv)
