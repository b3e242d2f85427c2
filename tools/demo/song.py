"""The demo song: structure, tempo map and every note, in chart terms.

Positions are (measure, tick) with 192 ticks to a 4/4 measure; one sixteenth is 12 ticks, also in
the 3/4 measure. Lanes are chart file channels: "1x" first player, "2x" second player; a long note
is written on the matching "5x"/"6x" channel (pairs) or closed by the #LNOBJ marker.

Song map (A minor):
  0      count-in, title picture                                    140 BPM
  1-4    intro: pads, hats, kick, bell arpeggio; bass from 3
  5-12   verse: the hook, #LNOBJ long notes, invisible shaker notes from 9
  13     a 3/4 break: fill, chord hit held through a stop, snare pick-up
  14-21  chorus at 150 BPM (channel 03), channel long notes
  22-25  hook reprise; the lead comes from one of two #RANDOM branches
  26-27  ending at 75 BPM (#BPMxx on channel 08), final chord

The first player's side plays the drums, the second player's side the melody and the bass; the
background channel carries the chord pads.
"""

from dataclasses import dataclass, field

TICKS = 192
SIXTEENTH = 12

NOTE_NAMES = {"C": 0, "C#": 1, "D": 2, "D#": 3, "E": 4, "F": 5, "F#": 6, "G": 7, "G#": 8,
              "A": 9, "A#": 10, "B": 11}


def midi(name):
    """"A4" -> 69, "G#5" -> 80."""
    return NOTE_NAMES[name[:-1]] + 12 * (int(name[-1]) + 1)


# Tempo map --------------------------------------------------------------------------------------

BASE_BPM = 140.0
MEASURE_LENGTH = {13: 0.75}
STOPS = {(13, 96): 48}          # (measure, tick) -> ticks; one beat at 140 BPM
TEMPO_DIRECT = {(14, 0): 150}   # channel 03, hexadecimal 96
TEMPO_TABLE = {(26, 0): 75.0}   # channel 08 through #BPMxx
LAST_MEASURE = 27

CHORDS = {
    "Am": [57, 60, 64, 69], "F": [53, 57, 60, 65], "C": [55, 60, 64, 67],
    "G": [55, 59, 62, 67], "Em": [55, 59, 64, 67], "E": [56, 59, 64, 68],
}
ROOTS = {"Am": 45, "F": 41, "C": 36, "G": 43, "Em": 40, "E": 40}
FINAL_CHORD = [45, 57, 60, 64, 69, 71]
HIT_CHORD = [52, 56, 59, 64, 68]


def measure_ticks(m):
    return int(round(TICKS * MEASURE_LENGTH.get(m, 1.0)))


def measure_start(m):
    return sum(measure_ticks(k) for k in range(m))


def tempo_events():
    """(absolute tick, kind, value) in play order: tempo changes, then stops at a position."""
    ev = []
    for (m, t), bpm in TEMPO_DIRECT.items():
        ev.append((measure_start(m) + t, 0, float(bpm)))
    for (m, t), bpm in TEMPO_TABLE.items():
        ev.append((measure_start(m) + t, 0, bpm))
    for (m, t), ticks in STOPS.items():
        ev.append((measure_start(m) + t, 1, ticks))
    return sorted(ev)


def seconds_at(m, t):
    """Chart time of a position, the way the player times objects (tempo, then stops)."""
    target = measure_start(m) + t
    bpm, pos, now = BASE_BPM, 0, 0.0
    for tick, kind, value in tempo_events():
        if tick > target:
            break
        now += (tick - pos) * 60.0 / (bpm * 48.0)
        pos = tick
        if kind == 0:
            bpm = value
        elif tick < target:
            now += value * 60.0 / (bpm * 48.0)
    return now + (target - pos) * 60.0 / (bpm * 48.0)


def span(m, t, ticks):
    """Length in seconds of `ticks` starting at a position (may cross measures)."""
    start = measure_start(m) + t
    end = start + ticks
    mm = m
    while mm < LAST_MEASURE + 1 and measure_start(mm + 1) <= end:
        mm += 1
    return seconds_at(mm, end - measure_start(mm)) - seconds_at(m, t)


def song_length():
    return seconds_at(LAST_MEASURE + 1, 0)


# Events -------------------------------------------------------------------------------------------

@dataclass
class Note:
    measure: int
    tick: int
    lane: str            # file channel of the visible lane, "11".."29"
    sound: tuple         # key of the sound (see make_demo's sound table)
    length: int = 0      # ticks; > 0 makes a long note
    long_kind: str = ""  # "pair" (channels 51-69) or "lnobj"
    invisible: bool = False
    branch: int = 0      # 0 = always, n = inside #IF n


@dataclass
class Bgm:
    measure: int
    tick: int
    sound: tuple


@dataclass
class Bga:
    measure: int
    tick: int
    channel: str         # "04" base, "06" miss, "07" layer
    image: str


@dataclass
class Song:
    notes: list = field(default_factory=list)
    bgm: list = field(default_factory=list)
    bga: list = field(default_factory=list)


# Lanes: the first player's side carries the drums, the second player's the melody and bass.
KICK, HAT, HAT_OFF, SNARE, CLAP, OHAT, TOM_HI, SCRATCH_1P = "11", "12", "18", "13", "14", "19", \
    "15", "16"
MELODY_LANES = ["21", "22", "23", "24", "25"]
BASS_LO, BASS_HI = "28", "29"
CRASH_LANE = "26"
SHAKER_HIDDEN = "14"   # written on channel 34: an invisible note of lane 14


class Writer:
    """Collects events; picks a melody lane by pitch and keeps lanes free under long notes."""

    def __init__(self):
        self.song = Song()
        self.busy = {}   # lane -> list of (start, end) absolute ticks held by a long note

    def _free(self, lane, start, end):
        return all(end < s or start > e for s, e in self.busy.get(lane, []))

    def note(self, m, s16, lane, sound, length16=0, long_kind="", branch=0, invisible=False):
        tick = s16 * SIXTEENTH
        start = measure_start(m) + tick
        length = length16 * SIXTEENTH if long_kind else 0
        if start + length >= measure_start(LAST_MEASURE + 1):
            raise ValueError(f"note at measure {m} slot {s16} reaches past the last measure")
        if not invisible and not self._free(lane, start, start + length):
            raise ValueError(f"lane {lane} is held by a long note at measure {m} tick {tick}")
        if length:
            self.busy.setdefault(lane, []).append((start, start + length))
        self.song.notes.append(Note(m, tick, lane, sound, length, long_kind, invisible, branch))

    def melody(self, m, s16, name, length16, instrument, long_kind="", branch=0):
        note = midi(name)
        # Scale degree of A minor picks the lane, so the picture follows the tune's contour.
        degree = [0, 0, 1, 2, 2, 3, 3, 4, 5, 5, 6, 6][(note - 57) % 12] + 7 * ((note - 57) // 12)
        start = measure_start(m) + s16 * SIXTEENTH
        end = start + (length16 * SIXTEENTH if long_kind else 0)
        for step in range(len(MELODY_LANES)):
            lane = MELODY_LANES[(degree + step) % len(MELODY_LANES)]
            if self._free(lane, start, end):
                break
        if long_kind:
            sound = (instrument + "_long", note, round(span(m, s16 * SIXTEENTH,
                                                            length16 * SIXTEENTH), 2))
        else:
            sound = (instrument, note, "m" if length16 >= 4 else "s")
        self.note(m, s16, lane, sound, length16, long_kind, branch)

    def long_bass(self, m, s16, lane, note, length16):
        hold = round(span(m, s16 * SIXTEENTH, length16 * SIXTEENTH), 2)
        self.note(m, s16, lane, ("bass_long", note, hold), length16, "pair")

    def bgm(self, m, s16, sound):
        self.song.bgm.append(Bgm(m, s16 * SIXTEENTH, sound))

    def bga(self, m, s16, channel, image):
        self.song.bga.append(Bga(m, s16 * SIXTEENTH, channel, image))


def parse_phrase(text):
    """"E5:0:3 D5:3:1 A4:12:4L" -> [(name, slot, length, long?)]."""
    out = []
    for item in text.split():
        name, slot, length = item.split(":")
        out.append((name, int(slot), int(length.rstrip("L")), length.endswith("L")))
    return out


VERSE = [
    ("Am", "E5:0:3 D5:3:1 C5:4:2 D5:6:2 E5:8:4 A4:12:4L"),
    ("F", "C5:0:3 D5:3:1 E5:4:2 F5:6:2 E5:8:2 D5:10:2 C5:12:4"),
    ("C", "E5:0:3 D5:3:1 C5:4:2 D5:6:2 E5:8:4 G5:12:4"),
    ("G", "D5:0:4 B4:4:2 D5:6:2 G5:8:8L"),
    ("Am", "E5:0:3 D5:3:1 C5:4:2 D5:6:2 E5:8:4 A5:12:4"),
    ("F", "C6:0:3 A5:3:1 F5:4:2 A5:6:2 C6:8:2 A5:10:2 G5:12:2 F5:14:2"),
    ("C", "E5:0:3 G5:3:1 C6:4:2 G5:6:2 E5:8:2 G5:10:2 C6:12:2 D6:14:2"),
    ("G", "B5:0:6L A5:6:2 G5:8:8L"),
]

CHORUS = [
    ("F", "A5:0:4 G5:4:2 A5:6:2 C6:8:4 A5:12:4"),
    ("G", "B5:0:4 A5:4:2 G5:6:2 D6:8:8L"),
    ("Em", "G5:0:4 E5:4:2 G5:6:2 B5:8:4 A5:12:2 G5:14:2"),
    ("Am", "A5:0:12L E5:12:2 G5:14:2"),
    ("F", "A5:0:4 G5:4:2 A5:6:2 C6:8:4 D6:12:4"),
    ("G", "D6:0:4 C6:4:2 B5:6:2 G5:8:8L"),
    ("C", "E5:0:2 G5:2:2 C6:4:4 B5:8:4 C6:12:2 D6:14:2"),
    ("E", "B5:0:8L G#5:8:4 B5:12:4"),
]

REPRISE_CHORDS = ["Am", "F", "C", "G"]
REPRISE = {
    1: [VERSE[0][1], VERSE[1][1], VERSE[2][1], "D5:0:4 B4:4:2 D5:6:2 G5:8:8L"],
    2: ["A5:0:2 E5:2:2 C6:4:2 E5:6:2 B5:8:2 E5:10:2 A5:12:4",
        "A5:0:2 F5:2:2 C6:4:2 F5:6:2 A5:8:2 F5:10:2 G5:12:4",
        "G5:0:2 E5:2:2 C6:4:2 E5:6:2 D6:8:2 E5:10:2 C6:12:4",
        "B5:0:2 G5:2:2 D6:4:2 G5:6:2 B5:8:8L"],
}



def pad_for(w, m, chord, s16=0, beats=4):
    hold = round(span(m, s16 * SIXTEENTH, beats * 48), 2)
    w.bgm(m, s16, ("pad", chord, hold))


def drums_basic(w, m, kick, snare, hats, hat_sound=("hat",), snare_sound=("snare",)):
    for s in kick:
        w.note(m, s, KICK, ("kick",))
    for s in snare:
        w.note(m, s, CLAP if snare_sound == ("clap",) else SNARE, snare_sound)
    for s in hats:
        # Closed hats alternate between two keys; the open hat has a key of its own.
        lane = OHAT if hat_sound == ("ohat",) else (HAT if s % 4 == 0 else HAT_OFF)
        w.note(m, s, lane, hat_sound)


def bass_line(w, m, chord, pattern):
    root = ROOTS[chord]
    for s, octave, length in pattern:
        lane = BASS_HI if octave else BASS_LO
        w.note(m, s, lane, ("bass", root + 12 * octave, "m" if length >= 4 else "s"))


def lead_phrase(w, m, text, instrument="lead", long_kind="lnobj", branch=0):
    for name, slot, length, is_long in parse_phrase(text):
        w.melody(m, slot, name, length, instrument, long_kind if is_long else "", branch)


INTRO_BASS = [(0, 0, 6), (6, 0, 2), (8, 0, 6), (14, 1, 2)]
VERSE_BASS = [(0, 0, 3), (3, 0, 3), (6, 1, 2), (8, 0, 3), (11, 0, 3), (14, 1, 2)]
CHORUS_BASS = [(s, (s // 2) % 2, 2) for s in range(0, 16, 2)]
EIGHTHS = list(range(0, 16, 2))
OFFBEATS = [2, 6, 10, 14]
ARPEGGIO = {"Am": "A4 C5 E5 C5 A5 E5 C5 E5", "F": "A4 C5 F5 C5 A5 F5 C5 F5",
            "C": "C5 E5 G5 E5 C6 G5 E5 G5", "G": "B4 D5 G5 D5 B5 G5 D5 G5"}


def build():
    w = Writer()

    # 0: count-in on sticks, the title picture, and the miss picture for the whole song.
    w.bga(0, 0, "04", "title")
    w.bga(0, 0, "06", "miss")
    for s in (0, 4, 8, 12):
        w.note(0, s, HAT, ("hat",))

    # 1-4: intro.
    for i, chord in enumerate(["Am", "F", "C", "G"]):
        m = 1 + i
        pad_for(w, m, chord)
        drums_basic(w, m, [0, 8] if m < 3 else [0, 6, 8], [4, 12] if m >= 3 else [], OFFBEATS)
        for k, name in enumerate(ARPEGGIO[chord].split()):
            w.melody(m, 2 * k, name, 2, "bell")
        if m >= 3:
            bass_line(w, m, chord, INTRO_BASS)
    w.bga(1, 0, "04", "city_video")
    w.note(4, 14, TOM_HI, ("tom", 50))
    w.note(4, 15, SCRATCH_1P, ("tom", 43))

    # 5-12: verse with the hook; long notes closed by the #LNOBJ marker.
    w.bga(5, 0, "04", "city_lit")
    w.note(5, 0, CRASH_LANE, ("crash",))
    for i, (chord, phrase) in enumerate(VERSE):
        m = 5 + i
        pad_for(w, m, chord)
        drums_basic(w, m, [0, 6, 8], [4, 12], EIGHTHS)
        bass_line(w, m, chord, VERSE_BASS)
        lead_phrase(w, m, phrase)
        for beat in range(4):
            w.bga(m, 4 * beat, "07", f"eq{beat + 1}")
        if m >= 9:
            for s in range(1, 16, 2):
                w.note(m, s, SHAKER_HIDDEN, ("shaker",), invisible=True)
    w.note(8, 14, TOM_HI, ("tom", 50))
    w.note(8, 15, SCRATCH_1P, ("tom", 43))
    w.note(12, 12, TOM_HI, ("tom", 50))
    w.note(12, 13, TOM_HI, ("tom", 50))
    w.note(12, 14, SCRATCH_1P, ("tom", 43))
    w.note(12, 15, SCRATCH_1P, ("tom", 43))

    # 13: the 3/4 break. Two beats of E, a chord hit on beat three, one beat stopped, pick-up.
    m = 13
    pad_for(w, m, "E", beats=2)
    for s in (0, 2, 4, 6):
        w.note(m, s, SNARE, ("snare",))
    for s in (0, 4):
        w.note(m, s, KICK, ("kick",))
    bass_line(w, m, "E", [(0, 0, 2), (2, 1, 2), (4, 0, 2), (6, 1, 2)])
    # The hit is held on the scratch through the stop: a long note on channel 56.
    w.note(m, 8, SCRATCH_1P, ("hit",), 2, "pair")
    w.note(m, 8, KICK, ("kick",))
    w.note(m, 8, BASS_LO, ("bass", ROOTS["E"], "m"))
    w.bgm(m, 8, ("riser", round(span(m, 8 * SIXTEENTH, 48), 2)))
    w.note(m, 10, SNARE, ("snare",))
    w.note(m, 11, SNARE, ("snare",))
    w.bga(m, 8, "04", "flash")

    # 14-21: chorus at 150 BPM; long notes on channels 61-69.
    w.bga(14, 0, "04", "grid")
    for i, (chord, phrase) in enumerate(CHORUS):
        m = 14 + i
        pad_for(w, m, chord)
        drums_basic(w, m, [0, 4, 8, 12], [4, 12], OFFBEATS, ("ohat",), ("clap",))
        bass_line(w, m, chord, CHORUS_BASS)
        lead_phrase(w, m, phrase, long_kind="pair")
        for beat in range(4):
            w.bga(m, 4 * beat, "07", f"ring{beat + 1}")
        if i in (0, 4):
            w.note(m, 0, CRASH_LANE, ("crash",))
    w.note(21, 14, TOM_HI, ("tom", 50))
    w.note(21, 15, SCRATCH_1P, ("tom", 43))

    # 22-25: reprise of the hook with the chorus groove; the lead is drawn by #RANDOM.
    w.bga(22, 0, "04", "grid2")
    for i, chord in enumerate(REPRISE_CHORDS):
        m = 22 + i
        pad_for(w, m, chord)
        drums_basic(w, m, [0, 4, 8, 12], [4, 12], OFFBEATS, ("ohat",), ("clap",))
        bass_line(w, m, chord, CHORUS_BASS)
        for beat in range(4):
            w.bga(m, 4 * beat, "07", f"ring{4 - beat}")
        for branch, phrases in REPRISE.items():
            lead_phrase(w, m, phrases[i], long_kind="pair" if branch == 1 else "lnobj",
                        branch=branch)
    w.note(22, 0, CRASH_LANE, ("crash",))
    for s, lane, pitch in ((12, TOM_HI, 50), (13, TOM_HI, 50), (14, SCRATCH_1P, 43),
                           (15, SCRATCH_1P, 43)):
        w.note(25, s, lane, ("tom", pitch))

    # 26-27: the ending at 75 BPM: half-time groove, then the last chord rings out.
    m = 26
    w.bga(m, 0, "04", "dawn")
    w.bga(m, 0, "07", "thanks")
    pad_for(w, m, "F", beats=2)
    pad_for(w, m, "G", s16=8, beats=2)
    w.note(m, 0, CRASH_LANE, ("crash",))
    drums_basic(w, m, [0, 6], [8], EIGHTHS)
    w.long_bass(m, 0, BASS_LO, ROOTS["F"], 8)
    w.long_bass(m, 8, BASS_HI, ROOTS["G"], 8)
    lead_phrase(w, m, "A5:0:4 C6:4:4 B5:8:4 D6:12:4")
    for s, lane, pitch in ((12, TOM_HI, 50), (13, TOM_HI, 50), (14, SCRATCH_1P, 43),
                           (15, SCRATCH_1P, 43)):
        w.note(m, s, lane, ("tom", pitch))
    m = 27
    w.bgm(m, 0, ("final", round(span(m, 0, 192) + 1.0, 2)))
    w.note(m, 0, CRASH_LANE, ("crash",))
    w.note(m, 0, KICK, ("kick",))
    # The last long notes end inside the measure so that no object opens a measure 28.
    w.long_bass(m, 0, BASS_LO, ROOTS["Am"], 15)
    lead_phrase(w, m, "A5:0:15L", long_kind="pair")
    return w.song
