#include "shell/settings.h"

#include <optional>

#include "base/media_budget.h"
#include "chart/modBMSLoad.h"
#include "platform/platform.h"
#include "play/modKey.h"
#include "shell/desktop.h"
#include "shell/frmMain.h"
#include "shell/modMain.h"
#include "shell/profile.h"

namespace modMain {

Long ConfigRetry = 0;
bool UseSettingsFile = true;
std::string IniWriteFailure;
bool IniRefused = false;
Long WindowX = 0, WindowY = 0;

namespace {

const std::string kIdentity = "Korvane";
constexpr int kTwipsPerPixel = 15;
// The profile reader hands back at most this many bytes (a 128-byte buffer with its terminator).
constexpr size_t kValueBytes = 127;

struct DefaultKey {
    const char* section;
    const char* key;
    const char* value;
};

// A new file, in the order its keys are written.
constexpr DefaultKey kNewFile[] = {
    {"Main", "Key", "Korvane"},
    {"Main", "X", "0"},
    {"Main", "Y", "0"},
    {"Main", "AlwaysOnTop", "False"},
    {"Main", "VSYNC", "False"},
    {"Main", "SinglePlay", "False"},
    {"Option", "HS", "1"},
    {"Option", "BGA", "3"},
    {"Option", "Effect", "7"},
    {"Option", "SkinType", "0"},
    {"Option", "DispInfo", "False"},
    {"Option", "Volume", "100"},
};

std::string IniPath() {
    return AppPath + "krv.ini";
}

const std::string& NewFileText() {
    static const std::string text = [] {
        std::string t;
        for (const DefaultKey& k : kNewFile) t = profile::Store(t, k.section, k.key, k.value);
        return t;
    }();
    return text;
}

// A line break in a value would start a line of its own: a chart named "s\n[Option]\n..." could
// write any key.
bool OneLine(const std::string& text) {
    return text.find_first_of(std::string("\r\n\0", 3)) == std::string::npos;
}

// Ends the program when krv.ini cannot serve: the user is told why, nothing is written to it.
[[noreturn]] void Refuse(const std::string& why) {
    plat::TellUser("korvane: cannot use " + IniPath() + ": " + why);
    IniRefused = true;
    EndProgramWithCode(1);
}

std::string CutValue(std::string v) {
    size_t nul = v.find('\0');
    if (nul != std::string::npos) v.resize(nul);
    if (v.size() > kValueBytes) v.resize(kValueBytes);
    return v;
}

Single ReadSingle(const char* section, const char* key, const char* def) {
    return vb::CSng(vb::ParseNumber(GetIni(section, key, def)));
}

Long ReadLong(const char* section, const char* key, const char* def) {
    return vb::CLng(vb::ParseNumber(GetIni(section, key, def)));
}

bool ReadBool(const char* section, const char* key) {
    return vb::ParseBool(GetIni(section, key, "False"));
}

// A coordinate in twips outside 0 .. the screen's extent is replaced by 0.
Single OnScreen(Single twips, int screenPixels) {
    if (twips < 0 || twips > static_cast<double>(screenPixels) * kTwipsPerPixel) return 0;
    return twips;
}

void PlaceWindow() {
    Single x = ReadSingle("Main", "X", "0");
    Single y = ReadSingle("Main", "Y", "0");
    int screenW = 0, screenH = 0;
    plat::Dev().GetScreenSize(screenW, screenH);
    x = OnScreen(x, screenW);
    y = OnScreen(y, screenH);
    WindowX = vb::CLng(x / static_cast<double>(kTwipsPerPixel));
    WindowY = vb::CLng(y / static_cast<double>(kTwipsPerPixel));
    plat::Dev().SetWindowPos(WindowX, WindowY);
}

// Steps 2 to 14 of reading the file; any run-time error goes to the caller's failure step.
void ApplySettings() {
    PlaceWindow();
    plat::Dev().SetFontFace(GetIni("Main", "Font", plat::Dev().FontFace()));
    modBMSLoad::BMSFileName = GetIni("Main", "RecentFile", "");
    frmMain::DialogFileName = modBMSLoad::BMSFileName;
    Settings.AlwaysOnTop = ReadBool("Main", "AlwaysOnTop");
    if (Settings.AlwaysOnTop) plat::Dev().SetAlwaysOnTop(true);
    Settings.VSYNC = ReadBool("Main", "VSYNC");
    Settings.SinglePlay = ReadBool("Main", "SinglePlay");
    Settings.HS = ReadSingle("Option", "HS", "1");
    if (Settings.HS <= 0) Settings.HS = 1.0f;
    Settings.Frequency = 100;
    Settings.MaxFrequency = 200;
    Settings.BGA = ReadLong("Option", "BGA", "3");
    Settings.Effect = ReadLong("Option", "Effect", "3");
    Settings.SkinType = ReadLong("Option", "SkinType", "0");
    modKey::SetScratchLayout();
    Settings.DispInfo = ReadBool("Option", "DispInfo");
    Settings.AutoPlay = 3;
    Settings.Volume = ReadSingle("Option", "Volume", "100");
    frmMain::LoadDesktopOptions();
}

}  // namespace

std::string GetIni(const std::string& section, const std::string& key, const std::string& def) {
    std::optional<std::string> text =
        UseSettingsFile ? plat::ReadFile(IniPath(), kMaxIniBytes) : NewFileText();
    std::optional<std::string> value;
    if (text) value = profile::Find(*text, section, key);
    if (value) return CutValue(std::move(*value));
    // The platform reader drops trailing blanks of the default.
    std::string d = def;
    while (!d.empty() && (d.back() == ' ' || d.back() == '\t')) d.pop_back();
    return CutValue(std::move(d));
}

bool WriteIni(const std::string& section, const std::string& key, const std::string& value) {
    if (!UseSettingsFile || IniRefused || !OneLine(section + key + value)) return false;
    std::string path = IniPath();
    std::optional<std::string> text = plat::ReadFile(path, kMaxIniBytes);
    if (!text) {
        // A file that exists but cannot be read is left alone rather than replaced by one key.
        bool missing = false;
        std::string why = plat::WhyUnreadable(path, kMaxIniBytes, &missing);
        if (!missing) return IniWriteFailure = why, false;
        text.emplace();
    }
    std::string why;
    if (plat::WriteFileAtomic(path, profile::Store(*text, section, key, value), &why)) return true;
    IniWriteFailure = why;
    return false;
}

void ApplyMediaBudget() {
    size_t bytes = media::DefaultBudget(plat::MachineMemoryBytes());
    try {
        double mb = vb::ParseNumber(GetIni("Option", "MediaMemoryMB", "0"));
        if (mb >= 1 && mb < double(size_t(1) << 40)) bytes = static_cast<size_t>(mb) << 20;
    } catch (const vb::Error&) {
    }
    media::SetBudget(bytes);
}

void LoadConfig() {
    // A missing file is made by the failure step; anything else that cannot be read ends here,
    // before a FIFO could block the reading or a folder pass for a missing file.
    if (UseSettingsFile) {
        bool missing = false;
        std::string why = plat::WhyUnreadable(IniPath(), kMaxIniBytes, &missing);
        if (!why.empty() && !missing) Refuse(why);
    }
    Long errNo = 0;
    std::string errDescription;
    try {
        if (GetIni("Main", "Key", "") == kIdentity) {
            ApplySettings();
            return;
        }
    } catch (const vb::Error& e) {
        errNo = e.number;
        errDescription = e.description;
    }
    ConfigRetry = vb::AddL(ConfigRetry, 1);
    if (ConfigRetry < 5) {
        LoadDefaultConfig();
        return;
    }
    // A wrong identity leaves no error pending: the file could not be written.
    if (errNo == 0 && UseSettingsFile)
        Refuse(IniWriteFailure.empty() ? "its settings cannot be read back" : IniWriteFailure);
    ShutDown(errNo, errDescription, "LoadConfig");
}

void LoadDefaultConfig() {
    for (const DefaultKey& k : kNewFile) WriteIni(k.section, k.key, k.value);
    LoadConfig();
}

void RememberWindowPosition() {
    if (!VideoOpen) return;
    int x = 0, y = 0;
    plat::Dev().GetWindowPos(x, y);
    WindowX = x;
    WindowY = y;
}

void SaveConfig() {
    if (!UseSettingsFile || IniRefused) return;
    IniWriteFailure.clear();
    RememberWindowPosition();
    WriteIni("Main", "Key", "\"" + kIdentity + "\"");
    WriteIni("Main", "X", vb::RoundTrip(vb::CSng(WindowX * static_cast<double>(kTwipsPerPixel))));
    WriteIni("Main", "Y", vb::RoundTrip(vb::CSng(WindowY * static_cast<double>(kTwipsPerPixel))));
    // A chart path with a line break is not stored; the recent file of the last run stays.
    if (OneLine(modBMSLoad::BMSFileName))
        WriteIni("Main", "RecentFile", "\"" + modBMSLoad::BMSFileName + "\"");
    WriteIni("Main", "AlwaysOnTop", vb::BoolText(Settings.AlwaysOnTop));
    WriteIni("Option", "HS", vb::RoundTrip(Settings.HS));
    WriteIni("Option", "BGA", vb::Str(Settings.BGA));
    WriteIni("Option", "Effect", vb::Str(Settings.Effect));
    WriteIni("Option", "SkinType", vb::Str(Settings.SkinType));
    WriteIni("Option", "DispInfo", vb::BoolText(Settings.DispInfo));
    frmMain::SaveDesktopOptions();
    if (!IniWriteFailure.empty())
        plat::TellUser("korvane: settings not saved: cannot write " + IniPath() + ": " +
                       IniWriteFailure);
}

}  // namespace modMain
