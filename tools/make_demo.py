#!/usr/bin/python3
"""Generates Korvane's demo song into demo/: keysounds, pads, pictures and the chart.

Run it with Debian's Python (python3-numpy, python3-pil), oggenc from vorbis-tools and the
ffmpeg command (the intro's video background):

    /usr/bin/python3 tools/make_demo.py [--out DIR] [--check]

--check then reads the written chart back the way the player does, mixes every #RANDOM outcome
and fails unless the song is 40 to 70 s long, every sound is found, every long note is closed,
both sides have notes and the mix stays below -1 dBFS.

The output depends on nothing but this code: noise is seeded, the Ogg stream serials are fixed,
and running it twice gives identical files.
"""

import argparse
import os
import subprocess
import sys
import tempfile
import wave
import zlib

import numpy as np

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

from demo import art, bms, preview, synth, video  # noqa: E402
from demo import song as S                 # noqa: E402

HEADER = [
    ("PLAYER", "3"),
    ("GENRE", "SYNTH POP"),
    ("TITLE", "夜明けのシグナル"),
    ("ARTIST", "Korvane Sound Lab"),
    ("BPM", f"{S.BASE_BPM:g}"),
    ("PLAYLEVEL", "4"),
    ("RANK", "2"),
    ("TOTAL", "400"),
]

CHART_NAME = "korvane-demo.bme"
VIDEO_KEY = "city_video"
VIDEO_NAME = "city_dusk.mpg"

NAMES = ["c", "cs", "d", "ds", "e", "f", "fs", "g", "gs", "a", "as", "b"]


def note_name(note):
    return f"{NAMES[note % 12]}{note // 12 - 1}"


def ms(seconds):
    return int(round(seconds * 1000))


def sound_table(keys):
    """sound key -> (name written in the chart, file name on disk, renderer)."""
    table = {}
    fixed = {
        # The chart asks for "kick.wav"; the folder holds "Kick.ogg". Korvane finds it by
        # matching the name without regard to case and trying other extensions of the base name.
        ("kick",): ("kick.wav", "Kick.ogg", synth.kick),
        ("snare",): ("snare.wav", "snare.wav", synth.snare),
        ("clap",): ("clap.wav", "clap.wav", synth.clap),
        ("hat",): ("hat.wav", "hat.wav", lambda: synth.hat(True)),
        ("ohat",): ("ohat.wav", "ohat.wav", lambda: synth.hat(False)),
        ("shaker",): ("shaker.wav", "shaker.wav", synth.shaker),
        ("crash",): ("crash.ogg", "crash.ogg", synth.crash),
        ("hit",): ("hit.ogg", "hit.ogg", lambda: synth.stab(S.HIT_CHORD)),
    }
    for key in keys:
        if key in fixed:
            table[key] = fixed[key]
            continue
        kind = key[0]
        if kind == "tom":
            name = f"tom_{note_name(key[1])}.wav"
            table[key] = (name, name, lambda n=key[1]: synth.tom(n))
        elif kind == "bass":
            gate = 0.16 if key[2] == "s" else 0.36
            name = f"bass_{note_name(key[1])}_{key[2]}.wav"
            table[key] = (name, name, lambda n=key[1], g=gate: synth.bass(n, g))
        elif kind == "bass_long":
            name = f"bass_{note_name(key[1])}_{ms(key[2])}.ogg"
            table[key] = (name, name, lambda n=key[1], g=key[2]: synth.bass(n, g - 0.04))
        elif kind == "lead":
            gate = 0.2 if key[2] == "s" else 0.38
            name = f"lead_{note_name(key[1])}_{key[2]}.ogg"
            table[key] = (name, name, lambda n=key[1], g=gate: synth.lead(n, g))
        elif kind == "lead_long":
            name = f"lead_{note_name(key[1])}_{ms(key[2])}.ogg"
            table[key] = (name, name, lambda n=key[1], g=key[2]: synth.lead(n, g - 0.06))
        elif kind == "bell":
            name = f"bell_{note_name(key[1])}.ogg"
            table[key] = (name, name, lambda n=key[1]: synth.bell(n))
        elif kind == "pad":
            chord, hold = key[1], key[2]
            bright = 1.4 if hold < 1.65 else 1.0   # the faster chorus pads are a little brighter
            name = f"pad_{chord.lower()}_{ms(hold)}.ogg"
            table[key] = (name, name, lambda c=chord, h=hold, b=bright:
                          synth.pad(S.CHORDS[c], h, bright=b))
        elif kind == "riser":
            table[key] = ("riser.ogg", "riser.ogg", lambda h=key[1]: synth.riser(h))
        elif kind == "final":
            table[key] = ("final.ogg", "final.ogg", lambda h=key[1]:
                          synth.pad(S.FINAL_CHORD, h - 1.0, bright=1.2, release=1.2,
                                    peak_db=-16.0))
        else:
            raise KeyError(f"no sound for {key}")
    return table


def write_wav(path, samples):
    pcm = np.clip(np.round(samples * 32767.0), -32768, 32767).astype("<i2")
    with wave.open(path, "wb") as w:
        w.setnchannels(1)
        w.setsampwidth(2)
        w.setframerate(synth.SR)
        w.writeframes(pcm.tobytes())


def write_ogg(path, samples):
    with tempfile.TemporaryDirectory() as tmp:
        wav = os.path.join(tmp, "in.wav")
        write_wav(wav, samples)
        serial = zlib.crc32(os.path.basename(path).encode()) & 0x7FFFFFFF
        subprocess.run(["oggenc", "-Q", "-q", "4", "-s", str(serial), "-o", path, wav],
                       check=True)


def generate(out):
    os.makedirs(out, exist_ok=True)
    song = S.build()
    keys = [("kick",)] + [n.sound for n in song.notes] + [b.sound for b in song.bgm]
    sounds = sound_table(dict.fromkeys(keys))
    images = art.all_images()
    image_names = {k: v[0] for k, v in images.items()}
    image_names[VIDEO_KEY] = VIDEO_NAME

    chart = bms.ChartBuilder(song, {k: v[0] for k, v in sounds.items()}, image_names)
    text = chart.text(HEADER, sounds[("shaker",)][0])

    written = set()
    for key, (_, disk, render) in sounds.items():
        if disk in written:
            continue
        path = os.path.join(out, disk)
        if disk.endswith(".ogg"):
            write_ogg(path, render())
        else:
            write_wav(path, render())
        written.add(disk)
    for key, (name, img) in images.items():
        img.save(os.path.join(out, name), optimize=True)
        written.add(name)
    video.write(os.path.join(out, VIDEO_NAME))
    written.add(VIDEO_NAME)
    readme = describe(song, sounds)
    with open(os.path.join(out, "README.md"), "w", encoding="utf-8") as f:
        f.write(readme)
    written.add("README.md")
    chart_name = CHART_NAME
    with open(os.path.join(out, chart_name), "wb") as f:
        f.write(text.encode("cp932"))
    written.add(chart_name)

    # Files of an earlier run that this one no longer makes would only confuse the lookups.
    for name in os.listdir(out):
        if name not in written and name.rsplit(".", 1)[-1] in ("wav", "ogg", "png", "mpg", "bme"):
            os.remove(os.path.join(out, name))
    return sorted(written)


def ranges(measures):
    """[1, 2, 3, 5] -> "1-3, 5"."""
    out, run = [], []
    for m in sorted(set(measures)):
        if run and m != run[-1] + 1:
            out.append(run)
            run = []
        run.append(m)
    if run:
        out.append(run)
    return ", ".join(f"{r[0]}-{r[-1]}" if len(r) > 1 else str(r[0]) for r in out)


def describe(song, sounds):
    """The folder's README: what the chart shows and where, taken from the song itself."""
    def where(pred):
        return ranges(n.measure for n in song.notes if pred(n))

    def bga(channel):
        return ranges(g.measure for g in song.bga if g.channel == channel)

    ogg = sum(1 for v in sounds.values() if v[1].endswith(".ogg"))
    lines = [
        "# Korvane demo song",
        "",
        "Generated by `tools/make_demo.py` (do not edit by hand; run",
        "`/usr/bin/python3 tools/make_demo.py --check` to rebuild and verify).",
        "",
        f"Chart: `{CHART_NAME}` (Shift_JIS text), {S.LAST_MEASURE + 1} measures, "
        f"{S.song_length():.1f} s, A minor.",
        f"Sounds: {len(set(v[1] for v in sounds.values()))} files "
        f"({ogg} Ogg Vorbis, the rest 16-bit mono WAV at 44.1 kHz).",
        "",
        "| Feature | Measures |",
        "|---|---|",
        "| #PLAYER 3; drums on the first player's lanes, melody and bass on the second's | "
        f"{where(lambda n: n.lane[0] == '1')} / {where(lambda n: n.lane[0] == '2')} |",
        "| tempo by channel 03 | " + ", ".join(f"{m} ({S.BASE_BPM:g} to {v} BPM)"
                                              for (m, _), v in S.TEMPO_DIRECT.items()) + " |",
        "| tempo by #BPM01 on channel 08 | " + ", ".join(f"{m} ({v:g} BPM)"
                                                       for (m, _), v in S.TEMPO_TABLE.items())
        + " |",
        "| #STOP01 on channel 09 | " + ", ".join(f"{m}, tick {t} ({v} ticks)"
                                                for (m, t), v in S.STOPS.items()) + " |",
        "| measure length (channel 02) | " + ", ".join(f"{m} ({v:g})"
                                                      for m, v in S.MEASURE_LENGTH.items())
        + " |",
        f"| long notes on channels 51-69 | {where(lambda n: n.long_kind == 'pair')} |",
        f"| #LNOBJ ZZ long notes | {where(lambda n: n.long_kind == 'lnobj')} |",
        f"| invisible notes (channel 34) | {where(lambda n: n.invisible)} |",
        f"| #RANDOM 2 with #IF 1 / #IF 2 | {where(lambda n: n.branch)} |",
        f"| BGA base (04) / layer (07) / miss (06) | {bga('04')} / {bga('07')} / {bga('06')} |",
        f"| video background `{VIDEO_NAME}` (MPEG-1, {video.SECONDS} s) on channel 04, "
        "from measure | " + ranges(g.measure for g in song.bga if g.image == VIDEO_KEY) + " |",
        "| `#WAV01 kick.wav`, file on disk `Kick.ogg` | every measure with a kick |",
        "",
        "Background channel 01 plays the chord pads; every note has its own key sound.",
        "",
    ]
    return "\n".join(lines)


def check(out):
    problems = []
    chart = os.path.join(out, CHART_NAME)
    for branch in (1, 2):
        _, facts = preview.render(chart, branch)
        print(f"#RANDOM outcome {branch}: " + ", ".join(
            f"{k} {v:.2f}" if isinstance(v, float) else f"{k} {v}" for k, v in facts.items()))
        if not 40.0 <= facts["length"] <= 70.0:
            problems.append(f"length {facts['length']:.1f} s")
        if facts["missing"]:
            problems.append(f"missing sounds {facts['missing']}")
        if facts["unpaired_markers"] or not facts["long_notes"] or not facts["lnobj_pairs"]:
            problems.append("long notes are not all paired")
        if not facts["notes_1p"] or not facts["notes_2p"]:
            problems.append("a side has no notes")
        if facts["peak_db"] >= -1.0:
            problems.append(f"mix peak {facts['peak_db']:.2f} dBFS")
    size = sum(os.path.getsize(os.path.join(out, f)) for f in os.listdir(out))
    print(f"folder size {size / 1e6:.2f} MB")
    if size > 3_000_000:
        problems.append("folder larger than 3 MB")
    for p in problems:
        print("problem:", p, file=sys.stderr)
    return not problems


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    here = os.path.dirname(os.path.abspath(__file__))
    parser.add_argument("--out", default=os.path.join(os.path.dirname(here), "demo"))
    parser.add_argument("--check", action="store_true")
    args = parser.parse_args()
    files = generate(args.out)
    print(f"{len(files)} files in {args.out}, song length {S.song_length():.2f} s")
    if args.check and not check(args.out):
        sys.exit(1)


if __name__ == "__main__":
    main()
