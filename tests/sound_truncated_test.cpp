// Sound files cut short, as downloads and old archives leave them: what decodes is the sound, and
// it plays. The uncut files are made by tests/data/sound/truncated/make.sh, the cuts come from
// cases.txt.
#include <sndfile.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "sound/clsSoundBuffer.h"
#include "sound_fixture.h"

namespace soundtest {
namespace {

const std::string kCases = std::string(KORVANE_SOURCE_DIR) + "/tests/data/sound/truncated/";

struct Cut {
    std::string file;
    std::string at;  // a fraction of the size, or a byte count (negative: off the end)
    bool decodes;
};

std::vector<Cut> ReadCases() {
    std::vector<Cut> cases;
    std::ifstream in(kCases + "cases.txt");
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream words(line);
        Cut c;
        std::string expect;
        if (line.empty() || line[0] == '#' || !(words >> c.file >> c.at >> expect)) continue;
        c.decodes = expect == "part";
        cases.push_back(c);
    }
    return cases;
}

size_t CutSize(const std::string& at, size_t size) {
    if (at.find('.') != std::string::npos)
        return static_cast<size_t>(std::stod(at) * static_cast<double>(size));
    long long bytes = std::stoll(at);
    return bytes < 0 ? size - static_cast<size_t>(-bytes) : static_cast<size_t>(bytes);
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

class SoundTruncatedTest : public SoundTest {
  protected:
    // Runs the fixture script; false (with the reason) when its tools are missing.
    bool MakeSounds() {
        std::string command = "sh '" + kCases + "make.sh' '" + dir.path() + "' 2>/dev/null";
        return std::system(command.c_str()) == 0;
    }
};

TEST_F(SoundTruncatedTest, ACutFileDecodesToTheStartOfTheUncutOne) {
    if (!MakeSounds()) GTEST_SKIP() << "sox with Vorbis, FLAC and MP3 support is needed";
    std::vector<Cut> cases = ReadCases();
    ASSERT_GE(cases.size(), 10u);
    for (const Cut& c : cases) {
        std::string whole = ReadFile(dir / c.file);
        auto uncut = plat::DecodeSound(dir / c.file);
        ASSERT_TRUE(uncut) << c.file;
        size_t keep = CutSize(c.at, whole.size());
        std::string cutName = "cut." + c.file;
        Write(cutName, whole.substr(0, keep));
        std::string what = c.file + " cut at " + c.at + " (" + std::to_string(keep) + " bytes)";
        auto cut = plat::DecodeSound(dir / cutName);
        if (!c.decodes) {
            EXPECT_FALSE(cut) << what;
            continue;
        }
        ASSERT_TRUE(cut) << what;
        EXPECT_EQ(cut->type, uncut->type) << what;
        EXPECT_EQ(cut->rate, uncut->rate) << what;
        EXPECT_EQ(cut->channels, uncut->channels) << what;
        // No more than the share of the file that is left, give or take a compressed block (and
        // the headers), and not the whole sound.
        double share = static_cast<double>(keep) / static_cast<double>(whole.size());
        double frames = static_cast<double>(cut->FileFrames());
        double all = static_cast<double>(uncut->FileFrames());
        std::printf("  %s: %.0f of %.0f frames\n", what.c_str(), frames, all);
        EXPECT_GE(frames, all * (share - 0.2)) << what;
        EXPECT_LE(frames, all * (share + 0.05)) << what;
        EXPECT_LT(frames, all) << what;
        ASSERT_LE(cut->data.size(), uncut->data.size()) << what;
        EXPECT_TRUE(std::equal(cut->data.begin(), cut->data.end(), uncut->data.begin()))
            << what << ": the decoded part differs from the uncut sound";
    }
}

TEST_F(SoundTruncatedTest, AKeysoundWithItsLastOggPageCutPlays) {
    if (!MakeSounds()) GTEST_SKIP() << "sox with Vorbis, FLAC and MP3 support is needed";
    std::string whole = ReadFile(dir / "sound.ogg");
    std::string path = Write("key.ogg", whole.substr(0, whole.size() - 1000));
    SF_INFO info{};
    SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
    ASSERT_TRUE(file);
    sf_close(file);
    EXPECT_EQ(info.frames, SF_COUNT_MAX) << "the decoder cannot know where such a stream ends";
    clsSoundBuffer s;
    ASSERT_TRUE(s.init(path));
    EXPECT_EQ(s.Format().SamplesPerSec, 44100);
    EXPECT_GT(s.Length(), 3000.0f);
    EXPECT_LT(s.Length(), 4000.0f);
    s.play(11);
    EXPECT_TRUE(s.isPlaying());
    EXPECT_GT(Peak(Listen(100)), 0.1f);
}

}  // namespace
}  // namespace soundtest
