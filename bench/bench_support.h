// What the loader and player benchmarks stand on.
#pragma once

#include "platform/headless.h"
#include "platform/platform.h"
#include "shell/modMain.h"
#include "shell/settings.h"

namespace bench {

// The headless device with its offline mixer open, the run-time error hooks, no krv.ini; made
// once per process.
inline plat::HeadlessDevice& HeadlessPlayer() {
    static plat::HeadlessDevice& device = []() -> plat::HeadlessDevice& {
        plat::HeadlessDevice& made = plat::InstallHeadless();
        made.OpenAudio();
        modMain::InstallHooks();
        modMain::UseSettingsFile = false;
        return made;
    }();
    return device;
}

}  // namespace bench
