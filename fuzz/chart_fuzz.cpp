// libFuzzer target: arbitrary bytes loaded as a chart through the whole load (reading, text
// encoding, header and object lines, sorting, long-note pairing, timing) and a seek to a measure
// taken from the input. Reading lines never ends the program: only the sorting and timing of
// absurd tempo and stop combinations may report a run-time error (its process end is caught); a
// report from any other step, and anything the sanitizers see, is a finding.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <memory>
#include <set>
#include <string>

#include "base/report.h"
#include "chart/modBMSLoad.h"
#include "platform/headless.h"
#include "platform/platform.h"
#include "shell/modMain.h"
#include "shell/settings.h"

namespace {

// The headless device without the standard-error copy of every error report.
class QuietDevice : public plat::HeadlessDevice {
  public:
    void ShowMessageBox(const std::string&, const std::string&) override {}
};

std::string chartPath;

// The steps allowed to end a load with an error report.
const std::set<std::string> kMayReport = {"LoadBMSSort", "PlayTimeCount"};

void EndOnlyWhereAllowed(vb::Long errNo, const std::string& errDescription,
                         const std::string& procName) {
    if (!kMayReport.count(procName)) {
        std::fprintf(stderr, "error %d (%s) reported by %s\n", errNo, errDescription.c_str(),
                     procName.c_str());
        std::abort();
    }
    modMain::EndProgram(errNo, errDescription, procName);
}

void WriteChart(const uint8_t* data, size_t size) {
    FILE* f = std::fopen(chartPath.c_str(), "wb");
    if (!f) std::abort();
    if (size && std::fwrite(data, 1, size, f) != size) std::abort();
    std::fclose(f);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    char pattern[] = "/tmp/korvane-fuzz-XXXXXX";
    if (!mkdtemp(pattern)) std::abort();
    chartPath = std::string(pattern) + "/chart.bms";
    plat::Install(std::make_unique<QuietDevice>());
    plat::SetExitThrows(true);
    modMain::InstallHooks();
    modMain::SetShutDownHandler(EndOnlyWhereAllowed);
    modMain::AppTitle = "Korvane 1.0.0";
    modMain::UseSettingsFile = false;
    modMain::UseInstanceHandOver = false;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    WriteChart(data, size);
    uint32_t h = 2166136261u;
    for (size_t i = 0; i < size; ++i) h = (h ^ data[i]) * 16777619u;
    modBMSLoad::SetRandomSeed(h & 0xFFFF);
    modBMSLoad::StartMeasure = static_cast<vb::Integer>((h >> 16) % 4 == 0 ? 0 : (h >> 16) % 1000);
    modMain::Settings.BGA = static_cast<vb::Long>(h & 1);
    modBMSLoad::BMSFileName = chartPath;
    modMain::PlayState = modMain::PS_LOAD;
    try {
        modBMSLoad::LoadBMS();
    } catch (const plat::ProcessExit&) {
        // The sorting or timing went to the error report, as the chart's limits allow.
    }
    return 0;
}
