// The renderer's command line: one chart and the options of render.h.
#include <charconv>
#include <string_view>

#include "shell/render.h"

namespace render {

namespace {

constexpr int64_t kNoTime = INT64_MIN;  // a --png whose --at has not come yet

// A whole decimal number within [lo, hi].
bool ParseInt(std::string_view text, int64_t lo, int64_t hi, int64_t& out) {
    int64_t v = 0;
    const char* end = text.data() + text.size();
    auto r = std::from_chars(text.data(), end, v);
    if (text.empty() || r.ec != std::errc() || r.ptr != end || v < lo || v > hi) return false;
    out = v;
    return true;
}

class ArgReader {
  public:
    ArgReader(int argc, char** argv) : argc_(argc), argv_(argv) {}
    bool More() const { return next_ < argc_; }
    std::string_view Take() { return argv_[next_++]; }
    // The value after an option; false when the line ends first.
    bool Value(std::string_view option, std::string& out, std::string& error) {
        if (!More()) {
            error = std::string(option) + " needs a value";
            return false;
        }
        out = Take();
        return true;
    }

  private:
    int argc_;
    char** argv_;
    int next_ = 1;
};

bool Number(ArgReader& args, std::string_view option, int64_t lo, int64_t hi, int64_t& out,
            std::string& error) {
    std::string text;
    if (!args.Value(option, text, error)) return false;
    if (ParseInt(text, lo, hi, out)) return true;
    error = std::string(option) + ": not a whole number from " + std::to_string(lo) + " to " +
            std::to_string(hi) + ": " + text;
    return false;
}

bool Option(ArgReader& args, std::string_view opt, Options& opts, std::string& error) {
    int64_t n = 0;
    std::string text;
    if (opt == "--dump") {
        opts.dump = true;
    } else if (opt == "--stats") {
        opts.stats = true;
    } else if (opt == "--decode-first") {
        opts.decodeFirst = true;
    } else if (opt == "--seed") {
        if (!Number(args, opt, 0, INT64_MAX, opts.seed, error)) return false;
    } else if (opt == "--measure") {
        if (!Number(args, opt, 0, 999, n, error)) return false;
        opts.measure = static_cast<int>(n);
    } else if (opt == "--fps") {
        if (!Number(args, opt, 1, 1000, n, error)) return false;
        opts.fps = static_cast<int>(n);
    } else if (opt == "--set") {
        if (!args.Value(opt, text, error)) return false;
        size_t eq = text.find('=');
        if (eq == std::string::npos || eq == 0) {
            error = "--set needs Field=Value: " + text;
            return false;
        }
        opts.sets.emplace_back(text.substr(0, eq), text.substr(eq + 1));
    } else if (opt == "--wav") {
        if (!args.Value(opt, opts.wav, error)) return false;
    } else if (opt == "--exact") {
        opts.exact = true;
    } else if (opt == "--help") {
        opts.help = true;
    } else if (opt == "--png") {
        if (!args.Value(opt, text, error)) return false;
        opts.pngs.emplace_back(text, kNoTime);
    } else if (opt == "--at") {
        if (opts.pngs.empty() || opts.pngs.back().second != kNoTime) {
            error = "--at must follow a --png FILE";
            return false;
        }
        // -1 asks for the idle frame before the chart is loaded.
        if (!Number(args, opt, -1, INT32_MAX, opts.pngs.back().second, error)) return false;
    } else {
        error = "unknown option " + std::string(opt);
        return false;
    }
    return true;
}

}  // namespace

std::string Usage() {
    return "usage: korvane-render CHART [options]\n"
           "Plays CHART in auto-play on a virtual clock, with no window and no sound device,\n"
           "until the chart is over and its last sound has died away (at most 24 hours).\n"
           "  --dump              print the loaded chart's model instead of playing it\n"
           "  --stats             print the judgement results as one line of JSON\n"
           "  --wav FILE          write the sound as a 16-bit 44.1 kHz stereo WAV file\n"
           "                      (written as it is made; at most 4 GB, about 6 h 45 min)\n"
           "  --exact             with --wav: start every sound at its object's own time, to the\n"
           "                      sample, rather than at the frame that reaches it\n"
           "  --png FILE --at MS  write the frame at play time MS as PNG (-1: before loading);\n"
           "                      may be given more than once\n"
           "  --seed N            the seed of #RANDOM (default: from the clock)\n"
           "  --measure N         start at measure N (0 to 999)\n"
           "  --fps N             frames per second of the play clock (1 to 1000, default 60)\n"
           "  --set Field=Value   a setting of krv.ini's [Option] section (VSYNC, FrameRate,\n"
           "                      SinglePlay, HS, Frequency, MaxFrequency, BGA, Effect, SkinType,\n"
           "                      AlwaysOnTop, DispInfo, ShowDebug, AutoPlay, Volume)\n"
           "  --decode-first      decode every sound before the play clock starts (the same\n"
           "                      outputs as the default, which decodes in the order of need)\n"
           "  --help              print this and end\n";
}

bool ParseArgs(int argc, char** argv, Options& opts, std::string& error) {
    ArgReader args(argc, argv);
    bool chartGiven = false;
    while (args.More()) {
        std::string_view arg = args.Take();
        if (arg.size() > 2 && arg.substr(0, 2) == "--") {
            if (!Option(args, arg, opts, error)) return false;
        } else if (chartGiven) {
            error = "only one chart, but also " + std::string(arg);
            return false;
        } else {
            opts.chart = arg;
            chartGiven = true;
        }
    }
    if (opts.help) return true;
    if (!chartGiven) {
        error = "no chart given";
        return false;
    }
    if (opts.exact && opts.wav.empty()) {
        error = "--exact places the sounds of --wav FILE, which is missing";
        return false;
    }
    for (const auto& [file, ms] : opts.pngs) {
        if (ms == kNoTime) {
            error = "--png " + file + " needs --at MS";
            return false;
        }
    }
    return true;
}

}  // namespace render
