#include <cstdio>
#include <exception>

#include "chart/modBMSLoad.h"
#include "display/surfaces.h"
#include "platform/platform.h"
#include "play/modKey.h"
#include "shell/cmdline.h"
#include "shell/frmMain.h"
#include "shell/modMain.h"
#include "shell/settings.h"

namespace modMain {

namespace {

std::string SkinPath(int i) {
    char name[32];
    std::snprintf(name, sizeof name, "image/skin_%02X.png", i);
    return AppPath + name;
}

void ResetFrameTiming() {
    FpsTime = plat::Now();
    StageTime.Fill(0);
    Fps = 1.0f;
    FpsFrames = 1;
}

void ResetChartValues() {
    modBMSLoad::Obj.ReDim(256);
    modBMSLoad::Player = 1;
    modBMSLoad::Bpm = 130.0f;
    modBMSLoad::BaseBpm = 130.0f;
    modBMSLoad::Rank = 3;
    modBMSLoad::VolWav = 1.0f;
}

void LoadSkins() {
    using modDraw::FontSurface;
    using modDraw::Skin;
    FontSurface.init(AppPath + "image/font.png", false);
    for (int i = 0; i <= 3; ++i) Skin[i].init(SkinPath(i), false);
}

}  // namespace

// The window is made first, as every later step (settings, font, caption) acts on it; a window
// that cannot be made is reported where the drawing side is set up, after the settings were read,
// so the report still writes them back unchanged.
void StartUp() {
    InstallHooks();
    try {
        AppTitle = "Korvane " + std::to_string(kVersionMajor) + "." +
                   std::to_string(kVersionMinor) + "." + std::to_string(kVersionRevision);
        if (AppPath.empty()) AppPath = plat::ExeDir();
        if (AppPath.back() != '/') AppPath += '/';
        // Said before a hand-over too, so the user of a second start hears it.
        ReportUnopenableCharts(vb::Trim(plat::CommandLine()));
        if (UseInstanceHandOver) {
            // A running instance took our command line: end before touching anything.
            if (modMessage::FindPrevInstance()) plat::ExitProcess(0);
            plat::ListenForInstances();
        }
        // Someone waits for the window: its fonts are found while it, the settings and the
        // chart are made. (A render looks for them when a title needs them, if ever.)
        if (!plat::Dev().ClockIsVirtual()) plat::PrepareFonts();
        VideoOpen = plat::Dev().OpenVideo(kScreenWidth, kScreenHeight);
        frmMain::Form_Load();
        ResetChartValues();
        modKey::Reset();  // every key up, with its repeat delay; LoadConfig then sets the lanes
        ResetFrameTiming();
        FillSineTable();
        LoadConfig();
        ApplyMediaBudget();
        if (!VideoOpen) ShutDown(-2, "DirectDraw init failed.", "StartUp");
        plat::Dev().SetVsync(Settings.VSYNC);
        modDraw::BackBuffer.pixels.assign(modDraw::BackBuffer.pixels.size(), 0);
        LoadSkins();
        AudioOpen = plat::Dev().OpenAudio();
        if (!AudioOpen) ShutDown(-3, "DirectSound init failed.", "StartUp");
        Settings.FrameRate = vb::CInt(GetRefreshRate());
        ReadCmdLine(vb::Trim(plat::CommandLine()));
        plat::Dev().ShowWindow();
        plat::Dev().WaitVBlank();  // the first frame starts at a vertical blank
    } catch (const vb::Error& e) {
        Report(e, "StartUp");
    }
}

Long GetRefreshRate() {
    try {
        int hz = plat::Dev().RefreshRate();
        return hz < 60 ? 60 : hz;
    } catch (const std::exception&) {
        return 60;
    }
}

}  // namespace modMain
