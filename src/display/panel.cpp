// The texts of the information panel, the score and the elapsed time.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "base/helpers.h"
#include "base/program.h"
#include "base/settings_record.h"
#include "base/stage_timing.h"
#include "chart/modBMSLoad.h"
#include "display/modDraw.h"
#include "play/modCount.h"

namespace modDraw {

using modBMSLoad::NoteCount;
using modMain::Settings;
using modMain::ZeroPad;
using vb::Long;
using vb::Str;

namespace {

const char* Pick(Long value, std::initializer_list<std::pair<Long, const char*>> names) {
    for (const auto& [v, text] : names)
        if (v == value) return text;
    return nullptr;
}

// The listed name of a setting value; any other value shows as ERROR(n), as the rank does.
std::string Named(Long value, std::initializer_list<std::pair<Long, const char*>> names) {
    const char* text = Pick(value, names);
    return text ? text : "ERROR(" + Str(value) + ")";
}

std::string TrueFalse(bool b) {
    return b ? "TRUE" : "FALSE";
}

// Whole part of a Currency, rounded down.
int64_t Floor(vb::Currency c) {
    int64_t q = c.raw / vb::Currency::kScale;
    return (c.raw % vb::Currency::kScale < 0) ? q - 1 : q;
}

// sc(p, n) of the score text: a full PERFECT or GREAT run gives 100000.
std::string Points(Long points, Long notes) {
    return Str(vb::Int(static_cast<double>(points) / notes * 20000));
}

// Drops the first character of a UTF-8 text.
std::string FromSecondChar(const std::string& s) {
    size_t i = 1;
    while (i < s.size() && (static_cast<unsigned char>(s[i]) & 0xC0) == 0x80) ++i;
    return s.size() <= 1 ? "" : s.substr(i);
}

}  // namespace

std::string Fmt(double value, std::string_view picture, bool fromSingle) {
    size_t point = picture.find('.');
    std::string_view whole = picture.substr(0, point);
    int forced = 0;
    for (char c : whole) forced += c == '0';
    int decimals = point == std::string_view::npos ? 0 : int(picture.size() - point - 1);
    if (!std::isfinite(value)) return Str(value);

    // The number's own decimal digits first, then rounding half away from zero on them.
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.*e", fromSingle ? 6 : 14, std::fabs(value));
    std::string digits;
    for (const char* p = buf; *p && *p != 'e'; ++p)
        if (*p != '.') digits += *p;
    int exponent = std::atoi(std::strchr(buf, 'e') + 1);
    // digits[k] is worth 10^(exponent - k); keep those worth at least 10^-decimals.
    int keep = exponent + 1 + decimals;
    std::string kept = keep > 0 ? digits.substr(0, std::min<size_t>(keep, digits.size())) : "";
    if (keep > static_cast<int>(digits.size())) kept.append(keep - digits.size(), '0');
    bool up = keep >= 0 && keep < static_cast<int>(digits.size()) && digits[keep] >= '5';
    if (up) {
        int i = static_cast<int>(kept.size()) - 1;
        for (; i >= 0 && kept[i] == '9'; --i) kept[i] = '0';
        if (i >= 0)
            ++kept[i];
        else
            kept.insert(kept.begin(), '1');
    }
    // kept now holds the value x 10^decimals as a whole number.
    if (static_cast<int>(kept.size()) < decimals + 1)
        kept.insert(0, static_cast<size_t>(decimals + 1 - static_cast<int>(kept.size())), '0');
    std::string intPart = kept.substr(0, kept.size() - decimals);
    std::string fracPart = kept.substr(kept.size() - decimals);
    size_t nz = intPart.find_first_not_of('0');
    intPart = nz == std::string::npos ? "" : intPart.substr(nz);
    if (static_cast<int>(intPart.size()) < forced)
        intPart.insert(0, static_cast<size_t>(forced) - intPart.size(), '0');
    bool zero = kept.find_first_not_of('0') == std::string::npos;
    std::string out = (value < 0 && !zero ? "-" : "") + intPart;
    if (point != std::string_view::npos) out += "." + fracPart;
    return out;
}

std::string ScoreText() {
    using modCount::Score;
    const Long player = modBMSLoad::Player;
    if (player == 1 || player == 3)
        return NoteCount[0] != 0 ? Points(Score[0].Points, NoteCount[0]) + "/0" : "0/0";
    return (NoteCount[1] != 0 ? Points(Score[0].Points, NoteCount[1]) : "0") + "/" +
           (NoteCount[2] != 0 ? Points(Score[1].Points, NoteCount[2]) : "0");
}

std::string TimeText() {
    // Whole seconds; the total alone decides which units both halves show.
    const int64_t e = static_cast<int64_t>(vb::Int(modCount::PlayTime.ToDouble() * 0.001));
    const int64_t t = static_cast<int64_t>(vb::Int(modBMSLoad::TotalTime.ToDouble() * 0.001));
    constexpr int64_t kHour = 3600, kDay = 86400, kYear = 31536000;
    auto pad = [](int64_t v) { return ZeroPad(static_cast<Long>(v), 2); };
    std::string s = pad(e / 60 % 60) + ":" + pad(e % 60);
    if (t / kHour > 0) s = pad(e / kHour % 24) + ":" + s;
    if (t / kDay > 0) s = Str(e / kDay % 365) + "d" + s;
    if (t / kYear > 0) s = Str(e / kYear) + "y" + s;
    s += "/";
    if (t / kYear > 0) s += Str(t / kYear) + "y";
    if (t / kDay > 0) s += Str(t / kDay % 365) + "d";
    if (t / kHour > 0) s += pad(t / kHour % 24) + ":";
    return s + pad(t / 60 % 60) + ":" + pad(t % 60);
}

std::vector<PanelLine> InfoPanelLines() {
    using namespace modBMSLoad;
    const auto& set = Settings;
    std::vector<PanelLine> lines;
    auto add = [&](Long y, std::string text) { lines.push_back({332, y, std::move(text)}); };

    add(2, "[BMS Info]");
    add(14, "BPM   :" + Str(static_cast<double>(Bpm) * set.Frequency * 0.01) +
                (modCount::StopRemain != vb::Currency{} ? "(STOP)" : ""));
    add(26, "Level :" + Str(PlayLevel));
    add(38, "Rank  :" + Named(Rank, {{0, "VERY HARD"}, {1, "HARD"}, {2, "NORMAL"}, {3, "EASY"}}));
    add(50, "Notes :" + (Player == 1 ? Str(NoteCount[0])
                                     : Str(NoteCount[0]) + "(" + Str(NoteCount[1]) + "+" +
                                           Str(NoteCount[2]) + ")"));
    if (!RandomText.empty()) add(62, "Random:" + FromSecondChar(RandomText));
    add(74, "[Option]");
    const vb::Single whole = static_cast<vb::Single>(vb::Int(set.HS));
    add(86, "1,2:HiSpeed    :" + Str(whole) + Fmt(set.HS - whole, ".00", true));
    auto speed = [](Long f) { return Str(vb::Int(f * 0.01)) + "." + Fmt(f % 100, "00"); };
    add(98, "3,4:RealHS     :" + speed(set.Frequency) + "/" + speed(set.MaxFrequency));
    add(110, " 5 :BGA        :" + Named(set.BGA, {{0, "OFF"},
                                                  {1, "BASE ONLY"},
                                                  {2, "LAYER ONLY"},
                                                  {3, "NORMAL"},
                                                  {4, "ALWAYS MISS"}}));
    add(122, " 6 :Effect     :" +
                 Named(set.Effect, {{0, "NONE"}, {1, "LIGHT"}, {3, "MIDDLE"}, {7, "HEAVY"}}));
    add(134, " 7 :AlwaysOnTop:" + TrueFalse(set.AlwaysOnTop));
    add(146,
        " 8 :Scratch    :" + Named(set.SkinType, {{0, "L/R"}, {1, "R/R"}, {2, "L/L"}, {3, "R/L"}}));
    add(158, " 9 :Information:TRUE");
    add(170, " 0 :PAUSE      :" + TrueFalse(modMain::PlayState == modMain::PS_PAUSE));
    lines.push_back({336, 182, "F1"});
    const char* autoPlay = Pick(set.AutoPlay, {{1, "BGM ONLY"}, {2, "KEY ONLY"}, {3, "KEY&BGM"}});
    lines.push_back({356, 182, std::string(":AutoPlay   :") + (autoPlay ? autoPlay : "")});
    if (set.Volume != 100) add(194, "ini:Volume     :" + Fmt(set.Volume, "##0.0", true) + "%");
    return lines;
}

std::vector<PanelLine> DebugPanelLines() {
    using namespace modBMSLoad;
    using modCount::Score;
    using modMain::StageAverage;
    std::vector<PanelLine> lines;
    auto add = [&](Long y, std::string text) { lines.push_back({332, y, std::move(text)}); };
    auto both = [](Long a, Long b) { return Str(a) + "/" + Str(b); };

    add(2, "[DEBUG]");
    add(14, "SCORE   :" + ScoreText());
    const char* names[5] = {"PERFECT :", "GREAT   :", "GOOD    :", "BAD     :", "POOR    :"};
    for (int j = 0; j < 5; ++j)
        add(26 + 12 * j, names[j] + both(Score[0].JudgeCount[j], Score[1].JudgeCount[j]));
    add(86, "MAXCOMBO:" + both(Score[0].MaxCombo, Score[1].MaxCombo));
    add(110, "TIME :" + Str(Floor(modCount::PlayTime)) + "/" + Str(Floor(TotalTime)));
    add(122, "POS  :" + Str(Floor(modCount::PlayPos)) + "/" + Str(Floor(BarLine[MaxMeasure].Pos)));
    add(134, "WAIT :" + Str(Floor(modCount::StopRemain)));
    add(146, "OBJ  :" + Str(modCount::FirstObj) + "/" + Str(static_cast<int64_t>(Obj.UBound())));
    add(170, "Load :" + Str(LoadTime));
    const char* stages[5] = {"All  :", "Key  :", "Count:", "Sound:", "Draw :"};
    for (int k = 1; k <= 4; ++k) add(170 + 12 * k, stages[k] + Str(StageAverage[k]));
    add(230, stages[0] + Str(StageAverage[0]));
    add(242, "FPS  :" + Fmt(modMain::Fps, "0.00", true) + "(" +
                 (modMain::Settings.VSYNC ? "VSYNC" : "Timer") + ")");
    return lines;
}

}  // namespace modDraw
