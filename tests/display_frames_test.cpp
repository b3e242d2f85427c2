// Golden frames. Each case of tests/data/display/frames.txt holds a korvane-render command line;
// the program starts on the headless device as korvane-render starts it, plays the chart of
// tests/data/display/charts/ through the real frame loop, and every --png frame taken at its
// --at time must equal tests/data/display/frames/<the PNG>. KORVANE_UPDATE_EXPECTED=1 rewrites
// them: look at every picture that changed before committing it.
#include <algorithm>
#include <filesystem>
#include <sstream>

#include "shell/render.h"
#include "support.h"

namespace {

namespace fs = std::filesystem;
using testsupport::Case;
using testsupport::DataPath;

std::string Field(const Case& c, const std::string& key) {
    return c.has(key) ? c.at(key) : "";
}

std::vector<std::string> Words(const std::string& text) {
    std::istringstream in(text);
    std::vector<std::string> words{"korvane-render"};
    for (std::string w; in >> w;) words.push_back(w);
    return words;
}

// The frame replaced by texts of the bitmap font on black, one "X Y TEXT" a line.
void DrawTexts(const std::string& lines) {
    std::fill(modDraw::BackBuffer.pixels.begin(), modDraw::BackBuffer.pixels.end(), 0);
    std::istringstream in(lines);
    for (std::string line; std::getline(in, line);) {
        std::istringstream fields(line);
        int x = 0, y = 0;
        fields >> x >> y;
        fields.get();
        std::string text;
        std::getline(fields, text);
        modDraw::DrawText(text, x, y);
    }
}

class Frames : public testsupport::Test, public ::testing::WithParamInterface<Case> {
  protected:
    // Frames until the play time reaches `at` (at once for the idle frame, -1).
    void PlayTo(int64_t at) {
        if (at < 0) return modMain::RunFrame();
        ASSERT_TRUE(testsupport::PlayUntil(at, 100000)) << "the play time was never reached";
        for (char key : Field(GetParam(), "press")) {
            dev->SetKey(key, true);
            render::RunFrame();
            dev->SetKey(key, false);
        }
    }

    void Run(const Case& c) {
        std::vector<std::string> words = Words(c.at("render"));
        std::vector<char*> argv;
        for (std::string& w : words) argv.push_back(w.data());
        render::Options opts;
        std::string error;
        ASSERT_TRUE(render::ParseArgs(int(argv.size()), argv.data(), opts, error)) << error;
        // The program folder holds the art the build places beside the program, or the case's.
        fs::copy(c.has("art") ? DataPath("display/" + c.at("art"))
                              : std::string(KORVANE_SOURCE_DIR) + "/assets/image",
                 tmp / "image");
        modMain::AppPath = tmp.path() + "/";
        modMain::StartUp();
        ASSERT_TRUE(render::ApplyOptions(opts));
        modBMSLoad::SetRandomSeed(opts.seed < 0 ? 1 : opts.seed);
        std::stable_sort(opts.pngs.begin(), opts.pngs.end(),
                         [](const auto& a, const auto& b) { return a.second < b.second; });
        bool loaded = false;
        for (const auto& [png, at] : opts.pngs) {
            if (at >= 0 && !loaded) {
                loaded = true;
                modBMSLoad::BMSFileName = DataPath("display/charts/" + opts.chart);
                modBMSLoad::StartMeasure = static_cast<vb::Integer>(opts.measure);
                modMain::PlayState = modMain::PS_LOAD;
            }
            PlayTo(at);
            if (HasFatalFailure()) return;
            if (c.has("text"))
                DrawTexts(c.at("text"));
            else
                EXPECT_TRUE(dev->LastFrame() == modDraw::BackBuffer.pixels)
                    << "not the frame shown";
            EXPECT_TRUE(
                testsupport::SamePicture(DataPath("display/frames/" + png), modDraw::BackBuffer));
        }
    }
};

TEST_P(Frames, EqualTheirGoldenPictures) {
    try {
        Run(GetParam());
    } catch (const plat::ProcessExit& e) {
        FAIL() << "the program ended with code " << e.code;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Display, Frames, ::testing::ValuesIn(testsupport::ReadCases(DataPath("display/frames.txt"))),
    [](const ::testing::TestParamInfo<Case>& info) { return info.param.at("name"); });

}  // namespace
