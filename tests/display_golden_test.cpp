// Golden frames: the whole program on the headless device plays tests/golden/chart/golden.bme and
// the composed frames are compared pixel for pixel with tests/golden/*.png. With
// KORVANE_REGEN_GOLDEN=1 in the environment the frames are written there instead
// (scripts/regen-golden); look at every picture before committing it.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "shell/render.h"
#include "support.h"

namespace {

namespace fs = std::filesystem;

struct Frame {
    const char* name;
    std::vector<std::pair<std::string, std::string>> sets;
    int at;              // play time in ms; -1 the idle frame before any load
    bool pause = false;  // the pause key pressed in the frame after
    int fps = 60;
};

const std::vector<Frame>& Frames() {
    static const std::vector<Frame> frames = {
        {"idle_panel", {{"DispInfo", "True"}}, -1},
        {"play", {{"Effect", "7"}}, 4200},
        {"paused", {{"Effect", "7"}, {"DispInfo", "True"}, {"Volume", "80"}}, 4200, true},
        {"debug", {{"DispInfo", "True"}, {"ShowDebug", "True"}}, 6100},
        {"skin1", {{"SkinType", "1"}, {"Effect", "7"}}, 4200},
        {"skin2", {{"SkinType", "2"}, {"Effect", "7"}}, 4200},
        {"skin3", {{"SkinType", "3"}, {"Effect", "7"}}, 4200},
        {"dense_hs025", {{"HS", "0.25"}, {"Effect", "7"}}, 4200},
        {"bga_always_miss", {{"BGA", "4"}, {"Effect", "1"}}, 2100},
        {"bga_missed", {{"Effect", "3"}}, 3000, false, 7},
        {"bga_wide_bmp", {{"Effect", "3"}}, 6500},
        {"bga_placement", {{"Effect", "3"}, {"HS", "2"}}, 8500},
        {"bga_far_placement", {{"Effect", "0"}, {"BGA", "2"}}, 9600},
    };
    return frames;
}

std::string SourceDir() {
    return KORVANE_SOURCE_DIR;
}
bool Regenerating() {
    const char* v = std::getenv("KORVANE_REGEN_GOLDEN");
    return v && *v && std::string(v) != "0";
}

// Starts the program like korvane-render from the program folder appDir and plays the golden
// chart until the frame's time is reached.
void Render(const Frame& f, const std::string& appDir) {
    plat::HeadlessDevice& dev = testsupport::ResetAll();
    modMain::AppPath = appDir + "/";
    modMain::StartUp();
    modMain::Settings.FrameRate = static_cast<vb::Integer>(f.fps);
    for (const auto& [field, value] : f.sets)
        ASSERT_TRUE(render::ApplySetting(field, value)) << field;
    modMain::FramePeriod = static_cast<vb::Integer>(1000 / f.fps);
    modMain::LastFrameEndKnown = false;
    modKey::SetScratchLayout();
    modBMSLoad::SetRandomSeed(1);
    if (f.at < 0) {
        modMain::RunFrame();
        return;
    }
    modBMSLoad::BMSFileName = SourceDir() + "/tests/golden/chart/golden.bme";
    modMain::PlayState = modMain::PS_LOAD;
    for (int n = 0; n < 10000; ++n) {
        modMain::RunFrame();
        if (modMain::PlayState != modMain::PS_LOAD &&
            modCount::PlayTime >= vb::Currency::FromInt(f.at))
            break;
    }
    ASSERT_GE(modCount::PlayTime, vb::Currency::FromInt(f.at)) << "time never reached";
    if (f.pause) {
        dev.SetKey('0', true);
        modMain::RunFrame();
        dev.SetKey('0', false);
        ASSERT_EQ(modMain::PlayState, modMain::PS_PAUSE);
    }
}

class GoldenFrames : public ::testing::TestWithParam<Frame> {
  protected:
    void SetUp() override {
        char pattern[] = "/tmp/korvane-golden-XXXXXX";
        appDir = mkdtemp(pattern);
        // The program folder holds the committed art, as the build places it beside the program.
        fs::copy(SourceDir() + "/assets/image", appDir + "/image");
    }
    void TearDown() override {
        std::error_code ec;
        fs::remove_all(appDir, ec);
        testsupport::ResetAll();
    }

    std::string appDir;
};

// Skin sheets and font that are missing, empty or not pictures at all: the program plays on and
// the pieces they hold stay black, while the chart's own pictures still show.
TEST_F(GoldenFrames, MissingOrCorruptArtLeavesItsPiecesBlack) {
    fs::remove(appDir + "/image/skin_00.png");
    std::ofstream(appDir + "/image/skin_01.png") << "\x89PNG\r\n\x1a\n truncated";
    std::ofstream(appDir + "/image/skin_02.png");
    std::ofstream(appDir + "/image/skin_03.png") << "BM not a bitmap";
    std::ofstream(appDir + "/image/font.png") << "\xFF\xD8\xFF not a jpeg";
    Frame f{"bad_art", {{"DispInfo", "True"}, {"Effect", "7"}}, 4200};
    try {
        Render(f, appDir);
    } catch (const plat::ProcessExit& e) {
        FAIL() << "the program ended with code " << e.code;
    }
    const plat::Image& frame = modDraw::BackBuffer;
    auto at = [&](int x, int y) { return frame.pixels[y * frame.width + x] & 0xFFFFFF; };
    const int titleBottom = 2 + modDraw::TitleSurface.Height();
    int lit = 0;
    for (int y = 0; y < 256; ++y)
        for (int x = 0; x < 331; ++x) {
            bool title = y >= 2 && y < titleBottom && x >= 60 && x < 327;
            lit += !title && at(x, y) != 0;
        }
    EXPECT_EQ(lit, 0) << "only the title may show on the play field";
    EXPECT_NE(at(400, 40), 0u);  // the base picture of the chart
}

TEST_P(GoldenFrames, MatchPixelForPixel) {
    const Frame& f = GetParam();
    try {
        Render(f, appDir);
    } catch (const plat::ProcessExit& e) {
        FAIL() << "the program ended with code " << e.code;
    }
    if (HasFatalFailure()) return;
    const plat::Image& frame = modDraw::BackBuffer;
    const std::string golden = SourceDir() + "/tests/golden/" + f.name + ".png";
    if (Regenerating()) {
        ASSERT_TRUE(plat::WritePng(golden, frame)) << golden;
        return;
    }
    std::optional<plat::Image> want = plat::DecodeImage(golden, false);
    ASSERT_TRUE(want) << "missing golden frame " << golden << " (scripts/regen-golden)";
    ASSERT_EQ(want->width, frame.width);
    ASSERT_EQ(want->height, frame.height);
    int differ = 0, firstX = -1, firstY = -1;
    uint32_t got0 = 0, want0 = 0;
    for (int y = 0; y < frame.height; ++y)
        for (int x = 0; x < frame.width; ++x) {
            uint32_t g = frame.pixels[y * frame.width + x] & 0xFFFFFF;
            uint32_t w = want->pixels[y * frame.width + x] & 0xFFFFFF;
            if (g == w) continue;
            if (differ++ == 0) firstX = x, firstY = y, got0 = g, want0 = w;
        }
    if (differ != 0) {
        std::string actual = std::string(KORVANE_BINARY_DIR) + "/golden-actual-" + f.name + ".png";
        plat::WritePng(actual, frame);
        std::ostringstream msg;
        msg << std::hex << "frame " << f.name << ": " << std::dec << differ
            << " pixels differ; first at (" << firstX << ", " << firstY << "): got #" << std::hex
            << got0 << ", golden #" << want0 << "; actual frame written to " << actual;
        ADD_FAILURE() << msg.str();
    }
}

INSTANTIATE_TEST_SUITE_P(Display, GoldenFrames, ::testing::ValuesIn(Frames()),
                         [](const ::testing::TestParamInfo<Frame>& info) {
                             return std::string(info.param.name);
                         });

}  // namespace
