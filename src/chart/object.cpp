// Object lines: a measure, a channel and a data string of two-character ids, one per slot.
#include <algorithm>
#include <vector>

#include "chart/chart_internal.h"
#include "chart/modBMSLoad.h"

namespace modBMSLoad {

namespace {

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// The number of a few characters of the command; plain digits (nearly every line) are read
// directly.
double NumberAt(std::string_view command, size_t first, size_t count) {
    std::string_view part = CharSpan(command, first, count);
    double v = 0;
    for (char c : part) {
        if (!IsDigit(c)) return vb::Val(part);
        v = v * 10 + (c - '0');
    }
    return v;
}

// The measure of an object line; -1 when it lies outside 0..999 (such a line is ignored: there
// is no measure to put it in).
int MeasureOf(std::string_view command) {
    double v = vb::RoundHalfEven(NumberAt(command, 1, 3));
    return (v >= 0 && v <= 999) ? static_cast<int>(v) : -1;
}

// DigitValue of every ASCII character.
struct DigitTable {
    Long value[128];
    DigitTable() {
        for (int c = 0; c < 128; ++c) value[c] = DigitValue(static_cast<char32_t>(c));
    }
};
const DigitTable kDigits;

// A factor whose length does not fit a Currency leaves the measure's length as it was.
void SetMeasureLength(Integer measure, std::string_view data) {
    double factor = IfFits([data] { return vb::Val(data); }).value_or(0);
    if (factor > 0)
        SetIfFits(MeasureInfo[measure].Length,
                  [factor] { return Currency::FromDouble(factor * 192); });
}

Long HexValue(std::string_view pair) {
    char text[16] = "&H";
    size_t n = std::min(pair.size(), sizeof text - 3);
    std::copy_n(pair.data(), n, text + 2);
    return vb::CLng(vb::Val(std::string_view(text, n + 2)));
}

// Fills Obj(ObjCount) from one slot and stores it when it got a value. A record left with
// value 0 is overwritten by the next slot that stores one.
void StoreSlot(Integer measure, Integer channel, Long slot, Long slots, Long v,
               std::string_view pair) {
    ObjRecord& o = Obj[ObjCount];
    o.Enabled = -1;
    o.Measure = measure;
    o.Pos = Currency::FromInt(slot);
    o.Channel = channel;
    o.Kind = KIND_NORMAL;
    o.Link = slots;
    if (channel == CH_BPM) {
        o.Value = HexValue(pair);
    } else if ((channel >= 10 && channel <= 30) || (channel >= 50 && channel <= 70)) {
        o.Value = v;
        o.Side = static_cast<Integer>(((channel - 10) % 20) / 10 + 1);
        NoteCount[0] += 1;
        NoteCount[o.Side] += 1;
        if (channel >= 30 && channel <= 50) {
            o.Kind = KIND_INVISIBLE;
            o.Channel = static_cast<Integer>(channel - 20);
            NoteCount[0] -= 1;
            NoteCount[o.Side] -= 1;
        } else if (channel >= 50) {
            o.Kind = KIND_LN_START;
            o.Channel = static_cast<Integer>(channel - 40);
        }
    } else if (channel >= 10) {
        o.Value = 0;
    } else {
        o.Value = v;
    }
    if (o.Value == 0) return;
    if (measure > MaxMeasure) MaxMeasure = measure;
    ObjCount += 1;
    long upper = Obj.UBound();
    if (upper <= ObjCount) Obj.ReDimPreserve(std::max<long>(2 * upper, ObjCount + 1));
}

void StoreAsciiData(Integer measure, Integer channel, std::string_view data) {
    Long slots = static_cast<Long>(data.size() / 2);
    const char* p = data.data();
    for (Long i = 0; i < slots; ++i, p += 2) {
        if (p[0] == '0' && p[1] == '0') continue;  // the common empty slot
        Long v = 36 * kDigits.value[static_cast<unsigned char>(p[0])] +
                 kDigits.value[static_cast<unsigned char>(p[1])];
        if (v <= 0) continue;
        StoreSlot(measure, channel, i, slots, v, std::string_view(p, 2));
    }
}

void StoreData(Integer measure, Integer channel, std::string_view data) {
    if (IsAscii(data)) return StoreAsciiData(measure, channel, data);
    std::vector<size_t> starts;  // byte offset of every character, plus the end
    for (size_t i = 0; i < data.size(); ++i)
        if (!IsContinuation(data[i])) starts.push_back(i);
    starts.push_back(data.size());
    Long slots = static_cast<Long>((starts.size() - 1) / 2);
    for (Long i = 0; i < slots; ++i) {
        size_t b = starts[2 * static_cast<size_t>(i)], e = starts[2 * static_cast<size_t>(i) + 2];
        std::string_view pair = data.substr(b, e - b);
        Long v = DecodeId(pair);
        if (v <= 0) continue;
        StoreSlot(measure, channel, i, slots, v, pair);
    }
}

}  // namespace

void LoadBMSObject(std::string_view command, std::string_view data) {
    Guard("LoadBMSObject", [command, data] {
        if (CharCount(command) < 6) return;
        int measure = MeasureOf(command);
        if (measure < 0) return;
        Integer fileChannel = vb::CInt(NumberAt(command, 4, 2));
        Integer channel = MapChannel(fileChannel);
        if (channel == 2)
            SetMeasureLength(static_cast<Integer>(measure), data);
        else
            StoreData(static_cast<Integer>(measure), channel, data);
    });
}

}  // namespace modBMSLoad
