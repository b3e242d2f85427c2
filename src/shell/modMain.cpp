#include "shell/modMain.h"

#include "shell/frmMain.h"
#include "shell/settings.h"

namespace modMain {

std::string AppPath;
bool UseInstanceHandOver = true;

Integer FpsFrames = 1;
Long FpsTime = 0;
Integer FramePeriod = 16;
Long LastFrameEnd = 0;
bool LastFrameEndKnown = false;

bool VideoOpen = false, AudioOpen = false;

void Reset() {
    InstallHooks();
    PlayState = PS_IDLE;
    Settings = SettingsRecord{};
    AppTitle.clear();
    AppPath.clear();
    UseInstanceHandOver = true;
    UseSettingsFile = true;
    ConfigRetry = 0;
    IniWriteFailure.clear();
    IniRefused = false;
    WindowX = WindowY = 0;
    ShuttingDown = false;
    Fps = 1.0f;
    FpsFrames = 1;
    FpsTime = 0;
    StageTime.Fill(0);
    StageAverage.Fill(0);
    FillSineTable();
    FramePeriod = 16;
    LastFrameEnd = 0;
    LastFrameEndKnown = false;
    VideoOpen = AudioOpen = false;
    frmMain::Reset();
}

}  // namespace modMain
