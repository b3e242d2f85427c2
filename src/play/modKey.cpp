#include "play/modKey.h"

#include "chart/modBMSLoad.h"
#include "platform/platform.h"
#include "play/modCount.h"
#include "shell/modMain.h"
#include "sound/modSound.h"

namespace modKey {

vb::Array<Long, 0, 255> KeyState;
vb::Array<Long, 0, 255> KeyPressTime;
vb::Array<Long, 0, 255> KeyRepeat;
Integer LaneX1POdd = 34, LaneX1PEven = 53, LaneX1PScratch = 1;
Integer LaneX2POdd = 174, LaneX2PEven = 193, LaneX2PScratch = 298;
Long PauseStart = 0;

void Reset() {
    KeyState.Fill(0);
    KeyPressTime.Fill(0);
    KeyRepeat.Fill(250);
    LaneX1POdd = 34, LaneX1PEven = 53, LaneX1PScratch = 1;
    LaneX2POdd = 174, LaneX2PEven = 193, LaneX2PScratch = 298;
    PauseStart = 0;
}

void SetScratchLayout() {
    struct Layout {
        Integer odd1, even1, scratch1, odd2, even2, scratch2;
    };
    static constexpr Layout kLayouts[4] = {
        {34, 53, 1, 174, 193, 298},    // L/R
        {1, 20, 125, 174, 193, 298},   // R/R
        {34, 53, 1, 207, 226, 174},    // L/L
        {1, 20, 125, 207, 226, 174},   // R/L
    };
    Long t = modMain::Settings.SkinType;
    if (t < 0 || t > 3) return;
    const Layout& l = kLayouts[t];
    LaneX1POdd = l.odd1, LaneX1PEven = l.even1, LaneX1PScratch = l.scratch1;
    LaneX2POdd = l.odd2, LaneX2PEven = l.even2, LaneX2PScratch = l.scratch2;
}

void PlayPause() {
    if (modMain::PlayState != modMain::PS_PLAY) return;
    PauseStart = plat::Now();
    modMain::PlayState = modMain::PS_PAUSE;
    modSound::SoundPause();
}

void PlayResume() {
    if (modMain::PlayState != modMain::PS_PAUSE) return;
    modMain::PlayState = modMain::PS_PLAY;
    Long d = vb::ClockDiff(plat::Now(), PauseStart);
    modCount::StartTime = vb::ClockAdd(modCount::StartTime, d);
    modCount::LastTime = vb::ClockAdd(modCount::LastTime, d);
    modSound::SoundResume();
}

void KeyMain() {}
void KeyRepeatCheck(Integer, Single, Long) {}

}  // namespace modKey
