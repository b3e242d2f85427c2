// Helpers shared by the loader's files: error handlers, text by characters, and the single steps
// of the sort (exposed so tests can compare them with straightforward versions).
#pragma once

#include <new>
#include <optional>
#include <string_view>

#include "base/report.h"
#include "chart/modBMSLoad.h"

namespace modBMSLoad {

void ResetHeader();

// True while the loader reads a chart's lines, letting window events through between them.
extern bool ReadingLines;

// Runs a procedure body under its handler: a run-time error (or running out of memory, error 7)
// goes to the error report with the procedure's name.
template <typename F>
inline void Guard(const char* procName, F&& body) {
    try {
        body();
    } catch (const vb::Error& e) {
        modMain::Report(e, procName);
    } catch (const std::bad_alloc&) {
        modMain::Report(vb::Error(7, vb::ErrorDescription(7)), procName);
    }
}

// A number read from a chart line may not fit where it goes (a Long, an Integer, a Single, a
// Currency). One odd line must not end the program, so the conversion's overflow (error 6) is
// taken here as "no value": the caller leaves its field as it was. Every other error still goes
// to the report.
template <typename F>
inline auto IfFits(F&& convert) -> std::optional<decltype(convert())> {
    try {
        return convert();
    } catch (const vb::Error& e) {
        if (e.number != 6) throw;
        return std::nullopt;
    }
}

// Sets `field` from the conversion when its value fits, else leaves it alone.
template <typename T, typename F>
inline void SetIfFits(T& field, F&& convert) {
    if (auto v = IfFits(convert)) field = *v;
}

// ---- text by characters (code points of UTF-8)

inline bool IsContinuation(char c) {
    return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}

inline bool IsAscii(std::string_view s) {
    for (char c : s)
        if (static_cast<unsigned char>(c) >= 0x80) return false;
    return true;
}

// Number of characters.
inline size_t CharCount(std::string_view s) {
    size_t n = 0;
    for (char c : s) n += !IsContinuation(c);
    return n;
}

// Byte offset of character number `index` (0-based); s.size() when the text is shorter.
inline size_t ByteOffset(std::string_view s, size_t index) {
    size_t i = 0;
    for (; i < s.size(); ++i) {
        if (IsContinuation(s[i])) continue;
        if (index == 0) return i;
        --index;
    }
    return s.size();
}

// `count` characters from character `first` (0-based), cut at the end of the text.
inline std::string_view CharSpan(std::string_view s, size_t first, size_t count) {
    size_t b = ByteOffset(s, first);
    std::string_view rest = s.substr(b);
    return rest.substr(0, ByteOffset(rest, count));
}

// The character starting at byte i (i advances past it). Text in memory is valid UTF-8; a stray
// byte still yields some non-ASCII value.
char32_t NextChar(std::string_view s, size_t& i);

// ---- random blocks
// Forgets the media names of the last load (NameMedia).
void ResetMediaNames();
void ResetSoundOrder();

void ResetRandom();
void SeedRandomForLoad();

// ---- the steps of LoadBMSSort, in order
void PlaceMeasures();
bool PlaceObjects();  // true when the chart has channel long notes
void AddBarLines();
void SamePositionPass();
void PairChannelLongNotes();
void PairLnObjLongNotes();

}  // namespace modBMSLoad
