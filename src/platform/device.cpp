// The device registry: one device in use at a time. Code that runs before a program installs its
// device (and every test) gets a headless one, so the clock and the mixer always exist.
#include <mutex>

#include "platform/headless.h"
#include "platform/platform.h"

namespace plat {

namespace {
// Never destroyed: sound slots and other module state may still reach for the device while the
// process runs its exit handlers, and the audio thread may still be mixing.
std::unique_ptr<Device>& g_device = *new std::unique_ptr<Device>;
std::mutex& g_deviceLock = *new std::mutex;
}  // namespace

Device& Dev() {
    std::lock_guard<std::mutex> guard(g_deviceLock);
    if (!g_device) g_device = std::make_unique<HeadlessDevice>();
    return *g_device;
}

void Install(std::unique_ptr<Device> device) {
    std::lock_guard<std::mutex> guard(g_deviceLock);
    g_device = std::move(device);
}

HeadlessDevice& InstallHeadless() {
    auto device = std::make_unique<HeadlessDevice>();
    HeadlessDevice& ref = *device;
    Install(std::move(device));
    return ref;
}

}  // namespace plat
