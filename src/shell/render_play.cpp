// korvane-render's play: the real start-up and frame loop on the headless device, from the frame
// that loads the chart to the frame in which its last sound has died away.
#include <cstdio>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "chart/modBMSLoad.h"
#include "display/modDraw.h"
#include "display/surfaces.h"
#include "platform/headless.h"
#include "platform/platform.h"
#include "play/modCount.h"
#include "play/modKey.h"
#include "shell/modMain.h"
#include "shell/render.h"
#include "shell/settings.h"
#include "sound/modSound.h"

namespace render {

namespace {

using modMain::Settings;

// Virtual time after the load at which a render gives up: a chart whose stops last for days
// would otherwise run for as long.
constexpr vb::Long kPlayLimitMs = 24 * 60 * 60 * 1000;
// How late a frame may start a sound (its period is at most a second), for an exact export.
constexpr int32_t kLateFrames = 2 * plat::kOutputRate;

std::string Lower(const std::string& s) {
    std::string out = s;
    for (char& c : out)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return out;
}

using Setter = std::function<void(const std::string&)>;

Setter Bool(bool& field) {
    return [&field](const std::string& v) { field = vb::ParseBool(v); };
}
Setter Int16(vb::Integer& field) {
    return [&field](const std::string& v) { field = vb::CInt(vb::ParseNumber(v)); };
}
Setter Int32(vb::Long& field) {
    return [&field](const std::string& v) { field = vb::CLng(vb::ParseNumber(v)); };
}
Setter Float(vb::Single& field) {
    return [&field](const std::string& v) { field = vb::CSng(vb::ParseNumber(v)); };
}

const std::map<std::string, Setter>& Setters() {
    static const std::map<std::string, Setter> setters = {
        {"vsync", Bool(Settings.VSYNC)},
        {"framerate", Int16(Settings.FrameRate)},
        {"singleplay", Bool(Settings.SinglePlay)},
        {"hs", Float(Settings.HS)},
        {"frequency", Int32(Settings.Frequency)},
        {"maxfrequency", Int32(Settings.MaxFrequency)},
        {"bga", Int32(Settings.BGA)},
        {"effect", Int32(Settings.Effect)},
        {"skintype", Int32(Settings.SkinType)},
        {"alwaysontop", Bool(Settings.AlwaysOnTop)},
        {"dispinfo", Bool(Settings.DispInfo)},
        {"showdebug", Bool(Settings.ShowDebug)},
        {"autoplay", Int32(Settings.AutoPlay)},
        {"volume", Float(Settings.Volume)},
    };
    return setters;
}

// The frames wanted as PNG files, each written once.
struct PngRequest {
    std::string file;
    int64_t at;
    bool written = false;
};

void WritePng(PngRequest& png) {
    png.written = true;
    if (!plat::WritePng(png.file, modDraw::BackBuffer))
        std::fprintf(stderr, "korvane-render: cannot write %s\n", png.file.c_str());
}

void WriteDuePngs(std::vector<PngRequest>& pngs) {
    for (PngRequest& png : pngs)
        if (!png.written && png.at >= 0 && modCount::PlayTime >= vb::Currency::FromInt(png.at))
            WritePng(png);
}

std::string Pair(vb::Long a, vb::Long b) {
    return "[" + std::to_string(a) + "," + std::to_string(b) + "]";
}

std::string JsonText(const std::string& s) {
    std::string out = "\"";
    for (unsigned char c : s) {
        if (c == '"' || c == '\\') out += '\\';
        if (c < 0x20) {
            char esc[8];
            std::snprintf(esc, sizeof esc, "\\u%04x", c);
            out += esc;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out + "\"";
}

std::string JsonList(const std::vector<std::string>& items) {
    std::string out = "[";
    for (const std::string& item : items) out += (out.size() > 1 ? "," : "") + JsonText(item);
    return out + "]";
}

void PrintStats(int64_t frames) {
    using modCount::Score;
    const auto& n = modBMSLoad::NoteCount;
    std::string json = "{\"notes\":[" + std::to_string(n[0]) + "," + std::to_string(n[1]) + "," +
                       std::to_string(n[2]) + "]";
    const char* names[5] = {"perfect", "great", "good", "bad", "poor"};
    for (int j = 0; j < 5; ++j)
        json += ",\"" + std::string(names[j]) +
                "\":" + Pair(Score[0].JudgeCount[j], Score[1].JudgeCount[j]);
    json += ",\"maxcombo\":" + Pair(Score[0].MaxCombo, Score[1].MaxCombo);
    json += ",\"points\":" + Pair(Score[0].Points, Score[1].Points);
    json += ",\"score\":" + JsonText(modDraw::ScoreText());
    json += ",\"total_time_ms\":" + vb::FormatCurrency4(modBMSLoad::TotalTime);
    json += ",\"play_time_ms\":" + vb::FormatCurrency4(modCount::PlayTime);
    json += ",\"frames\":" + std::to_string(frames);
    json += ",\"sound_waits\":" + std::to_string(modCount::SoundWaits);
    json += ",\"end_state\":" + std::to_string(modMain::PlayState);
    json += ",\"missing_sounds\":" + JsonList(modBMSLoad::Missing.sounds);
    json += ",\"missing_images\":" + JsonList(modBMSLoad::Missing.images);
    char loadMs[32];
    std::snprintf(loadMs, sizeof loadMs, "%.3f", modBMSLoad::LoadWallMs);
    json += ",\"load_ms\":" + std::string(loadMs) + "}";
    std::printf("%s\n", json.c_str());
    std::fflush(stdout);
}

}  // namespace

// Settings of the run: the new-file defaults, the frame rate, then every --set in order.
bool ApplyOptions(const Options& opts) {
    Settings.FrameRate = static_cast<vb::Integer>(opts.fps);
    for (const auto& [field, value] : opts.sets) {
        if (!ApplySetting(field, value)) {
            std::fprintf(stderr, "korvane-render: bad setting %s=%s\n", field.c_str(),
                         value.c_str());
            return false;
        }
    }
    if (Settings.FrameRate <= 0) {
        std::fprintf(stderr, "korvane-render: the frame rate must be at least 1\n");
        return false;
    }
    modMain::FramePeriod = static_cast<vb::Integer>(1000 / Settings.FrameRate);
    modMain::LastFrameEndKnown = false;
    modKey::SetScratchLayout();
    plat::Dev().SetAlwaysOnTop(Settings.AlwaysOnTop);
    plat::Dev().SetVsync(Settings.VSYNC);
    return true;
}

namespace {

// Shows how far a long render has come, every two seconds of virtual time; only on a terminal.
class Progress {
  public:
    explicit Progress(bool on) : on_(on), last_(plat::Now()) {}
    void Frame() {
        if (!on_ || vb::ClockDiff(plat::Now(), last_) < 2000) return;
        last_ = plat::Now();
        std::fprintf(stderr, "\rkorvane-render: %8.1f / %.1f s",
                     modCount::PlayTime.ToDouble() / 1000, modBMSLoad::TotalTime.ToDouble() / 1000);
        shown_ = true;
    }
    void Done() {
        if (shown_) std::fprintf(stderr, "\n");
    }

  private:
    bool on_;
    vb::Long last_;
    bool shown_ = false;
};

struct Run {
    int64_t frames = 0;
    bool loaded = false;
    bool capped = false;
};

// The sound of the render, written to its WAV file as it is mixed.
class WavOutput {
  public:
    explicit WavOutput(plat::HeadlessDevice& device) : device_(device) {}
    // The device outlives the render: it must not keep writing to a file that is gone.
    ~WavOutput() {
        if (on_) device_.EndCapture();
    }
    bool Start(const Options& opts) {
        if (opts.wav.empty()) return true;
        std::string why;
        if (!writer_.Open(opts.wav, opts.wavLimitBytes, &why)) return Fail(opts.wav, why);
        device_.StartCapture([this](const float* s, int64_t n) { return writer_.Write(s, n); },
                             opts.exact ? kLateFrames : 0);
        on_ = true;
        return true;
    }
    // The file complete; false with a message when it is not.
    bool Finish(const Options& opts) {
        if (!on_) return true;
        on_ = false;
        device_.EndCapture();
        if (!writer_.Close() || (device_.CaptureRefused() && !writer_.Full()))
            return Fail(opts.wav, "");
        if (!writer_.Full()) return true;
        constexpr uint64_t kBytesPerSecond = plat::kOutputRate * 4;
        uint64_t seconds = writer_.DataBytes() / kBytesPerSecond;
        std::fprintf(stderr,
                     "korvane-render: %s: stopped at the WAV format's size limit (4 GB), after "
                     "%llu:%02llu:%02llu of sound; the file holds the sound up to there\n",
                     opts.wav.c_str(), static_cast<unsigned long long>(seconds / 3600),
                     static_cast<unsigned long long>(seconds / 60 % 60),
                     static_cast<unsigned long long>(seconds % 60));
        return false;
    }

    // No sound was made: the file named keeps what it held before, if it was there.
    void Drop() {
        if (!on_) return;
        on_ = false;
        device_.EndCapture();
        writer_.Discard();
    }

  private:
    static bool Fail(const std::string& file, const std::string& why) {
        std::fprintf(stderr, "korvane-render: cannot write %s%s\n", file.c_str(),
                     why.empty() ? "" : (": " + why).c_str());
        return false;
    }
    plat::HeadlessDevice& device_;
    plat::WavWriter writer_;
    bool on_ = false;
};

// Frames from the load request until the chart has ended and its sounds are silent.
void PlayFrames(const Options& opts, plat::HeadlessDevice& device, std::vector<PngRequest>& pngs,
                Run& run) {
    Progress progress(opts.progress);
    vb::Long loadClock = 0;
    for (;;) {
        if (opts.beforeFrame) opts.beforeFrame(device);
        RunFrame();
        ++run.frames;
        if (!run.loaded) {
            if (modMain::PlayState == modMain::PS_LOAD) return;  // the chart file is missing
            run.loaded = true;
            loadClock = plat::Now();
        }
        WriteDuePngs(pngs);
        progress.Frame();
        if (modMain::PlayState == modMain::PS_IDLE || device.CaptureRefused()) break;
        if (vb::ClockDiff(plat::Now(), loadClock) > kPlayLimitMs) {
            run.capped = true;
            break;
        }
    }
    progress.Done();
}

}  // namespace

void RunFrame() {
    vb::Long before = plat::Now();
    modMain::RunFrame();
    // The vertical-blank wait has no display to wait for here, and a frame period of 0 (a frame
    // rate above 1000) sleeps no time: a frame still lasts one frame period, at least 1 ms, or
    // the render would never reach the chart's end.
    if ((Settings.VSYNC || modMain::FramePeriod <= 0) && plat::Now() == before)
        plat::Sleep(modMain::FramePeriod > 0 ? modMain::FramePeriod : 1);
}

bool ApplySetting(const std::string& field, const std::string& value) {
    auto it = Setters().find(Lower(field));
    if (it == Setters().end()) return false;
    try {
        it->second(value);
        return true;
    } catch (const vb::Error&) {
        return false;
    }
}

int Play(const Options& opts) {
    plat::SetExitThrows(true);
    plat::HeadlessDevice& device = plat::InstallHeadless();
    modMain::UseSettingsFile = false;
    modMain::UseInstanceHandOver = false;
    std::vector<PngRequest> pngs;
    for (const auto& [file, at] : opts.pngs) pngs.push_back({file, at});

    Run run;
    WavOutput wav(device);
    int code = 0;
    bool ended = false;  // the program shut itself down (an error report, or single play)
    try {
        modMain::StartUp();
        if (!ApplyOptions(opts)) return 2;
        modDraw::SetComposing(!pngs.empty() || opts.compose);
        modBMSLoad::SetRandomSeed(opts.seed);
        modSound::DecodeAllFirst = opts.decodeFirst;
        bool idleFrame = false;
        for (PngRequest& png : pngs) idleFrame |= png.at < 0;
        if (idleFrame) {
            modMain::RunFrame();
            for (PngRequest& png : pngs)
                if (png.at < 0) WritePng(png);
        }
        modBMSLoad::BMSFileName = opts.chart;
        modBMSLoad::StartMeasure = static_cast<vb::Integer>(opts.measure);
        modMain::PlayState = modMain::PS_LOAD;
        if (!wav.Start(opts)) return 1;
        PlayFrames(opts, device, pngs, run);
    } catch (const plat::ProcessExit& exit) {
        code = exit.code;
        ended = true;
    }
    if (!run.loaded) {
        wav.Drop();
        std::fprintf(stderr, "korvane-render: cannot load %s\n", opts.chart.c_str());
        return code != 0 ? code : 1;
    }
    if (!wav.Finish(opts) && code == 0) code = 1;
    if (run.capped) {
        std::fprintf(stderr, "korvane-render: stopped after %d hours of play, before the end\n",
                     kPlayLimitMs / 3600000);
        if (code == 0) code = 1;
    }
    for (const PngRequest& png : pngs)
        if (!png.written)
            std::fprintf(stderr, "korvane-render: %s: play time %lld ms was never reached\n",
                         png.file.c_str(), static_cast<long long>(png.at));
    // Sounds never played have decoded too: what failed among them is missing as well.
    modSound::AwaitAllDecodes();
    modBMSLoad::NoteUndecodedSounds();
    if (opts.stats) PrintStats(run.frames);
    if (!ended) {
        try {
            modMain::ShutDown(0, "", "");
        } catch (const plat::ProcessExit& exit) {
            if (code == 0) code = exit.code;
        }
    }
    return code;
}

}  // namespace render
