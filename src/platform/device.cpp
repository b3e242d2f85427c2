// The device registry: one device in use at a time. Code that runs before a program installs its
// device (and every test) gets a headless one, so the clock and the mixer always exist.
#include <mutex>

#include "platform/headless.h"
#include "platform/platform.h"

namespace plat {

namespace {
std::unique_ptr<Device> g_device;
std::mutex g_deviceLock;
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
