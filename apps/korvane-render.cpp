// korvane-render: loads a chart on the headless device and prints its model, renders the
// auto-play to WAV and PNG frames, and prints the judgement results.
#include <unistd.h>

#include <cstdio>

#include "platform/platform.h"
#include "shell/render.h"

int main(int argc, char** argv) {
    render::Options opts;
    std::string error;
    if (!render::ParseArgs(argc, argv, opts, error)) {
        std::fprintf(stderr, "korvane-render: %s\n%s", error.c_str(), render::Usage().c_str());
        return 2;
    }
    if (opts.help) {
        std::fputs(render::Usage().c_str(), stdout);
        return 0;
    }
    opts.progress = isatty(STDERR_FILENO) != 0;
    int code = opts.dump ? render::Dump(opts) : render::Play(opts);
    plat::CloseFonts();
    return code;
}
