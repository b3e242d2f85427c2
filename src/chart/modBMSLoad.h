// The chart model and its loader: header fields, per-id tables, measures and the timed objects.
//
// Calls upward, kept because a load and a seek restart play: the loader and SeekBMS reset and set
// the play clock's state (modCount's clock, objects, BGA and scores; modKey::PauseStart). The
// shell's message pass and file dialog are reached through the hooks below.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "base/rect.h"
#include "base/vb.h"

namespace modBMSLoad {

using vb::Currency;
using vb::Integer;
using vb::Long;
using vb::Single;

// Object kinds.
constexpr Long KIND_NORMAL = 0x1000, KIND_INVISIBLE = 0x2000, KIND_LN_START = 0x4000,
               KIND_LN_HELD = 0x4001, KIND_LN_END = 0x4002;
// Internal channels that are not lanes.
constexpr Integer CH_BARLINE = -1, CH_BGM = 1, CH_BPM = 3, CH_BGA_BASE = 4, CH_BGA_POOR = 6,
                  CH_BGA_LAYER = 7, CH_BPM_TABLE = 8, CH_STOP = 9;
// Time of an object not yet timed: the largest whole Currency value.
constexpr Currency kNotTimed = Currency::FromRaw(9223372036854770000LL);

// The fields are listed in the design's order; the small ones are packed first so a record
// takes 40 bytes (charts may hold millions of objects).
struct ObjRecord {
    Integer Enabled = 0;  // -1 still to be processed, 0 done
    Integer Channel = 0;
    Long Kind = 0;
    Integer Measure = 0;
    Integer Side = 0;
    Long Value = 0;
    Long Link = 0;
    Currency Pos;
    Currency Time;
};

struct MeasureRecord {
    Currency Length;  // ticks
    Currency Pos;     // ticks
    Currency Time;    // ms
};

struct BgaRecord {
    Integer BmpNo = 0;
    RECT SrcRect;
    Integer DestX = 0, DestY = 0;
};

// Header block.
extern std::string BMSFileName, BMSFolder, PathWav;
extern Long Player;
extern std::string Genre, Title, Artist;
extern Single Bpm, BaseBpm;
extern Long PlayLevel, Rank;
extern Single Total, VolWav;
extern Integer LnObj;
extern vb::Array<Long, 0, 2> NoteCount;
extern Integer MaxMeasure;
extern Currency TotalTime;
extern Long RandomValue;
extern bool IfFlag;
extern std::string RandomText, DisplayTitle;
extern Integer StartMeasure;
extern Long LoadTime;     // duration of the last load in ms
extern Long LastDotTime;  // caption progress

// Per-id tables (the sounds and pictures are in modSound::WavBuffer and modDraw::BmpSurface).
extern vb::Array<Single, 0, 1295> BpmTable;
extern vb::Array<Long, 0, 1295> StopTable;
extern vb::Array<BgaRecord, 0, 1295> BgaTable;

extern vb::Array<MeasureRecord, 0, 999> MeasureInfo;
extern vb::Array<ObjRecord, 0, 999> BarLine;
extern vb::DynArray<ObjRecord> Obj;
extern Long ObjCount;

// The sounds and pictures the chart names that the load could not give (not found, not
// decodable, or past the media budget): the #WAV and #BMP names as written, each once, by id.
struct MissingMedia {
    std::vector<std::string> sounds, images;
};
extern MissingMedia Missing;
// Wall-clock milliseconds the last LoadBMS took.
extern double LoadWallMs;
// Notes the name a #WAV or #BMP line gives a slot, as written.
void NameMedia(bool picture, Long id, std::string_view name);
// Fills Missing from the slots the chart named once its media are loaded, and says what is
// missing in one line on standard error.
void NoteMissingMedia();
// Adds the sounds whose decoding failed since (sounds decode after the load), and says so.
void NoteUndecodedSounds();

// Base-36 value of an id text of any length (overflow of a Long is error 6).
Long DecodeId(std::string_view text);
// A character's code is its CP932 code. Half-width katakana (one CP932 byte each) are mapped
// exactly; other characters outside ASCII get kNonAsciiDigit instead of their double-byte code,
// which makes every two-character id holding one negative, i.e. invalid.
constexpr Long kNonAsciiDigit = -1296;
Long DigitValue(char32_t c);

// Set by the shell: the message pass that lets window events through between the lines a load
// reads, and the listener told the file name of each load that starts. Either may be empty.
extern void (*MessagePassHook)();
extern void (*LoadStartedHook)(const std::string& fileName);

// Loading.
void LoadBMS();
void LoadBMSStart();
Long LoadBMSData();
void LoadBMSLine(std::string_view line);
void ShowLoadProgress();
// Puts the decoding of the sounds in the order the play needs them from the play time `at`, and
// waits until those of its first moments are decoded (the caption's dots go on meanwhile).
void ReadySoundsFrom(Currency at);
// The same in two steps: a seek only orders the decoding, and the play clock waits when it next
// moves, so a burst of seeks (wheel notches) waits once, for where it ends. AwaitOrderedSounds
// is false when there was nothing to wait for.
void OrderSoundsFrom(Currency at);
bool AwaitOrderedSounds();
void ClearPlayState();
void LoadBMSHeader(std::string_view command, std::string_view argument);
void LoadBMSObject(std::string_view command, std::string_view data);
Integer MapChannel(Integer channel);

// Sorting and timing.
void LoadBMSSort();
void QuickSortObj(Long lo, Long hi);
void PlayTimeCount();
void ClearObj(ObjRecord& record);
void SwapObj(ObjRecord& a, ObjRecord& b);

// Seek.
void SeekBMS(Integer measure);

// Seeds the #RANDOM generator; a negative seed means "from the clock" (the player's behaviour).
// A fixed seed restarts the same sequence at every load.
void SetRandomSeed(int64_t seed);
// The generator behind #RANDOM: a 24-bit linear congruential sequence, values in [0, 1).
Single Rnd();

// Resets the model to its start-up state (tests).
void Reset();

}  // namespace modBMSLoad
