// Placeholders until the platform layer is written; delete each as it is implemented.
#include "platform/platform.h"

namespace plat {
bool HandOverToRunningInstance(const std::string&) { return false; }
bool ListenForInstances() { return false; }
std::optional<std::string> PollInstanceMessage() { return std::nullopt; }
void StopListening() {}
std::unique_ptr<Device> MakeSdlDevice() { return nullptr; }
}  // namespace plat
