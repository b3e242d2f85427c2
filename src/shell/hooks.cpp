#include "chart/modBMSLoad.h"
#include "shell/frmMain.h"
#include "shell/modMain.h"

namespace modMain {

namespace {

// The dialog opens on the chart loaded last.
void RememberLoadedChart(const std::string& fileName) {
    frmMain::DialogFileName = fileName;
}

}  // namespace

void InstallHooks() {
    SetShutDownHandler(EndProgram);
    modBMSLoad::MessagePassHook = MessagePass;
    modBMSLoad::LoadStartedHook = RememberLoadedChart;
}

}  // namespace modMain
