// The file lookup of a chart's sound: the exact name first, then its namesakes with any extension.
#include <algorithm>
#include <cstdint>

#include "base/helpers.h"
#include "base/shared_decodes.h"
#include "platform/platform.h"
#include "sound/loader.h"

namespace modSound {

namespace {

// The largest buffer the sound output accepts, in bytes.
constexpr size_t kMaxBufferBytes = 0x0FFFFFFF;

enum class Outcome { Decoded, NotDecodable, Refused };

// Whether the sound output takes a sound of this shape: mono or stereo, 100 Hz to 100 kHz.
bool OutputTakes(int channels, int rate) {
    return channels >= 1 && channels <= 2 && rate >= 100 && rate <= 100000;
}

// A decoded sound with its share of the media budget, given back when the last slot or voice
// lets go of it.
struct HeldPcm {
    plat::Pcm pcm;
    media::Reservation budget;
};

// Never destroyed: a decoding thread may still be at work when the process ends.
SharedDecodes<plat::Pcm>& Decodes() {
    static auto* decodes = new SharedDecodes<plat::Pcm>;
    return *decodes;
}

std::shared_ptr<const plat::Pcm> Decode(const std::string& path, Outcome& outcome) {
    auto held = std::make_shared<HeldPcm>();
    std::optional<plat::Pcm> pcm = plat::DecodeSound(path, held->budget);
    outcome = Outcome::NotDecodable;
    if (!pcm) return nullptr;
    outcome = Outcome::Refused;
    if (pcm->data.empty() || pcm->data.size() > kMaxBufferBytes) return nullptr;
    if (!OutputTakes(pcm->channels, pcm->rate)) return nullptr;
    if (pcm->AvgBytesPerSec() <= 0) return nullptr;
    // Converted here, on the decoding thread, so that the mixer only copies it at normal speed.
    plat::ConvertToOutputRate(*pcm, held->budget);
    held->pcm = std::move(*pcm);
    outcome = Outcome::Decoded;
    return std::shared_ptr<const plat::Pcm>(held, &held->pcm);
}

// Decodes one candidate, or shares the decode another slot holds. A file the decoder cannot read
// lets the search go on; a decoded sound the output cannot take ends it, as a failed buffer
// creation always has, and so does one the media budget cannot hold (OverBudget).
Outcome TryDecode(const std::string& path, std::shared_ptr<const plat::Pcm>& out) {
    std::string identity = plat::FileIdentity(path);
    if (identity.empty()) return Outcome::NotDecodable;
    Outcome outcome = Outcome::Decoded;
    out = Decodes().Get(path + '\n' + identity, [&] { return Decode(path, outcome); });
    return out ? Outcome::Decoded : outcome;
}

bool IsSeparator(char c) {
    return c == '\\' || c == '/';
}

// The folder part of a chart file name, resolved on disk ("" for the current folder).
std::string ResolvedFolder(const std::string& folderText) {
    size_t end = folderText.size();
    while (end > 0 && IsSeparator(folderText[end - 1])) --end;
    if (end == 0) return folderText.empty() ? "" : "/";
    return plat::ResolvePath(folderText.substr(0, end));
}

std::string JoinPath(const std::string& folder, const std::string& name) {
    if (folder.empty()) return name;
    if (folder.back() == '/') return folder + name;
    return folder + "/" + name;
}

// The places a name is looked for, in order: as written, matched without regard to case, then
// the files of the same base name with any extension. `visit` is called with each existing
// candidate until it returns true; the name and folder are looked up only as far as needed.
template <typename Visit>
bool ForEachCandidate(const std::string& name, Visit visit) {
    std::string written = name;
    std::replace(written.begin(), written.end(), '\\', '/');
    if (plat::IsRegularFileListed(written) && visit(written)) return true;
    std::string exact = plat::ResolvePath(name);
    if (exact != written && plat::IsRegularFileListed(exact) && visit(exact)) return true;
    size_t cut = name.find_last_of("\\/");
    std::string folderText = cut == std::string::npos ? "" : name.substr(0, cut + 1);
    std::string stem = modMain::RemoveExt(name);
    std::string base = cut == std::string::npos ? stem : stem.substr(cut + 1);
    if (base.empty()) return false;
    std::string folder = ResolvedFolder(folderText);
    for (const std::string& candidate : plat::ListSameBase(folder, base)) {
        std::string path = JoinPath(folder, candidate);
        if (path != exact && visit(path)) return true;
    }
    return false;
}

}  // namespace

bool SoundFileExists(const std::string& name) {
    // Every candidate lies in the folder as written when that opens, and has the name's base.
    if (std::optional<bool> listed = plat::SameBaseListed(name)) return *listed;
    return ForEachCandidate(name, [](const std::string&) { return true; });
}

std::optional<plat::SoundHeader> FindSoundHeader(const std::string& name, std::string& path) {
    std::optional<plat::SoundHeader> found;
    bool refused = false;
    ForEachCandidate(name, [&](const std::string& candidate) {
        found = plat::ProbeSound(candidate);
        if (!found) return false;
        path = candidate;
        // A file that announces no frames decodes to nothing, which ends the search too.
        refused = found->frames == 0 || !OutputTakes(found->channels, found->rate);
        return true;
    });
    if (refused) found.reset();
    return found;
}

std::shared_ptr<const plat::Pcm> FindSound(const std::string& name) {
    std::shared_ptr<const plat::Pcm> pcm;
    // A decoded sound, or one refused, ends the search (`pcm` stays empty when refused).
    // Decoding is deterministic: a file that failed once is not tried again.
    ForEachCandidate(name, [&](const std::string& path) {
        return TryDecode(path, pcm) != Outcome::NotDecodable;
    });
    return pcm;
}

}  // namespace modSound
