// Header commands: header fields and the per-id tables of sounds, images, tempos, stops and BGA
// placements.
#include <array>

#include "base/settings_record.h"
#include "chart/chart_internal.h"
#include "chart/modBMSLoad.h"
#include "display/surfaces.h"
#include "sound/modSound.h"

namespace modBMSLoad {

namespace {

bool IdInRange(Long id) {
    return id >= 0 && id <= 1295;
}

// Split at every single space, cut or padded to seven parts.
std::array<std::string_view, 7> SevenParts(std::string_view s) {
    std::array<std::string_view, 7> parts{};
    if (s.empty()) return parts;
    for (size_t k = 0; k < parts.size(); ++k) {
        size_t sp = s.find(' ');
        parts[k] = s.substr(0, sp);
        if (sp == std::string_view::npos) break;
        s.remove_prefix(sp + 1);
    }
    return parts;
}

// Each number that does not fit leaves its field as it was; an image number that does not fit
// is one above 1295, which means image 0.
void SetBga(Long id, std::string_view argument) {
    std::array<std::string_view, 7> p = SevenParts(argument);
    BgaRecord& bga = BgaTable[id];
    bga.BmpNo = IfFits([&] { return vb::CInt(DecodeId(p[0])); }).value_or(Integer{1296});
    SetIfFits(bga.SrcRect.Left, [&] { return vb::CLng(vb::Val(p[1])); });
    SetIfFits(bga.SrcRect.Top, [&] { return vb::CLng(vb::Val(p[2])); });
    SetIfFits(bga.SrcRect.Right, [&] { return vb::CLng(vb::Val(p[3])); });
    SetIfFits(bga.SrcRect.Bottom, [&] { return vb::CLng(vb::Val(p[4])); });
    SetIfFits(bga.DestX, [&] { return vb::CInt(vb::Val(p[5])); });
    SetIfFits(bga.DestY, [&] { return vb::CInt(vb::Val(p[6])); });
    if (bga.BmpNo > 1295) bga.BmpNo = 0;
}

// Commands named by a prefix and a two-character id (#WAVxx and its siblings). An id outside
// 0..1295 (a character outside 0-9/A-Z) has no table entry: the line is ignored, as is a #STOP
// whose argument is not a number. A tempo or stop that does not fit its type leaves the entry
// undefined.
void IdCommand(std::string_view command, std::string_view argument) {
    size_t length = CharCount(command);
    if (length < 2) return;  // "#" alone: no name and id to split into
    size_t cut = ByteOffset(command, length - 2);
    std::string_view name = command.substr(0, cut);
    Long id = DecodeId(command.substr(cut));
    if (!IdInRange(id)) return;
    if (name == "#WAV") {
        if (id == 0) return;
        NameMedia(false, id, argument);
        modSound::WavBuffer[id].init(PathWav + std::string(argument));
    } else if (name == "#BMP") {
        if (modMain::Settings.BGA == 0) return;
        NameMedia(true, id, argument);
        modDraw::BmpSurface[id].init(PathWav + std::string(argument), true);
    } else if (name == "#BGA") {
        SetBga(id, argument);
    } else if (name == "#BPM") {
        if (id != 0) BpmTable[id] = IfFits([&] { return vb::CSng(vb::Val(argument)); }).value_or(0);
    } else if (name == "#STOP") {
        if (id != 0 && vb::IsNumeric(argument))
            StopTable[id] = IfFits([&] { return vb::CLng(vb::Val(argument)); }).value_or(0);
    }
}

}  // namespace

// A value that does not fit its field leaves the field as it was: the line is ignored.
void LoadBMSHeader(std::string_view command, std::string_view argument) {
    Guard("LoadBMSHeader", [command, argument] {
        if (command == "#PATH_WAV") {
            PathWav = argument;
        } else if (command == "#PLAYER") {
            SetIfFits(Player, [argument] { return vb::CLng(vb::Val(argument)); });
        } else if (command == "#GENRE" || command == "#GENLE") {
            Genre = argument;
        } else if (command == "#TITLE") {
            Title = argument;
        } else if (command == "#ARTIST") {
            Artist = argument;
        } else if (command == "#BPM") {
            double v = IfFits([argument] { return vb::Val(argument); }).value_or(0);
            std::optional<Single> bpm = IfFits([v] { return vb::CSng(v); });
            if (v != 0 && bpm) Bpm = BaseBpm = *bpm;
        } else if (command == "#PLAYLEVEL") {
            SetIfFits(PlayLevel, [argument] { return vb::CLng(vb::Val(argument)); });
        } else if (command == "#STAGEFILE") {
            // recognised; the player shows no stage picture
        } else if (command == "#RANK") {
            SetIfFits(Rank, [argument] { return vb::CLng(vb::Val(argument)); });
        } else if (command == "#TOTAL") {
            SetIfFits(Total, [argument] { return vb::CSng(vb::Val(argument)); });
        } else if (command == "#VOLWAV") {
            SetIfFits(VolWav, [argument] { return vb::CSng(vb::Val(argument) * 0.01); });
        } else if (command == "#LNOBJ") {
            SetIfFits(LnObj, [argument] { return vb::CInt(DecodeId(argument)); });
        } else {
            IdCommand(command, argument);
        }
    });
}

}  // namespace modBMSLoad
