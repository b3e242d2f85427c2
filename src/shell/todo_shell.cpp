// Placeholders until the shell is written; delete each as it is implemented.
#include "platform/platform.h"
#include "shell/cmdline.h"
#include "shell/frmMain.h"
#include "shell/modMain.h"
#include "shell/settings.h"

namespace modMain {
void Main() {}
void StartUp() {}
void RunFrame() {}
void MessagePass() {}
void CheckFPS() {}
Long GetRefreshRate() { return 60; }
void ShutDown(Long errNo, const std::string&, const std::string&) { plat::ExitProcess(errNo ? 1 : 0); }
void Report(const vb::Error& e, const std::string& procName) { ShutDown(e.number, e.description, procName); }
void Reset() {}
Long ConfigRetry = 0;
std::string GetIni(const std::string&, const std::string&, const std::string& def) { return def; }
bool WriteIni(const std::string&, const std::string&, const std::string&) { return false; }
void LoadConfig() {}
void LoadDefaultConfig() {}
void SaveConfig() {}
bool ReadCmdLine(const std::string&) { return false; }
bool ParseCmdArg(const std::string&) { return false; }
}  // namespace modMain

namespace frmMain {
std::string DialogFileName;
void Form_Load() {}
void Form_DblClick() {}
void Form_OLEDragDrop(const std::string&) {}
void Form_QueryUnload() {}
void MouseWheel(int) {}
void Reset() {}
}  // namespace frmMain

namespace modMessage {
void FindPrevInstance() {}
void HandleHandOver(const std::string&) {}
std::string TrimNull(const std::string& t) { return t.substr(0, t.find('\0')); }
}  // namespace modMessage
