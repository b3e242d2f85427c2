"""Writes the song as a BMS chart: header, id tables and "#mmmcc:data" object lines."""

from math import gcd

from . import song as S

DIGITS = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ"
LNOBJ_ID = 36 * 36 - 1   # "ZZ", far away from the ids handed out in order


def base36(value):
    if not 0 <= value < 36 * 36:
        raise ValueError(f"id {value} does not fit in two base-36 digits")
    return DIGITS[value // 36] + DIGITS[value % 36]


def absolute_to_measure(tick):
    m = 0
    while S.measure_start(m + 1) <= tick:
        m += 1
    return m, tick - S.measure_start(m)


def data_lines(measure, channel, objects):
    """One or more "#mmmcc:data" lines for objects [(tick, two-character value)].

    The slot count is the coarsest grid that holds every tick; objects sharing a tick (chords of
    background sounds) go to extra lines, which the reader adds up rather than merges.
    """
    length = S.measure_ticks(measure)
    layers = []
    for tick, value in sorted(objects):
        for layer in layers:
            if tick not in layer:
                layer[tick] = value
                break
        else:
            layers.append({tick: value})
    lines = []
    for layer in layers:
        step = length
        for tick in layer:
            step = gcd(step, tick)
        slots = ["00"] * (length // step)
        for tick, value in layer.items():
            slots[tick // step] = value
        lines.append(f"#{measure:03d}{channel}:{''.join(slots)}")
    return lines


class ChartBuilder:
    def __init__(self, song, sound_names, image_names):
        """`sound_names`/`image_names` map a sound key / image key to the file name written."""
        self.song = song
        self.wav_ids = {}
        self.bmp_ids = {}
        self.sound_names = sound_names
        self.image_names = image_names
        self.groups = {}   # (branch, measure, channel) -> [(tick, value)]

    def wav(self, key):
        if key not in self.wav_ids:
            self.wav_ids[key] = len(self.wav_ids) + 1
        return base36(self.wav_ids[key])

    def bmp(self, key):
        if key not in self.bmp_ids:
            self.bmp_ids[key] = len(self.bmp_ids) + 1
        return base36(self.bmp_ids[key])

    def put(self, branch, measure, channel, tick, value):
        self.groups.setdefault((branch, measure, channel), []).append((tick, value))

    def collect(self):
        # The kick takes id 01 so that the chart's "kick.wav" line is easy to find.
        self.wav(("kick",))
        events = sorted(self.song.notes, key=lambda n: (n.measure, n.tick, n.lane))
        for n in events:
            value = self.wav(n.sound)
            side = n.lane[0]
            if n.invisible:
                self.put(n.branch, n.measure, str(int(side) + 2) + n.lane[1], n.tick, value)
            elif n.long_kind == "pair":
                channel = str(int(side) + 4) + n.lane[1]
                self.put(n.branch, n.measure, channel, n.tick, value)
                end_m, end_t = absolute_to_measure(S.measure_start(n.measure) + n.tick + n.length)
                self.put(n.branch, end_m, channel, end_t, value)
            else:
                self.put(n.branch, n.measure, n.lane, n.tick, value)
                if n.long_kind == "lnobj":
                    end_m, end_t = absolute_to_measure(
                        S.measure_start(n.measure) + n.tick + n.length)
                    self.put(n.branch, end_m, n.lane, end_t, base36(LNOBJ_ID))
        for b in sorted(self.song.bgm, key=lambda b: (b.measure, b.tick)):
            self.put(0, b.measure, "01", b.tick, self.wav(b.sound))
        for g in sorted(self.song.bga, key=lambda g: (g.measure, g.tick, g.channel)):
            self.put(0, g.measure, g.channel, g.tick, self.bmp(g.image))
        for (m, t), bpm in S.TEMPO_DIRECT.items():
            self.put(0, m, "03", t, f"{bpm:02X}")
        for (m, t) in S.TEMPO_TABLE:
            self.put(0, m, "08", t, "01")
        for (m, t) in S.STOPS:
            self.put(0, m, "09", t, "01")

    def object_lines(self, branch):
        out = []
        keys = sorted(k for k in self.groups if k[0] == branch)
        for _, measure, channel in keys:
            if channel == "02":
                continue
            out += data_lines(measure, channel, self.groups[(branch, measure, channel)])
        return out

    def text(self, header, lnobj_sound):
        self.collect()
        lines = ["*---------------------- HEADER FIELD", ""]
        lines += [f"#{name} {value}" for name, value in header]
        lines.append(f"#LNOBJ {base36(LNOBJ_ID)}")
        lines.append("")
        for key, ident in sorted(self.wav_ids.items(), key=lambda kv: kv[1]):
            lines.append(f"#WAV{base36(ident)} {self.sound_names[key]}")
        lines.append(f"#WAV{base36(LNOBJ_ID)} {lnobj_sound}")
        lines.append("")
        for key, ident in sorted(self.bmp_ids.items(), key=lambda kv: kv[1]):
            lines.append(f"#BMP{base36(ident)} {self.image_names[key]}")
        lines.append("")
        for value in S.TEMPO_TABLE.values():
            lines.append(f"#BPM01 {value:g}")
        for ticks in S.STOPS.values():
            lines.append(f"#STOP01 {ticks}")
        lines += ["", "*---------------------- MAIN DATA FIELD", ""]
        body = self.object_lines(0)
        for m, factor in S.MEASURE_LENGTH.items():
            body.append(f"#{m:03d}02:{factor:g}")
        body.sort(key=lambda line: (line[1:4], line[4:6] != "02", line[4:6]))
        branches = sorted({k[0] for k in self.groups if k[0]})
        if branches:
            # The random block sits right after the last measure it belongs to.
            last = max(k[1] for k in self.groups if k[0])
            cut = next((i for i, line in enumerate(body) if int(line[1:4]) > last), len(body))
            block = [f"#RANDOM {len(branches)}"]
            for b in branches:
                block += [f"#IF {b}"] + self.object_lines(b) + ["#ENDIF"]
            body = body[:cut] + block + body[cut:]
        prev = None
        for line in body:
            measure = line[1:4] if line[1:4].isdigit() else "random"
            if prev is not None and measure != prev:
                lines.append("")
            lines.append(line)
            prev = measure
        return "\r\n".join(lines) + "\r\n"
