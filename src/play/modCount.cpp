// The play clock's frame step and its state.
#include "play/modCount.h"

#include "base/program.h"
#include "base/report.h"
#include "base/stage_timing.h"
#include "chart/modBMSLoad.h"
#include "platform/platform.h"
#include "sound/modSound.h"

namespace modCount {

Currency PlayTime, PlayPos, StopRemain;
Long StartTime = 0, ElapsedTime = 0, LastTime = 0, FrameCount = 0, FirstObj = 0, CurrentMeasure = 0;
Long BGABase = 0, BGALayer = 0, BGAPoor = 0;
Currency BGABaseSince, BGALayerSince, BGAPoorSince;
Long LateSounds = 0, SoundWaits = 0;
vb::Array<bool, 0, 20> LaneFlash;
vb::Array<Long, 0, 20> LaneFlashTime;
vb::Array<BombState, 0, 20> Bomb;
vb::Array<PlayerScore, 0, 1> Score;

namespace {

// A chart load, with its sounds decoded on worker threads while the file is read and then ahead
// of the play clock.
void LoadChart() {
    modSound::BeginLoads();
    modBMSLoad::LoadBMS();
}

}  // namespace

void CountMain() {
    try {
        modMain::StageMark(2, plat::Now());
        if (modMain::PlayState != modMain::PS_PAUSE) {
            ElapsedTime = vb::ClockDiff(plat::Now(), StartTime);
            FrameCount = vb::AddL(FrameCount, 1);
        }
        if (modMain::PlayState == modMain::PS_LOAD)
            LoadChart();
        else if (modMain::PlayState == modMain::PS_PLAY)
            CountPlay();
        modMain::StageMark(2, plat::Now());
    } catch (const vb::Error& e) {
        modMain::Report(e, "CountMain");
    }
}

void ShowBga(Integer channel, Long id, const Currency& at) {
    switch (channel) {
        case modBMSLoad::CH_BGA_BASE:
            BGABase = id;
            BGABaseSince = at;
            break;
        case modBMSLoad::CH_BGA_LAYER:
            BGALayer = id;
            BGALayerSince = at;
            break;
        case modBMSLoad::CH_BGA_POOR:
            BGAPoor = id;
            BGAPoorSince = at;
            break;
        default:
            break;
    }
}

void Reset() {
    PlayTime = PlayPos = StopRemain = Currency();
    StartTime = ElapsedTime = LastTime = FrameCount = FirstObj = CurrentMeasure = 0;
    BGABase = BGALayer = BGAPoor = 0;
    BGABaseSince = BGALayerSince = BGAPoorSince = Currency();
    LateSounds = SoundWaits = 0;
    LaneFlash.Fill(false);
    LaneFlashTime.Fill(0);
    Bomb.Fill(BombState{});
    Score.Fill(PlayerScore{});
}

}  // namespace modCount
