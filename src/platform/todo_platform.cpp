// Placeholders until the platform layer is written; delete each as it is implemented.
#include "platform/platform.h"

namespace plat {
std::optional<Image> DecodeImage(const std::string&, bool) { return std::nullopt; }
std::optional<Image> RenderText(const std::string&, const std::string&) { return std::nullopt; }
bool WritePng(const std::string&, const Image&) { return false; }
std::optional<Pcm> DecodeSound(const std::string&) { return std::nullopt; }
bool HandOverToRunningInstance(const std::string&) { return false; }
bool ListenForInstances() { return false; }
std::optional<std::string> PollInstanceMessage() { return std::nullopt; }
void StopListening() {}
std::unique_ptr<Device> MakeSdlDevice() { return nullptr; }
}  // namespace plat
