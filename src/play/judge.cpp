// Judging a fired note by its lateness, and the lane light and explosion that go with it.
#include <cmath>

#include "base/settings_record.h"
#include "chart/modBMSLoad.h"
#include "play/modCount.h"

namespace modCount {

namespace {

// Window factors by #RANK: PERFECT and GREAT scale with the first, GOOD and BAD with the second.
struct RankFactors {
    double rank;
    double bad;
};

RankFactors FactorsOf(Long rank) {
    switch (rank) {
        case 0:
            return {1.0, 0.8};
        case 1:
            return {1.6, 1.0};
        case 2:
            return {2.5, 1.0};
        default:
            return {4.0, 1.0};
    }
}

constexpr Long kPoints[5] = {5, 5, 1, 0, 0};

}  // namespace

void SetBomb(Integer channel, Long kind, Long objectKind) {
    Integer i = vb::CInt(channel - 10.0);
    LaneFlash[i] = true;
    LaneFlashTime[i] = ElapsedTime;
    BombState& b = Bomb[i];
    b.Active = true;
    b.Kind = kind;
    b.IsLongStart = objectKind == modBMSLoad::KIND_LN_START;
    b.BombTime = ElapsedTime;
}

void JudgeNote(Integer channel, Single lateness) {
    auto side = static_cast<Integer>(vb::CInt(channel - 10.0) % 20 / 10);
    RankFactors f = FactorsOf(modBMSLoad::Rank);
    const double frequency = modMain::Settings.Frequency;
    auto a = static_cast<Single>(frequency * f.rank * 0.01);
    auto b = static_cast<Single>(frequency * f.bad * 0.01);
    Single d = std::fabs(lateness);
    PlayerScore& shown = Score[side];
    shown.JudgeVisible = true;
    shown.JudgeTime = ElapsedTime;

    Long code;
    if (d <= 10 * a) {
        code = 0;
        SetBomb(channel, 0, modBMSLoad::KIND_NORMAL);
    } else if (d <= 20 * a) {
        code = 1;
        SetBomb(channel, 1, modBMSLoad::KIND_NORMAL);
    } else if (d <= 50 * b) {
        code = 2;
    } else if (d <= 60 * b) {
        code = 3;
    } else {
        code = 4;
    }
    shown.Judge = code;

    // One record serves both sides unless the chart is a two-player (battle) chart.
    Long player = modBMSLoad::Player;
    PlayerScore& r = player == 2 || player == 4 ? Score[side] : Score[0];
    if (code >= 3) r.Combo = 0;
    r.Combo = vb::AddL(r.Combo, 1);
    shown.ShownCombo = r.Combo;
    if (r.Combo > r.MaxCombo) r.MaxCombo = r.Combo;
    r.Points = vb::AddL(r.Points, kPoints[code]);
    r.JudgeCount[code] = vb::AddL(r.JudgeCount[code], 1);
}

}  // namespace modCount
