// The options every module reads. shell/settings.h reads them from krv.ini and writes them back.
#pragma once

#include "base/vb.h"

namespace modMain {

struct SettingsRecord {
    bool VSYNC = false;
    vb::Integer FrameRate = 60;
    bool SinglePlay = false;
    vb::Single HS = 1.0f;
    vb::Long Frequency = 100;
    vb::Long MaxFrequency = 200;
    vb::Long BGA = 3;
    vb::Long Effect = 3;
    vb::Long SkinType = 0;
    bool AlwaysOnTop = false;
    bool DispInfo = false;
    bool ShowDebug = false;
    vb::Long AutoPlay = 3;
    vb::Single Volume = 100.0f;
};
extern SettingsRecord Settings;

}  // namespace modMain
