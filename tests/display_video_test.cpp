// Video backgrounds in play: the cases of tests/data/video/play.txt run the program's frame loop
// on the headless device over charts whose #BMP slots name the fixture videos of
// tests/data/video/make_videos.sh, and read the frame number from the colour of the picture area.
#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <sstream>

#include "shell/render.h"
#include "support.h"

namespace {

namespace fs = std::filesystem;
using testsupport::Case;
using testsupport::DataPath;

const std::string kFixtures = std::string(KORVANE_BINARY_DIR) + "/video-fixtures/";
const std::string kHeader = "#PLAYER 1\n#BPM 120\n#WAV01 none.wav\n#00901:01\n";

std::vector<std::string> Words(const std::string& text) {
    std::istringstream in(text);
    std::vector<std::string> words;
    for (std::string w; in >> w;) words.push_back(w);
    return words;
}

// The frame number a colour tells (levels 32 + 64 k per channel, within a codec's error), -1 for
// black, -2 for any other colour.
int FrameNumber(uint32_t colour) {
    int n = 0, black = 0;
    for (int c = 0; c < 3; ++c) {
        const int v = static_cast<int>((colour >> (16 - 8 * c)) & 0xFF);
        const int level = std::clamp(v / 64, 0, 3);
        black += v <= 12;
        if (std::abs(v - (32 + 64 * level)) > 24) n = -2;
        if (n >= 0) n += level << (2 * c);
    }
    return black == 3 ? -1 : n;
}

uint32_t Probe(char name) {
    constexpr int kLeft = 331;
    const int x = name == 'L' ? kLeft + 10 : kLeft + 128, y = name == 'T' ? 10 : 128;
    return modDraw::BackBuffer.pixels[static_cast<size_t>(y) * modDraw::BackBuffer.width + x];
}

class Videos : public testsupport::Test, public ::testing::WithParamInterface<Case> {
  protected:
    void SetUp() override {
        testsupport::Test::SetUp();
        if (!fs::exists(kFixtures + "stamp"))
            GTEST_SKIP() << "no video fixtures (the ffmpeg command was missing at build time)";
    }

    void PlayTo(int64_t ms) {
        ASSERT_TRUE(testsupport::PlayUntil(ms, 20000)) << "the play time was never reached";
    }

    void Check(const std::string& step) {
        const uint32_t colour = Probe(step[0]);
        const std::string want = step.substr(1);
        const int n = FrameNumber(colour);
        char shown[16];
        std::snprintf(shown, sizeof shown, "%06X", colour);
        SCOPED_TRACE(step + " at play time " + vb::FormatCurrency4(modCount::PlayTime) +
                     ": colour " + shown + " is frame " + std::to_string(n));
        if (want == "-")
            EXPECT_EQ(n, -1);
        else if (want == "?")
            EXPECT_GE(n, 0);
        else
            EXPECT_EQ(n, std::stoi(want));
    }

    void Step(const std::string& step) {
        if (step[0] == '@') return PlayTo(std::stoll(step.substr(1)));
        if (step[0] == '+') {
            for (int n = std::stoi(step.substr(1)); n > 0; --n) render::RunFrame();
            return;
        }
        if (step.rfind("key:", 0) == 0) {
            const int vk = std::stoi(step.substr(4));
            dev->SetKey(vk, true);
            render::RunFrame();
            dev->SetKey(vk, false);
            render::RunFrame();
            return;
        }
        Check(step);
    }

    void Prepare(const Case& c) {
        testsupport::WriteFile(tmp / "chart.bms", kHeader + c.at("chart"));
        for (const std::string& file : Words(c.at("files"))) {
            const size_t eq = file.find('=');
            const std::string from = file.substr(0, eq);
            fs::copy_file(from.find('/') == std::string::npos ? kFixtures + from : DataPath(from),
                          tmp / file.substr(eq + 1));
        }
        fs::copy(std::string(KORVANE_SOURCE_DIR) + "/assets/image", tmp / "image");
        modMain::AppPath = tmp.path() + "/";
    }

    void Run(const Case& c) {
        Prepare(c);
        std::vector<std::string> words =
            Words("korvane-render chart.bms " + (c.has("render") ? c.at("render") : ""));
        std::vector<char*> argv;
        for (std::string& w : words) argv.push_back(w.data());
        render::Options opts;
        std::string error;
        ASSERT_TRUE(render::ParseArgs(int(argv.size()), argv.data(), opts, error)) << error;
        modMain::StartUp();
        ASSERT_TRUE(render::ApplyOptions(opts));
        if (c.has("budget")) media::SetBudget(media::InUse() + std::stoul(c.at("budget")));
        modBMSLoad::SetRandomSeed(1);
        modBMSLoad::BMSFileName = tmp / "chart.bms";
        modBMSLoad::StartMeasure = static_cast<vb::Integer>(opts.measure);
        modMain::PlayState = modMain::PS_LOAD;
        for (const std::string& step : Words(c.at("steps"))) {
            Step(step);
            if (HasFatalFailure()) return;
        }
        if (c.has("missing")) {
            EXPECT_EQ(Words(c.at("missing")), modBMSLoad::Missing.images);
        }
    }
};

TEST_P(Videos, ShowTheFrameOfThePlayTime) {
    try {
        Run(GetParam());
    } catch (const plat::ProcessExit& e) {
        ADD_FAILURE() << "the program ended with code " << e.code;
    }
    media::SetBudget(SIZE_MAX);
}

INSTANTIATE_TEST_SUITE_P(Display, Videos,
                         ::testing::ValuesIn(testsupport::ReadCases(DataPath("video/play.txt"))),
                         [](const ::testing::TestParamInfo<Case>& info) {
                             return info.param.at("name");
                         });

}  // namespace
