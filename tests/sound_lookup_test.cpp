// The file lookup of a chart's #WAV and #BMP names and the sharing of decodes, over the cases in
// tests/data/media/lookup.cases: each slot's file is told by its length or width.
#include <filesystem>
#include <sstream>

#include "base/media_budget.h"
#include "platform_test_util.h"
#include "support.h"

namespace {

// "a=1 b=2" as pairs, in order.
std::vector<std::pair<std::string, std::string>> Pairs(const std::string& text) {
    std::vector<std::pair<std::string, std::string>> out;
    std::istringstream in(text);
    for (std::string word; in >> word;) {
        size_t eq = word.find('=');
        out.emplace_back(word.substr(0, eq), eq == std::string::npos ? "" : word.substr(eq + 1));
    }
    return out;
}

bool IsPicture(const std::string& path) {
    std::string ext = path.substr(path.rfind('.') + 1);
    return ext == "png" || ext == "Png" || ext == "bmp" || ext == "jpg";
}

// A sound of n*100 samples, or a picture n pixels wide; "junk" is a file nothing decodes.
std::string Content(const std::string& path, const std::string& n, const std::string& dir) {
    if (n == "junk") return "junk";
    if (!IsPicture(path))
        return plattest::WavFile(1, 1, 44100, 16,
                                 plattest::S16(std::vector<int16_t>(std::stoi(n) * 100, 7)));
    plat::Image image{std::stoi(n), 1, std::vector<uint32_t>(std::stoi(n), 0xFFFFFF)};
    plat::WritePng(dir + "/picture.tmp", image);
    return testsupport::ReadFile(dir + "/picture.tmp");
}

std::string SoundResult(clsSoundBuffer& slot) {
    return slot.isInitialized() ? std::to_string(slot.DataBytes() / 200) : "-";
}

std::string PictureResult(const clsDrawSurface& slot) {
    return slot.isInitialized() ? std::to_string(slot.Width()) : "-";
}

// What the lookup functions answer for a name, which must not depend on the index being open.
std::string Lookups(const std::string& folder, std::string name) {
    std::replace(name.begin(), name.end(), '\\', '/');
    std::string path = folder + "/" + name, dir = path.substr(0, path.rfind('/'));
    std::string base = path.substr(dir.size() + 1);
    std::string out = plat::ResolvePath(path) + (plat::IsRegularFileListed(path) ? " file:" : ":");
    for (const std::string& n : plat::ListSameBase(dir, base.substr(0, base.rfind('.'))))
        out += " " + n;
    return out;
}

using MediaLookup = testsupport::Test;

TEST_F(MediaLookup, SlotsGetTheFilesOfTheCaseTable) {
    dev->OpenAudio();
    for (const testsupport::Case& c :
         testsupport::ReadCases(testsupport::DataPath("media/lookup.cases"))) {
        SCOPED_TRACE("case at line " + std::to_string(c.line) + ": " + c.at("name"));
        testsupport::ResetAll().OpenAudio();
        testsupport::TempDir folder;
        for (const auto& [path, n] : Pairs(c.at("files"))) {
            std::string full = folder / path;
            std::filesystem::create_directories(std::filesystem::path(full).parent_path());
            testsupport::WriteFile(full, Content(path, n, folder.path()));
        }
        std::string chart;
        for (const char* kind : {"wav", "bmp"})
            for (const auto& [id, name] : Pairs(c.at(kind))) {
                chart += "#" + vb::UCase(kind) + id + " " + name + "\r\n";
                std::string plain = Lookups(folder.path(), name);
                plat::OpenLookupIndex();
                EXPECT_EQ(Lookups(folder.path(), name), plain) << name;
                plat::CloseLookupIndex();
            }
        testsupport::WriteFile(folder / "chart.bms", chart + "#00111:01\r\n");
        size_t before = media::InUse();
        if (c.has("budget")) media::SetBudget(before + std::stoul(c.at("budget")));
        modBMSLoad::BMSFileName = folder / "chart.bms";
        modMain::PlayState = modMain::PS_LOAD;
        modCount::CountMain();
        media::SetBudget(SIZE_MAX);
        for (const auto& [id, n] : Pairs(c.at("sounds")))
            EXPECT_EQ(SoundResult(modSound::WavBuffer[modBMSLoad::DecodeId(id)]), n)
                << "#WAV" << id;
        for (const auto& [id, n] : Pairs(c.at("pictures")))
            EXPECT_EQ(PictureResult(modDraw::BmpSurface[modBMSLoad::DecodeId(id)]), n)
                << "#BMP" << id;
        EXPECT_EQ(media::InUse() - before, std::stoul(c.at("bytes")));
        std::string missing;
        for (const auto* list : {&modBMSLoad::Missing.sounds, &modBMSLoad::Missing.images})
            for (const std::string& name : *list) missing += (missing.empty() ? "" : " ") + name;
        EXPECT_EQ(missing, c.has("missing") ? c.at("missing") : "");
    }
}

}  // namespace
