#include "play/modKey.h"

#include "base/program.h"
#include "base/report.h"
#include "base/settings_record.h"
#include "base/stage_timing.h"
#include "chart/modBMSLoad.h"
#include "platform/platform.h"
#include "play/modCount.h"
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
        {34, 53, 1, 174, 193, 298},   // L/R
        {1, 20, 125, 174, 193, 298},  // R/R
        {34, 53, 1, 207, 226, 174},   // L/L
        {1, 20, 125, 207, 226, 174},  // R/L
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

namespace {

using modMain::Settings;
using plat::vk::Digit0;

bool IsPressed(int vk) {
    return KeyState[vk] == 2;
}
bool IsDown(int vk) {
    return KeyState[vk] != 0;
}

void SampleKeyboard() {
    for (int vk = 0; vk <= 255; ++vk) {
        if (!plat::Dev().KeyDown(vk)) {
            KeyState[vk] = 0;
            KeyRepeat[vk] = 250;
        } else if (KeyState[vk] == 0) {
            KeyState[vk] = 2;
            KeyPressTime[vk] = plat::Now();
        } else {
            KeyState[vk] = 1;
        }
    }
}

// Only the first seek key that applies acts in a frame.
void SeekKeys() {
    using namespace plat::vk;
    Long m = modCount::CurrentMeasure;
    if (IsPressed(Home))
        modBMSLoad::SeekBMS(0);
    else if (IsPressed(End))
        modBMSLoad::SeekBMS(modBMSLoad::MaxMeasure);
    else if (IsPressed(PageDown))
        modBMSLoad::SeekBMS(vb::CInt(m + 4.0));
    else if (IsPressed(Down))
        modBMSLoad::SeekBMS(vb::CInt(m + 1.0));
    else if (IsPressed(PageUp))
        modBMSLoad::SeekBMS(vb::CInt(m - 4.0));
    else if (IsPressed(Up))
        modBMSLoad::SeekBMS(vb::CInt(m - 1.0));
}

// Keys 1 and 2: scroll speed on a 0.25 grid; both held walk it back to 1.0.
void HiSpeedKeys() {
    const int k1 = Digit0 + 1, k2 = Digit0 + 2;
    Single& hs = Settings.HS;
    if (IsDown(k1) && IsDown(k2)) {
        if (hs > 1.0f)
            hs = static_cast<Single>(hs - 0.25);
        else if (hs < 1.0f)
            hs = static_cast<Single>(hs + 0.25);
        else
            KeyRepeat[k1] = KeyRepeat[k2] = 250;
    } else if (IsPressed(k2)) {
        hs = static_cast<Single>(vb::Int((hs + 0.25) * 4) * 0.25);
    } else if (IsPressed(k1) && hs > 0.25f) {
        hs = static_cast<Single>(vb::Int((hs - 0.25) * 4) * 0.25);
    }
}

// Keys 3 and 4: playback speed in steps of 5 %; both held walk it back to 100 %.
void FrequencyKeys() {
    const int k3 = Digit0 + 3, k4 = Digit0 + 4;
    Long& f = Settings.Frequency;
    if (IsDown(k3) && IsDown(k4)) {
        if (f == 100) {
            KeyRepeat[k3] = KeyRepeat[k4] = 250;
            return;
        }
        f += f > 100 ? -5 : 5;
        modSound::ChangeFrequency();
    } else if (IsPressed(k4) && f < Settings.MaxFrequency) {
        f = vb::AddL(f, 5);
        modSound::ChangeFrequency();
    } else if (IsPressed(k3) && f > 25) {
        f -= 5;
        modSound::ChangeFrequency();
    }
}

void OptionKeys() {
    // A value read from krv.ini can sit at the top of the Long range: the step is checked.
    if (IsPressed(Digit0 + 5)) {
        Settings.BGA = vb::AddL(Settings.BGA, 1);
        if (Settings.BGA > 4) Settings.BGA = 0;
    }
    if (IsPressed(Digit0 + 6)) {
        Settings.Effect = vb::AddL(vb::MulL(Settings.Effect, 2), 1);
        if (Settings.Effect > 7) Settings.Effect = 0;
    }
    if (IsPressed(Digit0 + 7)) {
        Settings.AlwaysOnTop = !Settings.AlwaysOnTop;
        plat::Dev().SetAlwaysOnTop(Settings.AlwaysOnTop);
    }
    if (IsPressed(Digit0 + 8)) {
        Settings.SkinType = vb::AddL(Settings.SkinType, 1);
        if (Settings.SkinType > 3) Settings.SkinType = 0;
        SetScratchLayout();
    }
    if (IsPressed(Digit0 + 9)) Settings.DispInfo = !Settings.DispInfo;
    if (IsPressed(Digit0)) {
        if (modMain::PlayState == modMain::PS_PLAY)
            PlayPause();
        else if (modMain::PlayState == modMain::PS_PAUSE)
            PlayResume();
    }
    if (IsPressed(plat::vk::F1)) {
        Long& a = Settings.AutoPlay;
        a = a == 1 ? 3 : a == 3 ? 2 : a == 2 ? 1 : a > 3 ? 1 : a;
        modSound::ChangeVolume();
    }
}

// Holding Space for half a second reloads the chart, once per hold.
void ReloadKey() {
    const int sp = plat::vk::Space;
    if (KeyState[sp] == 1 && KeyPressTime[sp] > 0 &&
        vb::ClockDiff(plat::Now(), KeyPressTime[sp]) >= 500) {
        if (!modBMSLoad::BMSFileName.empty()) modMain::PlayState = modMain::PS_LOAD;
        KeyState[sp] = 1;
        KeyPressTime[sp] = -1;
    }
}

void Commands() {
    SeekKeys();
    HiSpeedKeys();
    FrequencyKeys();
    OptionKeys();
    ReloadKey();
    if (IsPressed(plat::vk::Ctrl) && Settings.DispInfo) Settings.ShowDebug = !Settings.ShowDebug;
    if (IsDown(plat::vk::Escape)) modMain::ShutDown(0, "", "");
    using namespace plat::vk;
    for (int k : {Digit0 + 1, Digit0 + 2, Digit0 + 3, Digit0 + 4, PageDown, PageUp, Down, Up})
        KeyRepeatCheck(static_cast<Integer>(k), 1.3f, 50);
}

}  // namespace

void KeyMain() {
    try {
        modMain::StageMark(1, plat::Now());
        // Keys belong to whichever window has the focus; ours only acts while it has it.
        if (plat::Dev().IsActive()) {
            SampleKeyboard();
            Commands();
        }
        modMain::StageMark(1, plat::Now());
    } catch (const vb::Error& e) {
        modMain::Report(e, "KeyMain");
    }
}

void KeyRepeatCheck(Integer vk, Single factor, Long minimum) {
    if (vb::ClockDiff(plat::Now(), KeyPressTime[vk]) >= KeyRepeat[vk] && KeyState[vk] != 0) {
        KeyState[vk] = 0;
        KeyRepeat[vk] = vb::CLng(KeyRepeat[vk] / static_cast<double>(factor));
        if (KeyRepeat[vk] < minimum) KeyRepeat[vk] = minimum;
    }
}

}  // namespace modKey
