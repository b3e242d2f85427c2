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

void SetBga(Long id, std::string_view argument) {
    std::array<std::string_view, 7> p = SevenParts(argument);
    BgaRecord& bga = BgaTable[id];
    bga.BmpNo = vb::CInt(DecodeId(p[0]));
    bga.SrcRect.Left = vb::CLng(vb::Val(p[1]));
    bga.SrcRect.Top = vb::CLng(vb::Val(p[2]));
    bga.SrcRect.Right = vb::CLng(vb::Val(p[3]));
    bga.SrcRect.Bottom = vb::CLng(vb::Val(p[4]));
    bga.DestX = vb::CInt(vb::Val(p[5]));
    bga.DestY = vb::CInt(vb::Val(p[6]));
    if (bga.BmpNo > 1295) bga.BmpNo = 0;
}

// Commands named by a prefix and a two-character id (#WAVxx and its siblings). An id outside
// 0..1295 (a character outside 0-9/A-Z) has no table entry: the line is ignored, as is a #STOP
// whose argument is not a number.
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
        if (id != 0) BpmTable[id] = vb::CSng(vb::Val(argument));
    } else if (name == "#STOP") {
        if (id != 0 && vb::IsNumeric(argument)) StopTable[id] = vb::CLng(vb::Val(argument));
    }
}

}  // namespace

void LoadBMSHeader(std::string_view command, std::string_view argument) {
    Guard("LoadBMSHeader", [command, argument] {
        if (command == "#PATH_WAV") {
            PathWav = argument;
        } else if (command == "#PLAYER") {
            Player = vb::CLng(vb::Val(argument));
        } else if (command == "#GENRE" || command == "#GENLE") {
            Genre = argument;
        } else if (command == "#TITLE") {
            Title = argument;
        } else if (command == "#ARTIST") {
            Artist = argument;
        } else if (command == "#BPM") {
            double v = vb::Val(argument);
            if (v != 0) Bpm = BaseBpm = vb::CSng(v);
        } else if (command == "#PLAYLEVEL") {
            PlayLevel = vb::CLng(vb::Val(argument));
        } else if (command == "#STAGEFILE") {
            // recognised; the player shows no stage picture
        } else if (command == "#RANK") {
            Rank = vb::CLng(vb::Val(argument));
        } else if (command == "#TOTAL") {
            Total = vb::CSng(vb::Val(argument));
        } else if (command == "#VOLWAV") {
            VolWav = vb::CSng(vb::Val(argument) * 0.01);
        } else if (command == "#LNOBJ") {
            LnObj = vb::CInt(DecodeId(argument));
        } else {
            IdCommand(command, argument);
        }
    });
}

}  // namespace modBMSLoad
