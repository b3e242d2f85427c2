// korvane-render: the engine on the headless device, for people and for tests.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace plat {
class HeadlessDevice;
}

namespace render {

struct Options {
    std::string chart;
    bool dump = false;
    int64_t seed = -1;  // -1: seeded from the clock
    int measure = 0;    // start measure (0 = from the beginning)
    int fps = 60;
    std::vector<std::pair<std::string, std::string>> sets;  // --set Field=Value
    std::string wav;                                        // --wav FILE
    bool exact = false;  // --exact: every sound at its object's own time
    bool stats = false;
    bool help = false;
    bool decodeFirst = false;  // --decode-first: every sound decoded before the play clock starts
    std::vector<std::pair<std::string, int64_t>> pngs;  // --png FILE --at MS
    bool progress = false;                              // standard error is a terminal
    // Called before every frame of the play with the device it runs on, so a test can press keys.
    std::function<void(plat::HeadlessDevice&)> beforeFrame;
    // For tests: frames are composed even without --png; the WAV data is held to this limit.
    bool compose = false;
    uint64_t wavLimitBytes = UINT64_MAX;
};

// The command line's usage, every option with a line of its own.
std::string Usage();

// Parses the command line; on a usage error returns false with a message.
bool ParseArgs(int argc, char** argv, Options& opts, std::string& error);
// Loads the chart like the player and prints the model. Exit code.
int Dump(const Options& opts);
// The model as Dump prints it, in tab-separated lines: the header fields, the measures 0 to
// MaxMeasure + 1, every record of Obj.
std::string DumpText();
// Plays the chart to the end of its sounds on the headless device. Exit code.
int Play(const Options& opts);
// After start-up: the frame rate and every --set of the run, in order (a message and false for
// a bad one), and what follows from them for the frame loop.
bool ApplyOptions(const Options& opts);
// One frame of the program's loop as the renderer runs it.
void RunFrame();
// Applies one --set Field=Value to the settings record; false for an unknown field or bad value.
bool ApplySetting(const std::string& field, const std::string& value);

}  // namespace render
