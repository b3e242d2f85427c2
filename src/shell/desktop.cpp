#include "shell/desktop.h"

#include <algorithm>

#include "chart/modBMSLoad.h"
#include "platform/platform.h"
#include "play/modKey.h"
#include "shell/frmMain.h"
#include "shell/modMain.h"
#include "shell/settings.h"
#include "sound/modSound.h"

namespace frmMain {

vb::Long WindowScale = 1;
bool FullScreen = false;
std::string LoadedChart;

namespace {

constexpr vb::Long kMaxScale = 4;
constexpr vb::Long kVolumeStep = 10;
constexpr vb::Long kNoteMs = 1000;

// The caption as it was before the volume note, the caption with the note, and when it came.
struct VolumeNote {
    bool shown = false;
    std::string before, with;
    vb::Long since = 0;
} note;

bool Pressed(int vk) {
    return modKey::KeyState[vk] == 2;
}

bool Fits(vb::Long factor) {
    int w = 0, h = 0;
    plat::Dev().GetUsableArea(w, h);
    return factor == 1 ||
           (modMain::kScreenWidth * factor <= w && modMain::kScreenHeight * factor <= h);
}

void SetScale(vb::Long factor) {
    WindowScale = factor;
    plat::Dev().SetWindowScale(factor);
}

// The next factor that fits, wrapping round to 1x.
void NextScale() {
    vb::Long next = WindowScale + 1;
    SetScale(next <= kMaxScale && Fits(next) ? next : 1);
}

// Names that sort between two charts, or the chart's own name gone meanwhile, still find their
// neighbours: the next is the first name after it, wrapping round.
void StepChart(bool back) {
    if (LoadedChart.empty()) return;
    size_t slash = LoadedChart.rfind('/');
    std::string dir = slash == std::string::npos ? "" : LoadedChart.substr(0, slash + 1);
    std::string name = LoadedChart.substr(dir.size());
    std::vector<std::string> charts = plat::ListCharts(dir);
    if (charts.empty()) return;
    auto before = [&](const std::string& n) { return plat::CompareNatural(n, name) < 0; };
    auto after = [&](const std::string& n) { return plat::CompareNatural(n, name) > 0; };
    std::string chosen;
    if (back) {
        auto it = std::find_if(charts.rbegin(), charts.rend(), before);
        chosen = it != charts.rend() ? *it : charts.back();
    } else {
        auto it = std::find_if(charts.begin(), charts.end(), after);
        chosen = it != charts.end() ? *it : charts.front();
    }
    Form_OLEDragDrop(dir + chosen);
}

void ShowVolume() {
    std::string now = plat::Dev().Caption();
    if (!note.shown || now != note.with) note.before = now;
    note.with = note.before + " - Volume " + vb::RoundTrip(modMain::Settings.Volume) + " %";
    note.shown = true;
    note.since = plat::Now();
    plat::Dev().SetCaption(note.with);
}

// A caption that changed meanwhile (a chart loaded) is left as it is.
void ExpireVolume() {
    if (!note.shown || vb::ClockDiff(plat::Now(), note.since) < kNoteMs) return;
    if (plat::Dev().Caption() == note.with) plat::Dev().SetCaption(note.before);
    note.shown = false;
}

void StepVolume(vb::Long step) {
    vb::Single& volume = modMain::Settings.Volume;
    volume = std::clamp(std::clamp(volume, 0.0f, 100.0f) + step, 0.0f, 100.0f);
    modSound::ChangeVolume();
    ShowVolume();
}

void Keys() {
    using namespace plat::vk;
    if (Pressed(F2)) NextScale();
    if (Pressed(F11)) plat::Dev().SetFullscreen(FullScreen = !FullScreen);
    if (Pressed(Tab)) StepChart(modKey::KeyState[Shift] != 0);
    if (Pressed(Minus) || Pressed(PadMinus)) StepVolume(-kVolumeStep);
    if (Pressed(Equals) || Pressed(PadPlus)) StepVolume(kVolumeStep);
}

}  // namespace

void DesktopKeys() {
    try {
        // The key table holds what the last frame with the focus saw.
        if (plat::Dev().IsActive()) Keys();
        ExpireVolume();
    } catch (const vb::Error& e) {
        modMain::Report(e, "DesktopKeys");
    }
}

void LoadDesktopOptions() {
    vb::Long scale = 1;
    try {
        double read = vb::ParseNumber(modMain::GetIni("Main", "Scale", "1"));
        if (read >= 1 && read <= kMaxScale && read == static_cast<vb::Long>(read))
            scale = static_cast<vb::Long>(read);
    } catch (const vb::Error&) {
    }
    while (!Fits(scale)) --scale;
    SetScale(scale);
}

void SaveDesktopOptions() {
    modMain::WriteIni("Main", "Scale", vb::Str(static_cast<int64_t>(WindowScale)));
    modMain::WriteIni("Option", "Volume", vb::RoundTrip(modMain::Settings.Volume));
}

void ResetDesktop() {
    WindowScale = 1;
    FullScreen = false;
    LoadedChart.clear();
    note = VolumeNote{};
}

}  // namespace frmMain
