#!/usr/bin/python3
"""Mixes a chart's auto-play audio into a WAV file, reading the chart the way Korvane does.

A check for the demo generator that does not share its code: it parses the written chart text
(Shift_JIS or UTF-8), follows #RANDOM/#IF with a chosen value, maps the channels, pairs long
notes, times everything through tempo changes, measure lengths and stops, finds sound files with
the same case-insensitive, any-extension lookup, and starts sounds the way play does: background
sounds, notes and long-note starts sound; long-note ends and invisible notes do not; a sound id
started again cuts its previous start.

    /usr/bin/python3 tools/demo/preview.py CHART OUT.wav [--random N]
"""

import argparse
import os
import subprocess
import tempfile
import wave
from fractions import Fraction

import numpy as np

SR = 44100
NORMAL, INVISIBLE, LN_START, LN_END = 0x1000, 0x2000, 0x4000, 0x4002


def decode_id(text):
    v = 0
    for ch in text.upper():
        v = v * 36 + (ord(ch) - 55 if "A" <= ch <= "Z" else ord(ch) - 48)
    return v


def map_channel(c):
    if c <= 10:
        return c
    return {6: c + 2, 7: 0, 8: c - 2, 9: c - 2}.get(c % 10, c)


def read_text(path):
    raw = open(path, "rb").read()
    try:
        return raw.decode("utf-8")
    except UnicodeDecodeError:
        return raw.decode("cp932")


class Chart:
    def __init__(self, path, random_value):
        self.folder = os.path.dirname(os.path.abspath(path))
        self.header = {}
        self.wav, self.bpm_table, self.stop_table = {}, {}, {}
        self.lnobj = 0
        self.length = {}
        self.raw = []   # (measure, slot, slots, channel, value) in load order
        take = True
        for line in read_text(path).replace("\r\n", "\n").replace("\r", "\n").split("\n"):
            line = line.strip(" ")
            if not line.startswith("#"):
                continue
            head, _, arg = line.replace(" ", ":", 1).partition(":")
            arg = line[len(head) + 1:]
            cmd = head.upper()
            if cmd in ("#RANDOM", "#RONDAM"):
                take = True
            elif cmd == "#IF":
                take = int(arg) == random_value
            elif cmd == "#ENDIF":
                take = True
            elif take and cmd[1:].isdigit():
                self.object_line(cmd, arg)
            elif take:
                self.header_line(cmd, arg)

    def header_line(self, cmd, arg):
        if cmd == "#LNOBJ":
            self.lnobj = decode_id(arg)
        elif cmd == "#BPM":
            self.header["BPM"] = float(arg)
        elif cmd.startswith("#WAV"):
            self.wav[decode_id(cmd[4:])] = arg
        elif cmd.startswith("#BPM"):
            self.bpm_table[decode_id(cmd[4:])] = float(arg)
        elif cmd.startswith("#STOP"):
            self.stop_table[decode_id(cmd[5:])] = int(arg)
        else:
            self.header[cmd[1:]] = arg

    def object_line(self, cmd, data):
        measure, channel = int(cmd[1:4]), int(cmd[4:6])
        if channel == 2:
            self.length[measure] = Fraction(data) * 192
            return
        n = len(data) // 2
        for i in range(n):
            pair = data[2 * i:2 * i + 2]
            v = decode_id(pair)
            if v:
                self.raw.append((measure, i, n, channel, v if channel != 3 else int(pair, 16)))

    def objects(self):
        starts, acc = {}, Fraction(0)
        top = max(m for m, *_ in self.raw)
        for m in range(top + 2):
            starts[m] = acc
            acc += self.length.get(m, Fraction(192))
        objs = []
        for order, (m, i, n, c, v) in enumerate(self.raw):
            pos = starts[m] + self.length.get(m, Fraction(192)) * i / n
            ch = map_channel(c)
            kind = NORMAL
            if 10 <= ch <= 30 or 50 <= ch <= 70:
                if 30 <= ch <= 50:
                    kind, ch = INVISIBLE, ch - 20
                elif ch >= 50:
                    kind, ch = LN_START, ch - 40
            elif ch > 10:
                continue
            objs.append({"pos": pos, "ch": ch, "kind": kind, "value": v, "order": order,
                         "link": None})
        # Later lines replace earlier ones at the same lane position (background sounds add up).
        seen = {}
        for o in objs:
            if o["ch"] != 1:
                seen[(o["pos"], o["ch"], o["kind"])] = o
        objs = [o for o in objs if o["ch"] == 1 or seen[(o["pos"], o["ch"], o["kind"])] is o]
        objs.sort(key=lambda o: (o["pos"], o["ch"] == 9, o["kind"], o["order"]))
        lanes = {}
        for o in objs:
            if o["ch"] > 10:
                lanes.setdefault(o["ch"], []).append(o)
        for lane in lanes.values():
            for k, o in enumerate(lane):
                if o["kind"] != LN_START or o["link"] is not None:
                    continue
                end = next((p for p in lane[k + 1:] if p["kind"] != INVISIBLE), None)
                if end is None:
                    o["kind"] = NORMAL
                else:
                    end["kind"], end["link"], o["link"] = LN_END, o, end
            if self.lnobj:
                for k, o in enumerate(lane):
                    if o["value"] != self.lnobj or o["kind"] == INVISIBLE or o["ch"] > 29:
                        continue
                    prev = lane[k - 1] if k else None
                    if prev is not None and prev["link"] is None:
                        prev["kind"], prev["link"], o["link"] = LN_START, o, prev
                        o["kind"] = LN_END
        self.top = top
        self.end_pos = starts[top + 1]
        return objs

    def timed(self):
        objs = self.objects()
        bpm = self.header.get("BPM", 130.0)
        events = sorted(objs + [{"pos": self.end_pos, "ch": -1, "kind": 0, "value": 0}],
                        key=lambda o: (o["pos"], o["ch"] == 9))
        t, prev = 0.0, Fraction(0)
        for o in events:
            t += float(o["pos"] - prev) * 60.0 / (bpm * 48.0)
            prev = o["pos"]
            o["time"] = t
            if o["ch"] == 3:
                bpm = float(o["value"])
            elif o["ch"] == 8:
                bpm = self.bpm_table[o["value"]]
            elif o["ch"] == 9:
                t += self.stop_table[o["value"]] * 60.0 / (bpm * 48.0)
        return objs, t

    def find(self, name):
        want = name.replace("\\", "/")
        exact = os.path.join(self.folder, want)
        if os.path.exists(exact):
            return exact
        files = sorted(os.listdir(self.folder))
        for f in files:
            if f.lower() == want.lower():
                return os.path.join(self.folder, f)
        base = os.path.splitext(want)[0].lower()
        for f in files:
            if os.path.splitext(f)[0].lower() == base:
                return os.path.join(self.folder, f)
        return None


def load_sound(path):
    if not path.lower().endswith(".wav"):
        with tempfile.TemporaryDirectory() as tmp:
            out = os.path.join(tmp, "d.wav")
            subprocess.run(["sox", path, "-b", "16", out], check=True)
            return load_sound(out)
    with wave.open(path) as w:
        assert w.getframerate() == SR and w.getsampwidth() == 2, path
        data = np.frombuffer(w.readframes(w.getnframes()), "<i2").astype(float) / 32768.0
        if w.getnchannels() == 2:
            data = data.reshape(-1, 2).mean(axis=1)
        return data


def render(chart_path, random_value):
    """Returns (mono mix as floats, facts about the chart) for one #RANDOM outcome."""
    chart = Chart(chart_path, random_value)
    objs, total = chart.timed()
    cache, starts, missing = {}, [], []
    for o in objs:
        sounding = o["ch"] == 1 or (o["ch"] > 10 and o["kind"] in (NORMAL, LN_START))
        if not sounding:
            continue
        if o["value"] not in cache:
            name = chart.wav.get(o["value"])
            path = chart.find(name) if name else None
            cache[o["value"]] = load_sound(path) if path else None
            if path is None:
                missing.append(name or o["value"])
        starts.append((o["time"], o["value"]))
    mix = np.zeros(int((total + 8.0) * SR))
    begins = {}
    for t, v in sorted(starts):
        begins.setdefault(v, []).append(int(round(t * SR)))
    for v, points in begins.items():
        data = cache[v]
        if data is None:
            continue
        for k, b in enumerate(points):
            # One buffer per sound id: a new start cuts the previous one.
            end = points[k + 1] if k + 1 < len(points) else b + len(data)
            piece = data[: max(0, min(len(data), end - b))]
            mix[b:b + len(piece)] += piece
    used = np.nonzero(np.abs(mix) > 1e-5)[0]
    mix = mix[: used[-1] + 1 if len(used) else 1]
    notes = [o for o in objs if o["ch"] > 10 and o["kind"] in (NORMAL, LN_START)]
    facts = {
        "length": total,
        "notes": len(notes),
        "notes_1p": sum(1 for o in notes if o["ch"] < 20),
        "notes_2p": sum(1 for o in notes if o["ch"] >= 20),
        "long_notes": sum(1 for o in objs if o["kind"] == LN_START),
        "lnobj_pairs": sum(1 for o in objs if o["kind"] == LN_END and o["value"] == chart.lnobj),
        "unpaired_markers": sum(1 for o in objs if chart.lnobj and o["value"] == chart.lnobj
                                and o["kind"] != LN_END),
        "missing": missing,
        "peak_db": 20 * np.log10(max(np.max(np.abs(mix)), 1e-9)),
        "rms_db": 20 * np.log10(max(np.sqrt(np.mean(mix ** 2)), 1e-9)),
        "sounds_started": len(starts),
    }
    return mix, facts


def write_wav(path, mix):
    pcm = np.clip(np.round(mix * 32767), -32768, 32767).astype("<i2")
    with wave.open(path, "wb") as w:
        w.setnchannels(1)
        w.setsampwidth(2)
        w.setframerate(SR)
        w.writeframes(pcm.tobytes())


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("chart")
    ap.add_argument("out")
    ap.add_argument("--random", type=int, default=1)
    args = ap.parse_args()
    mix, facts = render(args.chart, args.random)
    print(", ".join(f"{k} {v:.2f}" if isinstance(v, float) else f"{k} {v}"
                    for k, v in facts.items()))
    write_wav(args.out, mix)


if __name__ == "__main__":
    main()
