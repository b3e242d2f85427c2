#include "chart/modBMSLoad.h"
#include "shell/desktop.h"
#include "shell/frmMain.h"
#include "shell/modMain.h"

namespace modMain {

namespace {

// The dialog opens on the chart loaded last, and the next chart of a folder is counted from it.
void RememberLoadedChart(const std::string& fileName) {
    frmMain::DialogFileName = fileName;
    frmMain::LoadedChart = fileName;
}

}  // namespace

void InstallHooks() {
    SetShutDownHandler(EndProgram);
    modBMSLoad::MessagePassHook = MessagePass;
    modBMSLoad::LoadStartedHook = RememberLoadedChart;
}

}  // namespace modMain
