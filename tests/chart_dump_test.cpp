// Every chart in tests/data/chart is loaded as korvane-render loads it and compared with its
// expected files, each named CHART[.seedS][.measureM].txt for a load with #RANDOM seed S (1 when
// not named) and start measure M; a chart without one is compared with CHART.txt. An expected
// file holds the dump, then what the dump leaves out: the entries of the per-id tables that are
// set, the sounds and pictures loaded, a playback limit other than 200, and where a start measure
// put the play clock. A chart without objects gives "idle" and the header lines; a run-time error
// of the timing gives the text of the error report that ends the program. The charts named
// too-big-* hold numbers beyond their field's type, which no line may end the program with. The
// shared third-party charts' files are in shared/, named alike. KORVANE_UPDATE_EXPECTED=1 rewrites
// the expected files from the program.
#include <sys/wait.h>

#include <algorithm>
#include <filesystem>
#include <sstream>

#include "display/surfaces.h"
#include "shell/render.h"
#include "support.h"

namespace {

using namespace modBMSLoad;
using testsupport::DataPath;
using testsupport::ReadFile;
namespace fs = std::filesystem;

std::string Tables() {
    std::ostringstream out;
    for (int id = 0; id <= 1295; ++id) {
        const BgaRecord& b = BgaTable[id];
        const RECT& r = b.SrcRect;
        const clsDrawSurface& bmp = modDraw::BmpSurface[id];
        if (BpmTable[id] != 0) out << "bpm\t" << id << '\t' << vb::RoundTrip(BpmTable[id]) << '\n';
        if (StopTable[id] != 0) out << "stop\t" << id << '\t' << StopTable[id] << '\n';
        if (b.BmpNo || r.Left || r.Top || r.Right || r.Bottom || b.DestX || b.DestY)
            out << "bga\t" << id << '\t' << b.BmpNo << '\t' << r.Left << '\t' << r.Top << '\t'
                << r.Right << '\t' << r.Bottom << '\t' << b.DestX << '\t' << b.DestY << '\n';
        if (modSound::WavBuffer[id].isInitialized()) out << "wav\t" << id << '\n';
        if (bmp.isInitialized())
            out << "bmp\t" << id << '\t' << bmp.Width() << '\t' << bmp.Height() << '\n';
    }
    if (modMain::Settings.MaxFrequency != 200)
        out << "MaxFrequency\t" << modMain::Settings.MaxFrequency << '\n';
    if (StartMeasure != 0)
        out << "seek\t" << modCount::CurrentMeasure << '\t'
            << vb::FormatCurrency4(modCount::PlayTime) << '\n';
    return out.str();
}

// After the whole start-up and the load of a chart of header lines only (which must leave
// nothing behind), the play clock's step loads the chart.
std::string LoadAndDescribe(plat::HeadlessDevice& dev, const std::string& chart, int64_t seed,
                            int measure) {
    try {
        modMain::StartUp();
        StartMeasure = static_cast<vb::Integer>(measure);
        SetRandomSeed(seed);
        for (const std::string& file : {DataPath("chart/media/previous-chart.bms"), chart}) {
            BMSFileName = file;
            modMain::PlayState = modMain::PS_LOAD;
            modCount::CountMain();
        }
    } catch (const plat::ProcessExit&) {
        return dev.MessageBoxes().empty() ? "(no report)" : dev.MessageBoxes().back() + "\n";
    }
    std::string dump = render::DumpText();
    if (ObjCount == 0 || modMain::PlayState == modMain::PS_IDLE)
        return "idle\n" + dump.substr(0, dump.find("measure\t"));
    return dump + Tables();
}

// The length of the chart's name at the start of a file name (0: no chart name).
size_t ChartNameLength(const std::string& name) {
    size_t end = std::string::npos;
    for (const char* ext : {".bms.", ".bme.", ".bml.", ".pms."})
        end = std::min(end, name.find(ext));
    return end == std::string::npos ? 0 : end + 4;
}

// Every .txt file named after a chart, CHART.txt for a chart that has none yet, and the files of
// the shared charts.
std::vector<std::string> ExpectedFiles() {
    std::string dir = DataPath("chart");
    std::vector<std::string> names, files;
    for (const auto& e : fs::directory_iterator(dir)) names.push_back(e.path().filename());
    std::sort(names.begin(), names.end());
    for (const std::string& chart : names) {
        if (ChartNameLength(chart + ".") != chart.size()) continue;
        size_t before = files.size();
        for (const std::string& txt : names)
            if (txt.rfind(chart + ".", 0) == 0 && txt.rfind(".txt") == txt.size() - 4)
                files.push_back(dir + "/" + txt);
        if (files.size() == before) files.push_back(dir + "/" + chart + ".txt");
    }
    for (const auto& e : fs::directory_iterator(dir + "/shared")) files.push_back(e.path());
    return files;
}

bool IsShared(const fs::path& expected) {
    return expected.parent_path().filename() == "shared";
}

class ChartDump : public testsupport::Test, public ::testing::WithParamInterface<std::string> {};

TEST_P(ChartDump, MatchesTheExpectedFile) {
    std::string name = fs::path(GetParam()).filename(),
                chart = name.substr(0, ChartNameLength(name));
    std::string path =
        IsShared(GetParam()) ? testsupport::FindSharedChart(chart) : DataPath("chart/" + chart);
    if (path.empty()) GTEST_SKIP() << "../shared/testdata with " << chart << " is absent";
    int64_t seed = 1;
    int measure = 0;
    std::istringstream parts(name.substr(chart.size()));
    for (std::string part; std::getline(parts, part, '.');) {
        if (part.rfind("seed", 0) == 0) seed = std::stoll(part.substr(4));
        if (part.rfind("measure", 0) == 0) measure = std::stoi(part.substr(7));
    }
    EXPECT_TRUE(
        testsupport::SameTextAsFile(GetParam(), LoadAndDescribe(*dev, path, seed, measure)));
}

INSTANTIATE_TEST_SUITE_P(Charts, ChartDump, ::testing::ValuesIn(ExpectedFiles()),
                         [](const ::testing::TestParamInfo<std::string>& info) {
                             std::string name = IsShared(info.param) ? "shared_" : "";
                             for (char ch : fs::path(info.param).stem().string())
                                 name += std::isalnum(static_cast<unsigned char>(ch)) ? ch : '_';
                             return name;
                         });

class RenderDump : public testsupport::Test {
  protected:
    // Runs korvane-render; its exit code, standard output and standard error.
    int Render(const std::string& args, std::string& out, std::string& err) {
        std::string cmd = std::string(KORVANE_BINARY_DIR) + "/korvane-render " + args + " >" +
                          (tmp / "out") + " 2>" + (tmp / "err");
        int status = std::system(cmd.c_str());
        out = ReadFile(tmp / "out");
        err = ReadFile(tmp / "err");
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
};

TEST_F(RenderDump, ThePrintedModelIsTheLoadedOne) {
    std::string chart = DataPath("chart/dump.bms"), out, err;
    ASSERT_EQ(Render(chart + " --dump --seed 7 --measure 2", out, err), 0) << err;
    LoadAndDescribe(*dev, chart, 7, 2);
    EXPECT_TRUE(testsupport::SameText(render::DumpText(), out));
}

// A failure is one line on standard error, and neither krv.ini nor error.txt is touched.
TEST_F(RenderDump, FailuresAreOneLineAndLeaveTheFilesAlone) {
    auto files = [] {
        std::string state, dir = KORVANE_BINARY_DIR;
        for (const char* name : {"/krv.ini", "/error.txt"})
            state += fs::exists(dir + name) ? "[" + ReadFile(dir + name) + "]" : "absent ";
        return state;
    };
    std::string before = files(), out, err;
    fs::create_directory(tmp / "folder.bms");
    for (std::string chart : {tmp / "absent.bms", tmp / "folder.bms",
                              DataPath("chart/measure-length-alone-is-no-object.bms")}) {
        EXPECT_EQ(Render(chart + " --dump", out, err), 1) << chart;
        EXPECT_EQ(out, "") << chart;
        EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << chart << ": " << err;
    }
    EXPECT_EQ(Render(DataPath("chart/tempo-too-fast-for-the-timing.bms") + " --dump", out, err), 1);
    EXPECT_NE(err.find("@PlayTimeCount"), std::string::npos) << err;
    EXPECT_EQ(files(), before);
}

}  // namespace
