#include "base/vb.h"
#include "platform/platform.h"
#include "shell/cmdline.h"
#include "shell/frmMain.h"

namespace modMessage {

bool FindPrevInstance() {
    return plat::HandOverToRunningInstance(plat::HandOverCommandLine());
}

void HandleHandOver(const std::string& raw) {
    modMain::ReadCmdLine(vb::Trim(TrimNull(raw)));
}

std::string TrimNull(const std::string& text) {
    return text.substr(0, text.find('\0'));
}

}  // namespace modMessage
