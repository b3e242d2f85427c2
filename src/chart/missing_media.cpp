// Telling the user what a chart names but the load could not give. A chart that plays without its
// music or pictures otherwise looks like a silent song.
#include <string>
#include <unordered_set>

#include "chart/chart_internal.h"
#include "chart/modBMSLoad.h"
#include "display/surfaces.h"
#include "platform/platform.h"
#include "sound/modSound.h"

namespace modBMSLoad {

MissingMedia Missing;
double LoadWallMs = 0;

namespace {

// The names the chart's lines gave each slot, as written; empty for a slot not named.
vb::Array<std::string, 0, 1295> WavNames, BmpNames;

// Names of slots that stayed empty, each name once.
template <typename Slots>
std::vector<std::string> Unloaded(const vb::Array<std::string, 0, 1295>& names, Slots& slots) {
    std::vector<std::string> missing;
    std::unordered_set<std::string> listed;
    for (Long id = 0; id <= 1295; ++id) {
        const std::string& name = names[id];
        if (!name.empty() && !slots[id].isInitialized() && listed.insert(name).second)
            missing.push_back(name);
    }
    return missing;
}

std::string Count(size_t n, const char* one, const char* many) {
    return n == 0 ? "" : std::to_string(n) + " " + (n == 1 ? one : many);
}

// "korvane: 2 sounds and 1 picture named by the chart were not found or could not be decoded:
// a.wav, b.wav, c.bmp" - the first few names, then how many more.
std::string MissingLine(const MissingMedia& missing) {
    constexpr size_t kShown = 5;
    const size_t total = missing.sounds.size() + missing.images.size();
    std::string sounds = Count(missing.sounds.size(), "sound", "sounds");
    std::string images = Count(missing.images.size(), "picture", "pictures");
    std::string line = "korvane: " + sounds + (sounds.empty() || images.empty() ? "" : " and ") +
                       images + " named by the chart " + (total == 1 ? "was" : "were") +
                       " not found or could not be decoded: ";
    size_t shown = 0;
    for (const auto* list : {&missing.sounds, &missing.images})
        for (const std::string& name : *list) {
            if (shown == kShown) break;
            line += (shown++ ? ", " : "") + name;
        }
    if (total > shown) line += ", and " + std::to_string(total - shown) + " more";
    return line;
}

}  // namespace

void ResetMediaNames() {
    WavNames.Fill(std::string());
    BmpNames.Fill(std::string());
    Missing = MissingMedia{};
}

void NameMedia(bool picture, Long id, std::string_view name) {
    (picture ? BmpNames : WavNames)[id] = std::string(name);
}

void NoteMissingMedia() {
    Missing.sounds = Unloaded(WavNames, modSound::WavBuffer);
    Missing.images = Unloaded(BmpNames, modDraw::BmpSurface);
    if (!Missing.sounds.empty() || !Missing.images.empty()) plat::TellUser(MissingLine(Missing));
}

// Sounds decode after the load: one whose file only failed then is told in a line of its own
// and listed with the rest (in slot order, however the decodings were timed).
void NoteUndecodedSounds() {
    if (!modSound::SettleFailedDecodes()) return;
    std::unordered_set<std::string> told(Missing.sounds.begin(), Missing.sounds.end());
    MissingMedia late;
    Missing.sounds = Unloaded(WavNames, modSound::WavBuffer);
    for (const std::string& name : Missing.sounds)
        if (!told.count(name)) late.sounds.push_back(name);
    if (!late.sounds.empty()) plat::TellUser(MissingLine(late));
}

}  // namespace modBMSLoad
