// Chart loading on the headless device: every module reset, the process end caught, a temporary
// folder for chart files, and short ways to load a chart text and look at the result.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "chart/chart_internal.h"
#include "support.h"

namespace charttest {

namespace fs = std::filesystem;
using namespace modBMSLoad;

inline std::string C4(vb::Currency c) {
    return vb::FormatCurrency4(c);
}

using testsupport::FindSharedChart;
using testsupport::SharedCharts;
using testsupport::WriteFile;

class ChartTest : public testsupport::Test {
  protected:
    void SetUp() override {
        Test::SetUp();
        dev->OpenVideo(modMain::kScreenWidth, modMain::kScreenHeight);
        dir = tmp.path();
        SetRandomSeed(12345);
        dev->SetTime(5000);
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

    std::string dir;
};

}  // namespace charttest
