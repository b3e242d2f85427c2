#include "shell/cmdline.h"

#include <new>
#include <vector>

#include "chart/modBMSLoad.h"
#include "platform/platform.h"
#include "shell/modMain.h"
#include "sound/modSound.h"

namespace modMain {

namespace {

// A line longer than this (a handed-over line is at most 64 KiB) names no charts worth a message.
constexpr size_t kMaxReportedLine = size_t{1} << 20;

// Double quotes group text with spaces; the quotes themselves are dropped, and every single space
// outside them ends a token (so two spaces in a row leave an empty one).
std::vector<std::string> SplitTokens(const std::string& line) {
    std::vector<std::string> tokens(1);
    bool inQuotes = false;
    for (char c : line) {
        if (c == ' ' && !inQuotes) {
            tokens.emplace_back();
        } else if (c == '"') {
            inQuotes = !inQuotes;
        } else {
            tokens.back() += c;
        }
    }
    return tokens;
}

bool IsChartExtension(const std::string& token) {
    std::string ext = vb::UCase(token.size() > 4 ? token.substr(token.size() - 4) : token);
    return ext == ".BME" || ext == ".BMS" || ext == ".BML" || ext == ".PMS" || ext == ".TMP";
}

// Why a chart named on the command line will not be loaded, for the user; "" when it will.
std::string WhyNotChart(const std::string& token) {
    std::string why = plat::WhyUnreadable(token);
    if (why.empty() && !IsChartExtension(token))
        why = "not a chart file (.bms, .bme, .bml, .pms or .tmp)";
    return why;
}

bool AcceptFile(const std::string& token) {
    if (!plat::IsRegularFile(token) || !IsChartExtension(token)) return false;
    modBMSLoad::BMSFileName = token;
    PlayState = PS_LOAD;
    return true;
}

void ApplyOption(const std::string& token) {
    std::string opt = vb::UCase(token.substr(1));
    // A text range test: "N5" and "N42" are in, "N9999", "NX" and "N-1" are not.
    if (opt >= "N0" && opt <= "N999") {
        double n = vb::Val(token.substr(2));
        if (n < 1000) modBMSLoad::StartMeasure = vb::CInt(n);
    } else if (opt == "P") {
        if (PlayState != PS_LOAD) PlayState = PS_PLAY;
    } else if (opt == "S") {
        modSound::SoundStop();
        if (PlayState != PS_IDLE) PlayState = PS_END;
    } else if (opt == "Q") {
        ShutDown(0, "", "");
    } else if (opt == "SP") {
        Settings.SinglePlay = true;
    }
}

}  // namespace

bool ReadCmdLine(const std::string& line) {
    if (line.empty()) return false;
    std::vector<std::string> tokens;
    try {
        tokens = SplitTokens(line);
    } catch (const std::bad_alloc&) {
        Report(vb::Error(7, vb::ErrorDescription(7)), "ReadCmdLine");
    }
    modBMSLoad::StartMeasure = 0;
    bool result = false;
    for (const std::string& token : tokens)
        if (ParseCmdArg(token)) result = true;
    return result;
}

void ReportUnopenableCharts(const std::string& line) {
    if (line.size() > kMaxReportedLine) return;
    for (const std::string& token : SplitTokens(line))
        if (!token.empty() && token[0] != '-')
            if (std::string why = WhyNotChart(token); !why.empty())
                plat::TellUser("korvane: cannot open " + plat::ShowableText(token) + ": " + why);
}

const char* UsageText() {
    return "usage: korvane [CHART] [-N<measure>] [-P] [-S] [-Q] [-SP]\n"
           "  CHART        a chart file (.bms, .bme, .bml, .pms) to load and play\n"
           "  -N<measure>  start at that measure (0 to 999)\n"
           "  -P           play, or go on after a pause\n"
           "  -S           stop\n"
           "  -Q           quit\n"
           "  -SP          end the program when the chart has been played\n"
           "  --help       show this and end\n"
           "While Korvane runs, a second start hands its command line to it and ends.\n";
}

bool ParseCmdArg(const std::string& token) {
    if (token.empty()) return false;
    try {
        if (token[0] != '-') return AcceptFile(token);
        ApplyOption(token);
    } catch (const vb::Error&) {
        // The token is abandoned; the next one is examined as usual.
    }
    return false;
}

}  // namespace modMain
