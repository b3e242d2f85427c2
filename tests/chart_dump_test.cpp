// korvane-render CHART --dump: its options, its output against golden files, and its failures.
#include <sys/wait.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

#include "chart_fixture.h"
#include "shell/render.h"

namespace {

using namespace charttest;

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

std::string Data(const std::string& name) {
    return std::string(KORVANE_SOURCE_DIR) + "/tests/data/charts/" + name;
}

// The first line where two texts differ, both versions side by side.
std::string FirstDifference(const std::string& expected, const std::string& actual) {
    std::istringstream a(expected), b(actual);
    std::string la, lb;
    for (int n = 1;; ++n) {
        bool ha = static_cast<bool>(std::getline(a, la)),
             hb = static_cast<bool>(std::getline(b, lb));
        if (!ha && !hb) return "";
        if (la != lb || ha != hb)
            return "line " + std::to_string(n) + ":\n  expected: " + (ha ? la : "(end)") +
                   "\n  actual:   " + (hb ? lb : "(end)");
    }
}

struct RenderRun {
    int code = -1;
    std::string out, err;
};

class RenderDump : public ChartTest {
  protected:
    RenderRun Render(const std::string& args) {
        std::string out = Path("out.txt"), err = Path("err.txt");
        std::string cmd =
            std::string(KORVANE_BINARY_DIR) + "/korvane-render " + args + " >" + out + " 2>" + err;
        int status = std::system(cmd.c_str());
        RenderRun r;
        r.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        r.out = ReadAll(out);
        r.err = ReadAll(err);
        return r;
    }
    static int Lines(const std::string& s) {
        int n = 0;
        for (char c : s) n += c == '\n';
        return n;
    }
};

TEST_F(RenderDump, PrintsTheModelLikeTheGoldenFile) {
    for (const char* variant : {"", " --measure 2"}) {
        RenderRun r = Render(Data("dump.bms") + " --dump --seed 7" + variant);
        ASSERT_EQ(r.code, 0) << r.err;
        std::string golden = ReadAll(Data(*variant ? "dump.seed7.measure2.txt" : "dump.seed7.txt"));
        EXPECT_EQ(FirstDifference(golden, r.out), "") << variant;
    }
}

TEST_F(RenderDump, DumpTextFollowsTheLoadedModel) {
    SetRandomSeed(7);
    LoadFile(Data("dump.bms"));
    std::string text = render::DumpText();
    EXPECT_EQ(FirstDifference(ReadAll(Data("dump.seed7.txt")), text), "");
    // One header block, then MaxMeasure + 2 measures, then every record.
    EXPECT_EQ(Lines(text), 16 + (MaxMeasure + 2) + static_cast<int>(Obj.UBound() + 1));
}

TEST_F(RenderDump, MissingOrEmptyChartIsOneLineOnStandardError) {
    RenderRun missing = Render(Path("absent.bms") + " --dump");
    EXPECT_EQ(missing.code, 1);
    EXPECT_EQ(missing.out, "");
    EXPECT_EQ(Lines(missing.err), 1) << missing.err;
    fs::create_directory(Path("folder.bms"));
    RenderRun folder = Render(Path("folder.bms") + " --dump");
    EXPECT_EQ(folder.code, 1);
    EXPECT_EQ(Lines(folder.err), 1) << folder.err;
    WriteFile(Path("empty.bms"), "#TITLE nothing\r\n#00131:01\r\n");
    RenderRun empty = Render(Path("empty.bms") + " --dump");
    EXPECT_EQ(empty.code, 1);
    EXPECT_EQ(empty.out, "");
    EXPECT_EQ(Lines(empty.err), 1) << empty.err;
}

TEST_F(RenderDump, NeverTouchesTheSettingsOrErrorFiles) {
    std::string ini = std::string(KORVANE_BINARY_DIR) + "/krv.ini";
    std::string errors = std::string(KORVANE_BINARY_DIR) + "/error.txt";
    bool iniBefore = fs::exists(ini), errorsBefore = fs::exists(errors);
    std::string iniText = iniBefore ? ReadAll(ini) : "";
    // One good chart, and one that ends in a run-time error.
    WriteFile(Path("bad.bms"), "#PLAYER 1e20\n#00111:01\n");
    RenderRun good = Render(Data("dump.bms") + " --dump");
    RenderRun bad = Render(Path("bad.bms") + " --dump");
    EXPECT_EQ(good.code, 0);
    EXPECT_EQ(bad.code, 1);
    EXPECT_NE(bad.err.find("@LoadBMSHeader"), std::string::npos) << bad.err;
    EXPECT_EQ(fs::exists(ini), iniBefore);
    if (iniBefore) {
        EXPECT_EQ(ReadAll(ini), iniText);
    }
    EXPECT_EQ(fs::exists(errors), errorsBefore);
}

bool Parse(std::vector<std::string> args, render::Options& o, std::string& error) {
    args.insert(args.begin(), "korvane-render");
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    return render::ParseArgs(static_cast<int>(argv.size()), argv.data(), o, error);
}

TEST(RenderArgs, ReadsEveryOption) {
    render::Options o;
    std::string error;
    ASSERT_TRUE(
        Parse({"--seed", "42",     "song.bms", "--dump", "--measure", "12",      "--fps",   "120",
               "--set",  "HS=2.5", "--set",    "BGA=0",  "--wav",     "out.wav", "--stats", "--png",
               "a.png",  "--at",   "1000",     "--png",  "b.png",     "--at",    "-1"},
              o, error))
        << error;
    EXPECT_EQ(o.chart, "song.bms");
    EXPECT_TRUE(o.dump);
    EXPECT_EQ(o.seed, 42);
    EXPECT_EQ(o.measure, 12);
    EXPECT_EQ(o.fps, 120);
    ASSERT_EQ(o.sets.size(), 2u);
    EXPECT_EQ(o.sets[0], (std::pair<std::string, std::string>{"HS", "2.5"}));
    EXPECT_EQ(o.sets[1].second, "0");
    EXPECT_EQ(o.wav, "out.wav");
    EXPECT_TRUE(o.stats);
    ASSERT_EQ(o.pngs.size(), 2u);
    EXPECT_EQ(o.pngs[0], (std::pair<std::string, int64_t>{"a.png", 1000}));
    EXPECT_EQ(o.pngs[1], (std::pair<std::string, int64_t>{"b.png", -1}));  // the idle frame
}

TEST(RenderArgs, DefaultsWithTheChartAlone) {
    render::Options o;
    std::string error;
    ASSERT_TRUE(Parse({"a b.bme"}, o, error));
    EXPECT_EQ(o.chart, "a b.bme");
    EXPECT_FALSE(o.dump);
    EXPECT_EQ(o.seed, -1);
    EXPECT_EQ(o.measure, 0);
    EXPECT_EQ(o.fps, 60);
}

TEST(RenderArgs, RejectsMalformedLines) {
    const std::vector<std::vector<std::string>> bad = {
        {},
        {"--dump"},
        {"a.bms", "b.bms"},
        {"a.bms", "--seed"},
        {"a.bms", "--seed", "x"},
        {"a.bms", "--seed", "-3"},
        {"a.bms", "--measure", "1000"},
        {"a.bms", "--measure", "2.5"},
        {"a.bms", "--fps", "0"},
        {"a.bms", "--set", "=1"},
        {"a.bms", "--set", "HS"},
        {"a.bms", "--at", "5"},
        {"a.bms", "--png", "x.png", "--at", "-2"},
        {"a.bms", "--png", "x.png"},
        {"a.bms", "--png", "x.png", "--at", "1", "--at", "2"},
        {"a.bms", "--frobnicate"},
    };
    for (const auto& args : bad) {
        render::Options o;
        std::string error;
        EXPECT_FALSE(Parse(args, o, error)) << (args.empty() ? "(nothing)" : args.back());
        EXPECT_FALSE(error.empty());
    }
}

}  // namespace
