// The case charts of tests/data/play/cases.txt, played by the renderer to the end of their sounds:
// the statistics it prints and a digest of the sound it writes, against the expected files
// <name>.stats.json and <name>.wav.txt beside the table (and the frame at a play time against
// <name>.png). A case may press keys while it plays. A case without a frame is rendered again
// with every frame drawn, which must change nothing (unless it says "composed: skip").
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <map>
#include <regex>
#include <sstream>

#include "platform/headless.h"
#include "shell/render.h"
#include "support.h"

namespace {

using testsupport::DataPath;

constexpr size_t kWindow = 441;  // 10 ms at 44.1 kHz

// The level of one channel over a window, in dB of full scale to a tenth ("-" for silence).
std::string Level(const std::vector<int16_t>& s, size_t from, size_t to, int channel) {
    double sum = 0;
    for (size_t i = from; i < to; ++i) sum += double(s[2 * i + channel]) * s[2 * i + channel];
    if (sum == 0) return "-";
    char text[16];
    std::snprintf(text, sizeof text, "%.1f", 10 * std::log10(sum / (to - from) / 32768 / 32768));
    return text;
}

// A 16-bit stereo WAV as text: its length, the spans of sound in samples (split by 10 ms of
// silence), and the left and right level of every 10 ms, equal windows in a row on one line.
std::string Digest(const std::string& wav) {
    std::vector<int16_t> s(wav.size() < 44 ? 0 : (wav.size() - 44) / 4 * 2);
    if (!s.empty()) std::memcpy(s.data(), wav.data() + 44, s.size() * 2);
    size_t frames = s.size() / 2, start = 0, last = 0;
    std::ostringstream out;
    out << "length " << frames << " samples\n";
    bool sounding = false;
    for (size_t i = 0; i <= frames; ++i) {
        bool loud = i < frames && (s[2 * i] != 0 || s[2 * i + 1] != 0);
        if (sounding && (i == frames || (!loud && i - last >= kWindow))) {
            out << "sound " << start << "-" << last << "\n";
            sounding = false;
        }
        if (loud && !sounding) start = i, sounding = true;
        if (loud) last = i;
    }
    std::string shown;
    size_t shownFrom = 0;
    for (size_t w = 0;; ++w) {
        size_t from = w * kWindow, to = std::min(frames, from + kWindow);
        std::string level =
            from < frames ? Level(s, from, to, 0) + " " + Level(s, from, to, 1) : "";
        if (level != shown && !shown.empty())
            out << shownFrom * 10 << "-" << w * 10 << " ms: " << shown << "\n";
        if (level != shown) shown = level, shownFrom = w;
        if (from >= frames) break;
    }
    return out.str();
}

// Keys the case presses: "MS=KEY" holds KEY for one frame from clock MS, "FROM-TO=KEY" from FROM
// until TO. KEY is a digit or Home, End, PageUp, PageDown, Up, Down, Space, F1.
struct Press {
    int from = 0, to = 0, vk = 0, state = 0;  // state: 0 waiting, 1 held, 2 done
};

int KeyCode(const std::string& name) {
    using namespace plat::vk;
    const std::map<std::string, int> named = {
        {"Home", Home},     {"End", End},     {"Up", Up}, {"Down", Down},
        {"PageUp", PageUp}, {"Space", Space}, {"F1", F1}, {"PageDown", PageDown}};
    if (name.size() == 1 && name[0] >= '0' && name[0] <= '9') return Digit0 + name[0] - '0';
    EXPECT_TRUE(named.count(name)) << "no key " << name;
    return named.count(name) ? named.at(name) : 0;
}

std::vector<Press> Presses(const std::string& text) {
    std::vector<Press> presses;
    std::istringstream in(text);
    for (std::string item; in >> item;) {
        Press p;
        size_t dash = item.find('-'), eq = item.find('=');
        p.from = std::stoi(item);
        p.to = dash < eq ? std::stoi(item.substr(dash + 1)) : p.from;
        p.vk = KeyCode(item.substr(eq + 1));
        presses.push_back(p);
    }
    return presses;
}

void PressKeys(std::vector<Press>& presses, plat::HeadlessDevice& dev) {
    for (Press& p : presses) {
        if (p.state == 0 && dev.Now() >= p.from) {
            dev.SetKey(p.vk, true);
            p.state = 1;
        } else if (p.state == 1 && dev.Now() >= p.to) {
            dev.SetKey(p.vk, false);
            p.state = 2;
        }
    }
}

struct Output {
    int code = 0;
    std::string stats, wav;
};

// The case rendered in `tmp`, with `more` arguments after the case's own; `compose` draws every
// frame, as a render with --png does.
Output Render(const testsupport::Case& c, testsupport::TempDir& tmp, bool compose,
              const std::string& more = "") {
    testsupport::ResetAll();
    // The program folder: the committed art, as the build places it beside the program.
    modMain::AppPath = tmp.path() + "/";
    std::filesystem::create_directory_symlink(KORVANE_SOURCE_DIR "/assets/image", tmp / "image");
    std::vector<std::string> args = {"korvane-render", DataPath("play/" + c.at("chart")), "--seed",
                                     "1", "--stats"};
    if (!c.has("wav") || c.at("wav") != "none") args.insert(args.end(), {"--wav", tmp / "out.wav"});
    if (c.has("png")) args.insert(args.end(), {"--png", tmp / "frame.png", "--at", c.at("png")});
    std::istringstream extra((c.has("args") ? c.at("args") : "") + " " + more);
    for (std::string a; extra >> a;) args.push_back(a);
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    render::Options opts;
    std::string error;
    EXPECT_TRUE(render::ParseArgs(int(argv.size()), argv.data(), opts, error)) << error;
    opts.compose = compose;
    if (c.has("wav_limit")) opts.wavLimitBytes = std::stoull(c.at("wav_limit"));
    if (c.has("wav_before")) testsupport::WriteFile(tmp / "out.wav", c.at("wav_before"));
    std::vector<Press> presses = Presses(c.has("keys") ? c.at("keys") : "");
    opts.beforeFrame = [&](plat::HeadlessDevice& dev) { PressKeys(presses, dev); };
    testing::internal::CaptureStdout();
    Output out;
    out.code = render::Play(opts);
    // The load time is the machine's, not the chart's.
    out.stats = std::regex_replace(testing::internal::GetCapturedStdout(),
                                   std::regex(R"(,"load_ms":[0-9.]+)"), "");
    out.wav = testsupport::ReadFile(tmp / "out.wav");
    std::filesystem::remove(tmp / "image");
    return out;
}

TEST(PlayGolden, CaseChartsPlayAsExpected) {
    for (const testsupport::Case& c : testsupport::ReadCases(DataPath("play/cases.txt"))) {
        std::string name = c.at("name");
        SCOPED_TRACE(name + ", cases.txt line " + std::to_string(c.line));
        testsupport::TempDir tmp;
        Output out = Render(c, tmp, false);
        EXPECT_EQ(out.code, c.has("exit") ? std::stoi(c.at("exit")) : 0);
        std::string base = DataPath("play/" + name);
        EXPECT_TRUE(testsupport::SameTextAsFile(base + ".stats.json", out.stats));
        if (c.has("wav_before")) {
            EXPECT_EQ(out.wav, c.at("wav_before")) << "the file there before was not kept";
            continue;
        }
        EXPECT_TRUE(testsupport::SameTextAsFile(base + ".wav.txt", Digest(out.wav)));
        if (c.has("png")) {
            std::optional<plat::Image> frame = plat::DecodeImage(tmp / "frame.png", false);
            ASSERT_TRUE(frame.has_value());
            EXPECT_TRUE(testsupport::SamePicture(base + ".png", *frame));
        } else if (!c.has("composed") || c.at("composed") != "skip") {
            // Drawing the frames that nobody asked for would change nothing the render puts out.
            Output composed = Render(c, tmp, true);
            EXPECT_EQ(composed.code, out.code);
            EXPECT_EQ(composed.stats, out.stats);
            EXPECT_TRUE(composed.wav == out.wav) << "the composed render's sound differs";
        }
        // Sounds decoded in the order of need give what decoding all of them first gives.
        Output first = Render(c, tmp, false, "--decode-first");
        EXPECT_EQ(first.code, out.code);
        EXPECT_EQ(first.stats, out.stats);
        EXPECT_TRUE(first.wav == out.wav) << "the sound differs from the one decoded first";
    }
    testsupport::ResetAll();
}

}  // namespace

namespace {

// --help needs no chart, and the usage names every option the command line takes.
TEST(RenderCommandLine, HelpListsEveryOption) {
    std::vector<std::string> args = {"korvane-render", "--help"};
    std::vector<char*> argv = {args[0].data(), args[1].data()};
    render::Options opts;
    std::string error;
    EXPECT_TRUE(render::ParseArgs(2, argv.data(), opts, error)) << error;
    EXPECT_TRUE(opts.help);
    for (const char* option : {"--dump", "--stats", "--wav", "--exact", "--png", "--at", "--seed",
                               "--measure", "--fps", "--set", "--help"})
        EXPECT_NE(render::Usage().find(option), std::string::npos) << option;
}

}  // namespace
