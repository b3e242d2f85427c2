// korvane: the player.
#include "platform/platform.h"
#include "shell/modMain.h"

int main(int argc, char** argv) {
    plat::SetCommandLine(argc, argv);
    plat::Install(plat::MakeSdlDevice());
    modMain::Main();
    return 0;
}
