// The play clock: fires due objects, judges notes and keeps the score.
#pragma once

#include "base/vb.h"

namespace modCount {

using vb::Currency;
using vb::Integer;
using vb::Long;
using vb::Single;

struct BombState {
    bool Active = false;
    Long BombTime = 0;
    Long Kind = 0;  // 0 the PERFECT look, 1 the GREAT look
    bool IsLongStart = false;
};

struct PlayerScore {
    bool JudgeVisible = false;
    Long Judge = 0;  // 0 PERFECT, 1 GREAT, 2 GOOD, 3 BAD, 4 POOR
    Long JudgeTime = 0;
    Long Points = 0;
    vb::Array<Long, 0, 4> JudgeCount;
    Long Combo = 0;
    Long ShownCombo = 0;
    Long MaxCombo = 0;
};

extern Currency PlayTime, PlayPos, StopRemain;
extern Long StartTime, ElapsedTime, LastTime, FrameCount, FirstObj, CurrentMeasure;
extern Long BGABase, BGALayer, BGAPoor;
// The play times of the events that showed them: a video in the slot plays from there.
extern Currency BGABaseSince, BGALayerSince, BGAPoorSince;
// Since the last load: sounds that were due while still being decoded, and the times the play
// clock waited for one (the headless clock does not move while it waits, so it never waits).
extern Long LateSounds, SoundWaits;

extern vb::Array<bool, 0, 20> LaneFlash;
extern vb::Array<Long, 0, 20> LaneFlashTime;
extern vb::Array<BombState, 0, 20> Bomb;
extern vb::Array<PlayerScore, 0, 1> Score;

void CountMain();
// A BGA event of `channel` at play time `at`: its base, layer or poor picture becomes `id`.
void ShowBga(Integer channel, Long id, const Currency& at);
void CountPlay();
void SetBomb(Integer channel, Long kind, Long objectKind);
void JudgeNote(Integer channel, Single lateness);

void Reset();

}  // namespace modCount
