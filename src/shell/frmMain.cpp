#include "shell/frmMain.h"

#include "chart/modBMSLoad.h"
#include "platform/platform.h"
#include "play/modCount.h"
#include "play/modKey.h"
#include "shell/cmdline.h"
#include "shell/desktop.h"
#include "shell/modMain.h"

namespace frmMain {

std::string DialogFileName;

void Reset() {
    DialogFileName.clear();
    ResetDesktop();
}

// The device made the window with its 587 x 256 client area and the default font face; the
// position comes from the settings.
void Form_Load() {
    plat::Dev().SetCaption(modMain::AppTitle);
}

void Form_DblClick() {
    using modMain::PlayState;
    bool paused = false;
    if (PlayState == modMain::PS_PLAY || PlayState == modMain::PS_END) {
        modKey::PlayPause();
        paused = true;
    }
    try {
        std::optional<std::string> chosen =
            plat::Dev().OpenFileDialog(modMain::AppPath, DialogFileName);
        if (chosen) {
            DialogFileName = *chosen;
            modBMSLoad::BMSFileName = *chosen;
            modBMSLoad::StartMeasure = 0;
            PlayState = modMain::PS_LOAD;
            return;
        }
    } catch (const vb::Error&) {
        // A failing dialog counts as cancelled.
    }
    if (paused) modKey::PlayResume();
}

// Read as the one token of a command line, whatever it holds: a quoted line could not carry a
// name with a double quote, which Linux allows.
bool Form_OLEDragDrop(const std::string& path) {
    modBMSLoad::StartMeasure = 0;
    return modMain::ParseCmdArg(path);
}

void Form_QueryUnload() {
    modMain::ShutDown(0, "", "");
}

void MouseWheel(int delta) {
    double measure = modCount::CurrentMeasure + (delta > 0 ? -1.0 : 1.0);
    modBMSLoad::SeekBMS(vb::CInt(measure));
}

}  // namespace frmMain
