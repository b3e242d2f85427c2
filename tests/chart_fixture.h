// Chart loading on the headless device: every module reset, the process end caught, a temporary
// folder for chart files, and short ways to load a chart text and look at the result.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "chart/chart_internal.h"
#include "chart/modBMSLoad.h"
#include "platform/headless.h"
#include "platform/platform.h"
#include "play/modCount.h"
#include "play/modKey.h"
#include "shell/frmMain.h"
#include "shell/modMain.h"
#include "shell/settings.h"
#include "sound/modSound.h"

namespace charttest {

namespace fs = std::filesystem;
using namespace modBMSLoad;

inline std::string C4(vb::Currency c) {
    return vb::FormatCurrency4(c);
}

inline void WriteFile(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

// The folder of the shared third-party charts; empty when it is not there.
inline std::string SharedCharts() {
    fs::path p = fs::path(KORVANE_SOURCE_DIR) / ".." / "shared" / "testdata";
    std::error_code ec;
    return fs::is_directory(p, ec) ? fs::canonical(p).string() : std::string();
}

// A shared chart found by its file name anywhere below the shared folder.
inline std::string FindSharedChart(const std::string& name) {
    std::string root = SharedCharts();
    if (root.empty()) return "";
    for (const auto& e : fs::recursive_directory_iterator(root))
        if (e.path().filename() == name) return e.path().string();
    return "";
}

#define REQUIRE_SHARED_CHART(var, name)                 \
    std::string var = charttest::FindSharedChart(name); \
    if (var.empty()) GTEST_SKIP() << "../shared/testdata with " << name << " is absent"

class ChartTest : public ::testing::Test {
  protected:
    void SetUp() override {
        dev = &plat::InstallHeadless();
        dev->OpenVideo(modMain::kScreenWidth, modMain::kScreenHeight);
        plat::SetExitThrows(true);
        modMain::Reset();
        modKey::Reset();
        modCount::Reset();
        modSound::Reset();
        modBMSLoad::Reset();
        frmMain::Reset();
        modMain::AppTitle = "Korvane 1.0.0";
        modMain::UseSettingsFile = false;
        modMain::UseInstanceHandOver = false;
        modMain::Settings.BGA = 3;
        char pattern[] = "/tmp/korvane-chart-XXXXXX";
        dir = mkdtemp(pattern);
        SetRandomSeed(12345);
        dev->SetTime(5000);
    }
    void TearDown() override {
        std::error_code ec;
        fs::remove_all(dir, ec);
    }

    std::string Path(const std::string& name) const { return dir + "/" + name; }

    // Writes the chart and loads it as the play clock would.
    void Load(const std::string& text, const std::string& name = "chart.bms") {
        WriteFile(Path(name), text);
        LoadFile(Path(name));
    }
    void LoadFile(const std::string& path) {
        BMSFileName = path;
        modMain::PlayState = modMain::PS_LOAD;
        LoadBMS();
    }
    // Only reads lines into the raw object list (no sort), as the parsers see them.
    void Read(const std::vector<std::string>& lines) {
        BMSFileName = Path("raw.bms");
        LoadBMSStart();
        for (const auto& l : lines) LoadBMSLine(l);
    }

    // The records of Obj that are neither bar lines nor cleared, in play order.
    std::vector<ObjRecord> Objects() const {
        std::vector<ObjRecord> out;
        for (long i = 0; i <= Obj.UBound(); ++i)
            if (Obj[i].Channel != CH_BARLINE && Obj[i].Channel != 0) out.push_back(Obj[i]);
        return out;
    }
    std::vector<ObjRecord> OnChannel(vb::Integer channel) const {
        std::vector<ObjRecord> out;
        for (const auto& o : Objects())
            if (o.Channel == channel) out.push_back(o);
        return out;
    }
    long IndexOfBarLine(int measure) const {
        for (long i = 0; i <= Obj.UBound(); ++i)
            if (Obj[i].Channel == CH_BARLINE && Obj[i].Measure == measure) return i;
        return -1;
    }

    // Runs `f`, which must end the program through the error report; returns the report text.
    template <typename F>
    std::string ReportOf(F&& f) {
        size_t before = dev->MessageBoxes().size();
        try {
            f();
        } catch (const plat::ProcessExit& e) {
            EXPECT_EQ(e.code, 1);
            if (dev->MessageBoxes().size() > before) return dev->MessageBoxes().back();
            return "(no message)";
        }
        ADD_FAILURE() << "no run-time error was reported";
        return "";
    }

    plat::HeadlessDevice* dev = nullptr;
    std::string dir;
};

}  // namespace charttest
