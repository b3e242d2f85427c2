#include "display/shared_videos.h"

#include <atomic>

#include "base/shared_decodes.h"
#include "platform/platform.h"

namespace videos {

namespace {

// Frames a playing video may hold at once: the first and the shown one, those decoded ahead and
// their spares, and the one the worker converts.
constexpr size_t kHeldFrames = 8;
constexpr size_t kFrameBytes =
    size_t(plat::kVideoFrameSize) * plat::kVideoFrameSize * sizeof(uint32_t);

std::atomic<int> openCount{0};

// Counts itself among the open videos while it lives.
struct Counted : Held {
    Counted() { ++openCount; }
    ~Counted() { --openCount; }
    Counted(const Counted&) = delete;
    Counted& operator=(const Counted&) = delete;
};

SharedDecodes<Held>& Opened() {
    static SharedDecodes<Held> opened;
    return opened;
}

std::shared_ptr<const Held> OpenNew(const std::string& path, bool greyToBlack) {
    if (openCount.load() >= kMaxOpen) return nullptr;
    auto held = std::make_shared<Counted>();
    held->video = plat::Video::Open(path, greyToBlack);
    if (!held->video) return nullptr;
    if (!held->budget.Add(held->video->Bytes() + kHeldFrames * kFrameBytes))
        throw media::OverBudget();
    return held;
}

}  // namespace

std::shared_ptr<const Held> Open(const std::string& path, bool greyToBlack) {
    std::string identity = plat::FileIdentity(path);
    if (identity.empty()) return nullptr;
    std::string key = path + '\n' + identity + (greyToBlack ? "\nk" : "");
    return Opened().Get(key, [&] { return OpenNew(path, greyToBlack); });
}

}  // namespace videos
