#include "shell/modMain.h"

#include <cmath>

#include "platform/platform.h"
#include "shell/frmMain.h"
#include "shell/settings.h"

namespace modMain {

Long PlayState = PS_IDLE;
SettingsRecord Settings;
std::string AppTitle;
std::string AppPath;
bool UseInstanceHandOver = true;

Single Fps = 1.0f;
Integer FpsFrames = 1;
Long FpsTime = 0;
vb::Array<Long, 0, 4> StageTime;
vb::Array<Long, 0, 4> StageAverage;
vb::Array<Single, 0, 255> SineTable;
Integer FramePeriod = 16;
Long LastFrameEnd = 0;
bool LastFrameEndKnown = false;

plat::Image BackBuffer{kScreenWidth, kScreenHeight,
                       std::vector<uint32_t>(kScreenWidth* kScreenHeight, 0)};
bool VideoOpen = false, AudioOpen = false;

clsDrawSurface FontSurface;
vb::Array<clsDrawSurface, 0, 3> Skin;
clsDrawSurface TitleSurface;
vb::Array<clsDrawSurface, 0, 1295> BmpSurface;
vb::Array<clsSoundBuffer, 0, 1295> WavBuffer;

Single Sin256(uint8_t index) {
    return SineTable[index];
}

Single SinDeg(Long degrees) {
    double steps = vb::RoundHalfEven(static_cast<double>(degrees) * 256 / 360);
    return Sin256(static_cast<uint8_t>(static_cast<int64_t>(steps) & 0xFF));
}

Single CosDeg(Long degrees) {
    return SinDeg(degrees + 90);
}

double Log10(Single x) {
    if (!(x > 0)) vb::Raise(5);  // the logarithm of zero or less is an invalid argument
    return std::log(static_cast<double>(x)) / std::log(10.0);
}

Long VolumeToAttenuation(Single percent) {
    if (percent <= 0) return -10000;
    if (percent >= 100) return 0;
    return vb::CLng(20 * Log10(static_cast<Single>(percent * 0.01)) * 100);
}

std::string ZeroPad(Long value, Long width) {
    std::string s = "00000000" + std::to_string(value);
    if (width < 0) vb::Raise(5);  // a negative length is an invalid argument, as for Right$
    if (width == 0) return "";
    if (static_cast<size_t>(width) >= s.size()) return s;
    return s.substr(s.size() - static_cast<size_t>(width));
}

std::string RemoveExt(const std::string& path) {
    size_t dot = path.rfind('.');
    size_t sep = path.find_last_of("\\/");
    if (dot == std::string::npos) return path;
    if (sep != std::string::npos && dot < sep) return path;
    return path.substr(0, dot);
}

void StageMark(int k) {
    StageTime[k] = vb::ClockDiff(plat::Now(), StageTime[k]);
}

void FillSineTable() {
    for (int i = 0; i <= 255; ++i)
        SineTable[i] = static_cast<Single>(std::sin(i * 3.1415926535897 / 128));
}

void Reset() {
    PlayState = PS_IDLE;
    Settings = SettingsRecord{};
    AppTitle.clear();
    AppPath.clear();
    UseInstanceHandOver = true;
    UseSettingsFile = true;
    ConfigRetry = 0;
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
    BackBuffer.pixels.assign(BackBuffer.pixels.size(), 0);
    VideoOpen = AudioOpen = false;
    for (auto& s : WavBuffer) s.clear();
    for (auto& s : BmpSurface) s.clear();
    for (auto& s : Skin) s.clear();
    TitleSurface.clear();
    FontSurface.clear();
    frmMain::Reset();
}

}  // namespace modMain
