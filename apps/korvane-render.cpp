// korvane-render: loads a chart on the headless device and prints its model, renders the
// auto-play to WAV and PNG frames, and prints the judgement results.
#include <unistd.h>

#include <cstdio>

#include "shell/render.h"

int main(int argc, char** argv) {
    render::Options opts;
    std::string error;
    if (!render::ParseArgs(argc, argv, opts, error)) {
        std::fprintf(stderr, "korvane-render: %s\n", error.c_str());
        std::fprintf(stderr,
                     "usage: korvane-render CHART [--dump] [--seed N] [--measure N] [--fps N]\n"
                     "       [--set Field=Value]... [--wav FILE] [--stats] [--decode-first] [--png FILE --at MS]...\n");
        return 2;
    }
    opts.progress = isatty(STDERR_FILENO) != 0;
    return opts.dump ? render::Dump(opts) : render::Play(opts);
}
