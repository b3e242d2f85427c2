// The play field: lane frames, beams, bar lines, notes and long notes, key-down sprites, bombs,
// judgement words with combo numbers, the progress gauge and the separator strip.
#include <string>

#include "base/helpers.h"
#include "base/report.h"
#include "base/settings_record.h"
#include "chart/modBMSLoad.h"
#include "display/draw_internal.h"
#include "display/modDraw.h"
#include "play/modCount.h"
#include "play/modKey.h"

namespace modDraw {

using modMain::Settings;
using vb::CLng;
using vb::Long;

namespace {

enum class Lane { None, Odd, Even, Scratch };

// Skin(0): the frame.
constexpr RECT kAreaScratchLeft{0, 0, 158, 224}, kAreaScratchRight{173, 0, 331, 224};
constexpr RECT kPanelScratchLeft{0, 224, 158, 256}, kPanelScratchRight{173, 224, 331, 256};
constexpr RECT kStrip{158, 0, 173, 256};
// Skin(1): beams, note columns (left, right) and key-down sprites, by lane kind.
constexpr RECT kBeam[4] = {{}, {17, 1, 35, 220}, {1, 1, 16, 220}, {36, 1, 68, 220}};
constexpr Long kColumnLeft[4] = {0, 69, 88, 104}, kColumnRight[4] = {0, 87, 103, 136};
constexpr RECT kKeyDown[4] = {{}, {69, 139, 82, 159}, {83, 139, 95, 159}, {96, 139, 124, 167}};
// Skin(2): gauge, bar line, words and digits.
constexpr RECT kGauge{1, 1, 8, 241};
constexpr RECT kBarLine{1, 242, 157, 243};
constexpr Long kWordLeft = 9, kWordWidth = 81, kGlyphHeight = 14;
constexpr Long kWordTop[5] = {106, 181, 196, 211, 226};  // PERFECT frame 0, GREAT .. POOR
constexpr Long kDigitTop[3] = {1, 76, 91};               // PERFECT frame 0, GREAT, GOOD

constexpr Long kJudgeRow = 222;  // the judgement line: a note at PlayPos covers rows 218 to 222

Lane LaneOf(Long channel) {
    if ((channel >= 11 && channel <= 17) || (channel >= 21 && channel <= 27))
        return channel % 2 ? Lane::Odd : Lane::Even;
    if (channel == 18 || channel == 28) return Lane::Scratch;
    return Lane::None;
}

int Index(Lane lane) {
    return static_cast<int>(lane);
}

bool IsFirstSide(Long channel) {
    return channel < 20;
}

// Pixels between a chart position and the judgement line at the current scroll speed.
double Above(vb::Currency pos) {
    return (pos - modCount::PlayPos).ToDouble() * Settings.HS;
}

}  // namespace

Long LaneX(Long channel) {
    using namespace modKey;
    const bool first = channel < 20;
    const Long base = first ? 11 : 21;  // key 1 of the side
    switch (LaneOf(channel)) {
        case Lane::Odd:
            return (channel - base) / 2 * 35 + (first ? LaneX1POdd : LaneX2POdd);
        case Lane::Even:
            return (channel - base - 1) / 2 * 35 + (first ? LaneX1PEven : LaneX2PEven);
        case Lane::Scratch:
            return first ? LaneX1PScratch : LaneX2PScratch;
        default:
            return 0;
    }
}

namespace detail {

void DrawLaneAreas() {
    const Long type = Settings.SkinType;
    Skin[0].drawFast(BackBuffer, 0, 0, (type & 1) ? kAreaScratchRight : kAreaScratchLeft);
    Skin[0].drawFast(BackBuffer, 173, 0, (type & 2) ? kAreaScratchLeft : kAreaScratchRight);
}

void DrawBottomPanels() {
    const Long type = Settings.SkinType;
    Skin[0].drawFast(BackBuffer, 0, 224, (type & 1) ? kPanelScratchRight : kPanelScratchLeft);
    Skin[0].drawFast(BackBuffer, 173, 224, (type & 2) ? kPanelScratchLeft : kPanelScratchRight);
}

void DrawGauge() {
    using modBMSLoad::TotalTime;
    using modCount::PlayTime;
    if (!(PlayTime < TotalTime)) return;
    Skin[2].drawFast(BackBuffer, 162, 7, kGauge);
    // The gauge empties from the top as the chart advances.
    FillBlack(MakeRect(162, 7, 7, CLng(PlayTime.ToDouble() / TotalTime.ToDouble() * 240)));
}

void DrawStrip() {
    Skin[0].drawFast(BackBuffer, 158, 0, kStrip);
}

}  // namespace detail

void DrawLaneFlash() {
    if (!(Settings.Effect & 4)) return;
    for (Long c = 10; c <= 30; ++c) {
        Lane lane = LaneOf(c);
        if (modCount::LaneFlash[c - 10] && lane != Lane::None)
            Skin[1].drawFast(BackBuffer, LaneX(c), 0, kBeam[Index(lane)]);
    }
}

void DrawPlay() {
    using modBMSLoad::BarLine;
    using modBMSLoad::Obj;
    // Errors are ignored element by element: what cannot be drawn is skipped.
    detail::BgaStep();

    for (Long m = modCount::CurrentMeasure; m <= modBMSLoad::MaxMeasure; ++m) {
        double d;
        try {
            d = Above(BarLine[m].Pos);
        } catch (const vb::Error&) {
            break;  // no such measure: nothing further up either
        }
        if (225 - d < 0) break;
        try {
            Long y = CLng(kJudgeRow - d);
            Skin[2].drawFast(BackBuffer, 1, y, kBarLine);
            Skin[2].drawFast(BackBuffer, 174, y, kBarLine);
        } catch (const vb::Error&) {
        }
    }

    const Long last = Obj.UBound();
    for (Long i = modCount::FirstObj; i <= last; ++i) {
        const modBMSLoad::ObjRecord* o;
        double d;
        try {
            o = &Obj[i];
            d = Above(o->Pos);
        } catch (const vb::Error&) {
            break;
        }
        if (225 - d < 0) break;
        if (o->Enabled && o->Channel >= 11 && o->Channel <= 29 &&
            o->Kind != modBMSLoad::KIND_INVISIBLE) {
            try {
                DrawObj(o->Channel, o->Kind, static_cast<vb::Single>(o->Pos.ToDouble()), o->Link);
            } catch (const vb::Error&) {
            }
        }
    }
}

void DrawObj(Long channel, Long kind, vb::Single pos, Long link) {
    using namespace modBMSLoad;
    try {
        const Lane lane = LaneOf(channel);
        const Long x = LaneX(channel);
        const vb::Currency at = vb::Currency::FromDouble(pos);
        const Long y = CLng(218 - Above(at));
        const vb::Currency playPos = modCount::PlayPos;
        const Long f = CLng(playPos.ToDouble()) / 24;  // long-note frames change every 24 ticks
        Long t = 0, length = 0;
        switch (kind) {
            case KIND_NORMAL:
                t = (CLng(vb::Int(playPos.ToDouble() / 4.8)) & 7) * 6 + 1;
                break;
            case KIND_LN_START:
                DrawObj(channel, KIND_LN_HELD, pos, link);
                t = (f & 3) * 6 + 97;
                break;
            case KIND_LN_HELD:
                length = CLng((Obj[link].Pos.ToDouble() - static_cast<double>(pos)) * Settings.HS);
                t = (f & 3) * 6 + 73;
                break;
            case KIND_LN_END:
                t = (f & 3) * 6 + 49;
                break;
            default:
                break;
        }
        const int k = Index(lane);
        RECT src{kColumnLeft[k], t, kColumnRight[k], t + 5};
        if (length != 0) {
            // Five rows stretched over the whole body, from the end note down to the start.
            RECT dest = MakeRect(x, vb::SubL(y, length), kColumnRight[k] - kColumnLeft[k], length);
            Skin[1].drawStretch(BackBuffer, dest, src);
        } else {
            Skin[1].draw(BackBuffer, x, y, src);
        }
    } catch (const vb::Error& e) {
        modMain::Report(e, "DrawObj");
    }
}

void DrawKeyDown() {
    const Long type = Settings.SkinType;
    const bool effect = Settings.Effect & 4;
    for (Long c = 10; c <= 30; ++c) {
        if (!modCount::LaneFlash[c - 10]) continue;
        const Lane lane = LaneOf(c);
        if (effect && lane != Lane::None) {
            const bool first = IsFirstSide(c);
            const bool flipped = first ? (type & 1) : (type & 2);
            Long offset = 2, y = 226;
            if (lane == Lane::Odd) {
                offset = first ? (flipped ? 2 : 3) : (flipped ? 3 : 2);
                y = 233;
            } else if (lane == Lane::Even) {
                offset = first ? (flipped ? 1 : 2) : (flipped ? 2 : 1);
                y = 227;
            }
            Skin[1].drawFast(BackBuffer, LaneX(c) + offset, y, kKeyDown[Index(lane)]);
        }
        if (vb::SubL(modCount::ElapsedTime, modCount::LaneFlashTime[c - 10]) > 50)
            modCount::LaneFlash[c - 10] = false;
    }
}

void DrawBomb() {
    using modCount::Bomb;
    using modCount::ElapsedTime;
    try {
        for (Long c = 10; c <= 30; ++c) {
            modCount::BombState& b = Bomb[c - 10];
            if (!b.Active) continue;
            const Long age = vb::SubL(ElapsedTime, b.BombTime);
            const Lane lane = LaneOf(c);
            if ((Settings.Effect & 2) && lane != Lane::None) {
                const Long k = (age / 20) % 6;  // a frame every 20 ms
                RECT src{};
                if (b.IsLongStart)
                    src = RECT{163, 1 + 64 * k, 227, 65 + 64 * k};
                else if (b.Kind == 0)
                    src = RECT{66, 1 + 96 * k, 162, 97 + 96 * k};
                else if (b.Kind == 1)
                    src = RECT{1, 1 + 64 * k, 65, 65 + 64 * k};
                const Long h = (src.Right - src.Left) / 2;
                const Long centre = lane == Lane::Scratch ? 16 : 8;
                Skin[3].draw(BackBuffer, LaneX(c) + centre - h, kJudgeRow - h, src);
            }
            if (!b.IsLongStart && age >= 120) b.Active = false;
        }
    } catch (const vb::Error& e) {
        modMain::Report(e, "DrawBomb");
    }
}

namespace {

bool BlinkShows(Long judge) {
    return judge == 0 || (modCount::FrameCount / 2) % 2 == 0;
}

void DrawWord(const modCount::PlayerScore& s, Long x, Long dt) {
    using modCount::ElapsedTime;
    if (s.Judge < 0 || s.Judge > 4) return;
    Long top = s.Judge == 0 ? kWordTop[0] + (ElapsedTime / 50) % 5 * 15 : kWordTop[s.Judge];
    RECT src{kWordLeft, top, kWordLeft + kWordWidth, top + kGlyphHeight};
    if (dt >= 90) {
        Skin[2].draw(BackBuffer, x, 159, src);
    } else {
        // Pop-in: 21 rows high shrinking to 14, centred on row 166.
        double c = modMain::CosDeg(dt);
        RECT dest = MakeRect(x, CLng(159 - c * 3.5), kWordWidth, CLng(c * 7 + 14));
        Skin[2].drawStretch(BackBuffer, dest, src);
    }
}

void DrawCombo(const modCount::PlayerScore& s, const std::string& digits, Long x, Long dt) {
    using modCount::ElapsedTime;
    const Long top = s.Judge == 0 ? kDigitTop[0] + (ElapsedTime / 50) % 5 * 15 : kDigitTop[s.Judge];
    const Long x0 = x + kWordWidth - 7;
    for (Long k = 1; k <= static_cast<Long>(digits.size()); ++k) {
        const char ch = digits[static_cast<size_t>(k - 1)];
        if (ch < '0' || ch > '9') continue;
        const Long d = ch - '0';
        // Neighbouring digits swing in opposite phase; the swing dies away over 1080 ms.
        const Long y =
            CLng(modMain::SinDeg(vb::AddL(k * 180, ElapsedTime)) * (6 - dt / 180.0) * 0.5 + 159);
        RECT src{9 + 15 * d, top, 24 + 15 * d, top + kGlyphHeight};
        const Long dx = vb::AddL(x0, 15 * k);
        if (dt >= 90) {
            Skin[2].draw(BackBuffer, dx, y, src);
        } else {
            double c = modMain::CosDeg(dt);
            RECT dest = MakeRect(dx, CLng(y - c * 7), 15, CLng(c * 14 + 14));
            Skin[2].drawStretch(BackBuffer, dest, src);
        }
    }
}

}  // namespace

void DrawJudge() {
    for (Long side = 0; side <= 1; ++side) {
        modCount::PlayerScore& s = modCount::Score[side];
        if (!s.JudgeVisible) continue;
        const Long dt = vb::SubL(modCount::ElapsedTime, s.JudgeTime);
        if (dt >= 1080) {
            s.JudgeVisible = false;
            continue;
        }
        if (!(Settings.Effect & 1)) continue;
        const std::string digits = vb::Str(s.ShownCombo);
        const Long n = static_cast<Long>(digits.size());
        Long x = side == 0 ? 35 : 208;
        if (s.ShownCombo != 0) {
            // Word and number centred together; the first digit starts 8 pixels after the word.
            const Long cx = side == 0 ? 119 : 292;
            x = cx - kWordWidth / 2 - (n * 15 + 88) / 2;
        }
        if (!BlinkShows(s.Judge)) continue;
        DrawWord(s, x, dt);
        if (s.Judge >= 0 && s.Judge < 3) DrawCombo(s, digits, x, dt);
    }
}

}  // namespace modDraw
