// Placeholders until the platform layer is written; delete each as it is implemented.
#include <cstdlib>

#include "platform/headless.h"
#include "platform/platform.h"

namespace plat {
struct Mixer::Voice {};
std::optional<Image> DecodeImage(const std::string&, bool) { return std::nullopt; }
std::optional<Image> RenderText(const std::string&, const std::string&) { return std::nullopt; }
bool WritePng(const std::string&, const Image&) { return false; }
std::optional<Pcm> DecodeSound(const std::string&) { return std::nullopt; }
std::string ExeDir() { return "./"; }
bool IsRegularFile(const std::string&) { return false; }
std::string ResolvePath(const std::string& p) { return p; }
std::vector<std::string> ListSameBase(const std::string&, const std::string&) { return {}; }
std::optional<std::string> ReadFile(const std::string&, size_t) { return std::nullopt; }
bool WriteFileAtomic(const std::string&, const std::string&) { return false; }
bool AppendFile(const std::string&, const std::string&) { return false; }
std::string ChartTextToUtf8(const std::string& b) { return b; }
bool IsValidUtf8(const std::string&) { return true; }
static bool g_throws = false;
void ExitProcess(int code) { if (g_throws) throw ProcessExit{code}; std::exit(code); }
void SetExitThrows(bool t) { g_throws = t; }
void SetCommandLine(int, char**) {}
std::string CommandLine() { return ""; }
bool HandOverToRunningInstance(const std::string&) { return false; }
bool ListenForInstances() { return false; }
std::optional<std::string> PollInstanceMessage() { return std::nullopt; }
void StopListening() {}
std::unique_ptr<Device> MakeSdlDevice() { return nullptr; }
static std::unique_ptr<Device> g_dev;
Device& Dev() { return *g_dev; }
void Install(std::unique_ptr<Device> d) { g_dev = std::move(d); }
int32_t Pcm::BytesPerSample() const { return 2; }
Mixer::Mixer(int32_t r) : outputRate_(r) {}
Mixer::~Mixer() {}
VoiceId Mixer::Create(std::shared_ptr<const Pcm>) { return 0; }
void Mixer::Release(VoiceId) {}
void Mixer::Play(VoiceId, uint32_t) {}
void Mixer::Stop(VoiceId) {}
bool Mixer::IsPlaying(VoiceId) { return false; }
uint32_t Mixer::Position(VoiceId) { return 0; }
void Mixer::SetFrequency(VoiceId, int32_t) {}
void Mixer::SetAttenuation(VoiceId, int32_t) {}
void Mixer::SetMasterGain(float) {}
void Mixer::Mix(float*, int32_t) {}
int32_t Mixer::PlayingVoices() { return 0; }
HeadlessDevice& InstallHeadless() { std::abort(); }
}  // namespace plat
