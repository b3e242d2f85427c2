#!/usr/bin/python3
"""Writes the chart and pictures the golden frames are rendered from (deterministic).

golden.bme: a double-play chart at 120 BPM (2 s a measure) with notes in every lane of both
sides, long notes (#LNTYPE 1), a base and a layer picture that change, #BGA placements (one far
outside everything), a picture named with the wrong extension, a BMP and a corrupt file.
"""
import os
import sys

from PIL import Image, ImageDraw

HERE = os.path.dirname(os.path.abspath(__file__))


def picture_base():
    img = Image.new("RGB", (256, 256))
    d = ImageDraw.Draw(img)
    for i in range(0, 512, 32):  # diagonal bands
        d.polygon([(i, 0), (i + 16, 0), (i + 16 - 256, 256), (i - 256, 256)],
                  fill=(40 + i // 4, 70, 160 - i // 5))
    for x in range(0, 256, 64):
        d.line([(x, 0), (x, 255)], fill=(230, 230, 230))
        d.line([(0, x), (255, x)], fill=(230, 230, 230))
    d.rectangle([96, 96, 159, 159], outline=(255, 255, 0), width=3)
    d.text((108, 122), "BASE", fill=(255, 255, 255))
    return img


def picture_layer():
    img = Image.new("RGB", (256, 256))  # black: transparent
    d = ImageDraw.Draw(img)
    d.ellipse([150, 20, 240, 110], fill=(255, 140, 0))
    d.ellipse([165, 35, 225, 95], fill=(12, 12, 12))  # grey below 16: becomes see-through
    d.rectangle([16, 190, 120, 240], fill=(0, 200, 90))
    d.text((30, 208), "LAYER", fill=(0, 0, 0))
    return img


def picture_miss():
    img = Image.new("RGB", (256, 256), (120, 0, 0))
    d = ImageDraw.Draw(img)
    for k in range(8):
        d.line([(0, 32 * k), (255, 255 - 32 * k)], fill=(200, 40, 40), width=5)
    d.rectangle([80, 110, 175, 145], fill=(20, 20, 20))
    d.text((112, 122), "MISS", fill=(255, 220, 220))
    return img


def picture_wide():
    img = Image.new("RGB", (320, 240))
    d = ImageDraw.Draw(img)
    for x in range(0, 320, 16):
        d.rectangle([x, 0, x + 7, 239], fill=(30 + x // 2, 200 - x // 2, 120))
    d.rectangle([0, 0, 31, 239], fill=(255, 0, 255))       # cut off: only the middle 256 show
    d.rectangle([288, 0, 319, 239], fill=(255, 0, 255))
    return img


def picture_small():
    img = Image.new("RGB", (100, 80))
    d = ImageDraw.Draw(img)
    d.rectangle([0, 0, 99, 79], outline=(255, 255, 255), width=2)
    d.ellipse([30, 20, 70, 60], fill=(80, 160, 255))
    return img


def slots(n, hits):
    """A channel line of n slots with value ids at the given slot indices."""
    cells = ["00"] * n
    for i, v in hits.items():
        cells[i] = v
    return "".join(cells)


def chart():
    lines = [
        "#PLAYER 3", "#GENRE GOLDEN", "#TITLE Korvane golden frames \u30c6\u30b9\u30c8",
        "#ARTIST Korvane", "#BPM 120", "#PLAYLEVEL 7", "#RANK 2", "#TOTAL 250", "#LNTYPE 1",
        "#BMP00 miss.png", "#BMP01 base.png", "#BMP02 layer.png", "#BMP03 wide.bmp",
        "#BMP04 corrupt.jpg", "#BMP05 small.bmp",
        "#BGA06 01 32 32 160 160 -20 100",
        "#BGA07 01 -5000 -5000 90000 90000 -3000 4000",
        "",
        "#00004:01", "#00007:02",
        "#00301:01",  # a background key id without a sound: silence
        "#00304:03", "#00307:05",
        "#00404:04", "#00407:0607",  # the far placement follows the near one
    ]
    keys1 = ["11", "12", "13", "14", "15", "18", "19", "16"]
    keys2 = ["21", "22", "23", "24", "25", "28", "29", "26"]
    for m in range(1, 5):
        for lane, (c1, c2) in enumerate(zip(keys1, keys2)):
            # Every lane busy, staggered so the field shows a staircase.
            hits = {(lane + 2 * k) % 16: "01" for k in range(4)}
            if lane == 2 and m == 2:
                hits = {0: "01", 8: "01"}
            lines.append("#%03d%s:%s" % (m, c1, slots(16, hits)))
            lines.append("#%03d%s:%s" % (m, c2, slots(16, {(i + 1) % 16: v for i, v in hits.items()})))
    # Long notes: 1P key 3 and scratch, 2P key 2, starts and ends in pairs.
    lines += [
        "#00153:0000000000000001", "#00253:0000000100000000",
        "#00256:0100000000000000", "#00356:0000000100000000",
        "#00262:0001000000000000", "#00362:0000000000000100",
        "#00369:0100000000000000", "#00469:0000000000000001",
        "#00501:01",
    ]
    return "\n".join(lines) + "\n"


def main():
    out = sys.argv[1] if len(sys.argv) > 1 else HERE
    os.makedirs(out, exist_ok=True)
    picture_base().save(os.path.join(out, "base.png"), optimize=True)
    picture_layer().save(os.path.join(out, "layer.png"), optimize=True)
    picture_miss().save(os.path.join(out, "miss.png"), optimize=True)
    picture_wide().save(os.path.join(out, "wide.png"), optimize=True)  # the chart asks for .bmp
    picture_small().save(os.path.join(out, "small.bmp"))
    with open(os.path.join(out, "corrupt.jpg"), "wb") as f:
        f.write(b"\xff\xd8\xff\xe0\x00\x10JFIF\x00" + bytes(range(256)) * 4)
    with open(os.path.join(out, "golden.bme"), "w", encoding="utf-8", newline="\r\n") as f:
        f.write(chart())


if __name__ == "__main__":
    main()
