// One command line of a chart: random blocks, then header or object line.
#include "chart/chart_internal.h"
#include "chart/modBMSLoad.h"

namespace modBMSLoad {

namespace {

// The command upper-cased (ASCII letters; the names compared with are ASCII). The buffer is
// reused from line to line.
std::string_view UpperCommand(std::string_view raw) {
    static std::string buffer;
    buffer.assign(raw);
    for (char& c : buffer)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return buffer;
}

// A range beyond a double, or a draw beyond a Long, makes the line ignored (after the draw).
void DrawRandom(std::string_view argument) {
    std::optional<double> n = IfFits([argument] { return vb::Val(argument); });
    if (!n) return;
    double r = static_cast<double>(Rnd());
    std::optional<Long> drawn = IfFits([r, n] { return vb::CLng(vb::Int(r * *n) + 1); });
    if (!drawn) return;
    RandomValue = *drawn;
    RandomText += ">" + vb::Str(RandomValue) + "/" + vb::Str(*n);
    IfFlag = true;
}

// A number beyond a double is no value a draw can have.
bool MatchesDraw(std::string_view argument) {
    std::optional<double> n = IfFits([argument] { return vb::Val(argument); });
    return n && *n == static_cast<double>(RandomValue);
}

}  // namespace

void LoadBMSLine(std::string_view line) {
    Guard("LoadBMSLine", [line] {
        if (line.empty() || line[0] != '#') return;
        // The command ends at the first space or colon, whichever comes first; the argument is
        // everything after that one separator.
        size_t sep = line.find_first_of(" :");
        std::string_view command = UpperCommand(line.substr(0, sep));
        std::string_view argument =
            sep == std::string_view::npos ? std::string_view() : line.substr(sep + 1);
        if (command == "#RANDOM" || command == "#RONDAM") {
            DrawRandom(argument);
        } else if (command == "#IF") {
            IfFlag = MatchesDraw(argument);
        } else if (command == "#ENDIF") {
            IfFlag = true;
        } else if (IfFlag) {
            if (vb::IsNumeric(command.substr(1)))
                LoadBMSObject(command, argument);
            else
                LoadBMSHeader(command, argument);
        }
    });
}

}  // namespace modBMSLoad
