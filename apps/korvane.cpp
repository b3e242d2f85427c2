// korvane: the player.
#include <cstdio>
#include <cstring>

#include "platform/platform.h"
#include "shell/cmdline.h"
#include "shell/modMain.h"

int main(int argc, char** argv) {
    for (int i = 1; i < argc; ++i)
        if (std::strcmp(argv[i], "--help") == 0) return std::fputs(modMain::UsageText(), stdout), 0;
    plat::SetCommandLine(argc, argv);
    plat::Install(plat::MakeSdlDevice());
    modMain::Main();
    return 0;
}
