// The whole load of one chart: reset, reading the file line by line with the message pass in
// between, then sorting and timing.
#include <chrono>
#include <cstring>

#include "base/program.h"
#include "base/settings_record.h"
#include "chart/chart_internal.h"
#include "chart/modBMSLoad.h"
#include "display/surfaces.h"
#include "platform/platform.h"
#include "play/modCount.h"
#include "play/modKey.h"
#include "sound/modSound.h"

namespace modBMSLoad {

namespace {

using modMain::PlayState;

void SetCaption(const std::string& text) {
    plat::Dev().SetCaption(text);
}

std::string_view TrimSpaces(std::string_view s) {
    size_t b = 0, e = s.size();
    while (b < e && s[b] == ' ') ++b;
    while (e > b && s[e - 1] == ' ') --e;
    return s.substr(b, e - b);
}

// A physical line ends at CR or CR LF. A bare LF inside it separates lines too, so a file with
// LF line ends arrives as one physical line and still splits into its lines.
void HandlePhysicalLine(std::string_view line) {
    while (true) {
        size_t lf = line.find('\n');
        std::string_view piece = TrimSpaces(line.substr(0, lf));
        if (!piece.empty()) LoadBMSLine(piece);
        if (lf == std::string_view::npos) return;
        line.remove_prefix(lf + 1);
    }
}

// Lets window events through, but not more than once a millisecond: the pass costs more than a
// line, and a chart has tens of thousands of lines.
class MessagePump {
  public:
    void Pass() {
        int32_t now = plat::Now();
        if (passed_ && vb::ClockDiff(now, last_) < 1) return;
        passed_ = true;
        last_ = now;
        if (MessagePassHook) MessagePassHook();
    }

  private:
    bool passed_ = false;
    int32_t last_ = 0;
};

// Reads every line; false when a new load was requested meanwhile.
bool ReadLines(const std::string& text) {
    struct Flag {
        Flag() { ReadingLines = true; }
        ~Flag() { ReadingLines = false; }
    } reading;
    MessagePump pump;
    const char* p = text.data();
    const char* end = p + text.size();
    while (p < end) {
        pump.Pass();
        if (PlayState == modMain::PS_LOAD) return false;
        ShowLoadProgress();
        const char* cr =
            static_cast<const char*>(std::memchr(p, '\r', static_cast<size_t>(end - p)));
        const char* lineEnd = cr ? cr : end;
        HandlePhysicalLine(std::string_view(p, static_cast<size_t>(lineEnd - p)));
        p = lineEnd;
        if (p < end) ++p;                      // the CR
        if (cr && p < end && *p == '\n') ++p;  // and its LF
    }
    return true;
}

// The largest real charts are a few megabytes; a bigger file is refused before it is read, since
// its objects alone could take gigabytes.
constexpr size_t kMaxChartBytes = size_t{64} << 20;

std::optional<std::string> ReadChartFile() {
    if (plat::FileSize(BMSFileName) > kMaxChartBytes) {
        plat::TellUser("korvane: cannot open " + BMSFileName +
                       ": the file is larger than 64 MiB, too big for a chart");
        return std::nullopt;
    }
    return plat::ReadFile(BMSFileName, kMaxChartBytes);
}

void SetPlaybackLimit() {
    int rate = modSound::MaxSampleRate();
    if (rate == 0)
        modMain::Settings.MaxFrequency = 200;
    else
        modMain::Settings.MaxFrequency = vb::CLng(vb::Int(100000.0 / rate * 20) * 5);
    modSound::ChangeFrequency();
}

void ClearUnloadedMedia() {
    for (auto& wav : modSound::WavBuffer)
        if (!wav.isInitialized()) wav.clear();
    for (auto& bmp : modDraw::BmpSurface)
        if (!bmp.isInitialized()) bmp.clear();
}

std::string MakeDisplayTitle() {
    std::string t;
    if (!Genre.empty()) t += "[" + Genre + "] ";
    t += Title.empty() ? std::string("No Title") : Title;
    t += " / ";
    t += Artist.empty() ? std::string("Unknown Artist") : Artist;
    t += " ";
    return t;
}

void ResetTables() {
    ResetMediaNames();
    for (Long id = 0; id <= 1295; ++id) {
        modSound::WavBuffer[id].reset();
        modDraw::BmpSurface[id].reset();
        BgaTable[id].BmpNo = 0;
        BpmTable[id] = 0;
        StopTable[id] = 0;
    }
}

void ResetPlayClock() {
    modCount::PlayTime = Currency();
    modCount::PlayPos = Currency();
    modCount::StopRemain = Currency();
    modCount::FrameCount = 0;
    modCount::LateSounds = modCount::SoundWaits = 0;
    modCount::FirstObj = 0;
    modCount::CurrentMeasure = 0;
    modKey::PauseStart = 0;
}

}  // namespace

void (*MessagePassHook)() = nullptr;
void (*LoadStartedHook)(const std::string& fileName) = nullptr;

// The header defaults every load starts from.
void ResetHeader() {
    Player = 1;
    Genre.clear();
    Title.clear();
    Artist.clear();
    Bpm = BaseBpm = 130.0f;
    PlayLevel = 0;
    Rank = 2;
    Total = 0;
    VolWav = 1.0f;
    NoteCount.Fill(0);
    TotalTime = Currency();
    MaxMeasure = 0;
    RandomText.clear();
    LnObj = 0;
}

void LoadBMS() {
    if (!plat::IsRegularFile(BMSFileName)) return;
    // The chart's file names are looked up in one listing per folder, made for this load.
    struct Lookups {
        Lookups() { plat::OpenLookupIndex(); }
        ~Lookups() { plat::CloseLookupIndex(); }
    } lookups;
    struct Timed {
        std::chrono::steady_clock::time_point started = std::chrono::steady_clock::now();
        ~Timed() {
            std::chrono::duration<double, std::milli> took =
                std::chrono::steady_clock::now() - started;
            LoadWallMs = took.count();
        }
    } timed;
    Guard("LoadBMS", [] {
        LoadTime = plat::Now();
        LoadBMSStart();
        if (LoadBMSData() != 0) {
            LoadBMSSort();
            ReadySoundsFrom(modCount::PlayTime);
            if (Total == 0) Total = vb::CSng(static_cast<double>(NoteCount[0]) + 200);
            // The window shows the chart before the title's font is looked for.
            SetCaption(modMain::AppTitle + " - " + plat::ShowableText(BMSFileName));
            plat::Dev().ShowWindow();
            modDraw::TitleSurface.initText(DisplayTitle);
            modCount::StartTime = plat::Now();
            modCount::LastTime = modCount::StartTime;
            LoadTime = vb::ClockDiff(plat::Now(), LoadTime);
        } else {
            SetCaption(modMain::AppTitle);
        }
    });
}

void LoadBMSStart() {
    Guard("LoadBMSStart", [] {
        PlayState = modMain::PS_PLAY;
        SetCaption(modMain::AppTitle + " - Now Loading");
        LastDotTime = plat::Now();
        modSound::SoundStop();
        size_t sep = BMSFileName.find_last_of("/\\");
        BMSFolder = sep == std::string::npos ? std::string() : BMSFileName.substr(0, sep + 1);
        PathWav = BMSFolder;
        ResetHeader();
        if (LoadStartedHook) LoadStartedHook(BMSFileName);
        ObjCount = 0;
        for (auto& m : MeasureInfo) m.Length = Currency::FromInt(192);
        ResetTables();
        ClearPlayState();
        RandomValue = 0;
        IfFlag = true;
        ResetPlayClock();
        SeedRandomForLoad();
    });
}

Long LoadBMSData() {
    Long result = 0;
    Guard("LoadBMSData", [&] {
        std::optional<std::string> bytes = ReadChartFile();
        if (!bytes) vb::Raise(75);  // vanished, unreadable or too big
        std::string text = plat::ChartTextToUtf8(*bytes);
        bytes.reset();
        if (!ReadLines(text)) return;
        SetCaption(plat::Dev().Caption() + "\u25CF\u25BC\u25CF");
        if (ObjCount == 0) {
            PlayState = modMain::PS_IDLE;
            return;
        }
        SetPlaybackLimit();
        ClearUnloadedMedia();
        NoteMissingMedia();
        DisplayTitle = MakeDisplayTitle();
        result = static_cast<Long>(Obj.UBound());
    });
    return result;
}

void ShowLoadProgress() {
    int32_t now = plat::Now();
    if (vb::ClockDiff(now, LastDotTime) < 1000) return;
    SetCaption(plat::Dev().Caption() + ".");
    LastDotTime = now;
}

void ClearPlayState() {
    for (int k = 0; k <= 20; ++k) {
        modCount::LaneFlash[k] = false;
        modCount::Bomb[k].Active = false;
        modCount::Bomb[k].BombTime = 0;
        modCount::Bomb[k].IsLongStart = false;
    }
    for (int p = 0; p <= 1; ++p) {
        modCount::PlayerScore& s = modCount::Score[p];
        s.JudgeVisible = false;
        s.Judge = 0;
        s.JudgeTime = 0;
        s.Points = 0;
        s.JudgeCount.Fill(0);
        s.Combo = 0;
        s.ShownCombo = 0;
        s.MaxCombo = 0;
    }
    modCount::BGABase = 0;
    modCount::BGALayer = 0;
    modCount::BGAPoor = 0;
    modCount::BGABaseSince = modCount::BGALayerSince = modCount::BGAPoorSince = Currency();
}

}  // namespace modBMSLoad
