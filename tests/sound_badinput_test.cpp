// Sound files that are broken, hostile or beyond what the output takes: the slot stays empty and
// silent, and nothing else happens.
#include <filesystem>
#include <random>

#include "sound/clsSoundBuffer.h"
#include "sound_fixture.h"

namespace soundtest {
namespace {

namespace fs = std::filesystem;

std::string ValidWav() {
    return MonoWav(Ramp(4410));
}

std::string RandomBytes(size_t n, uint32_t seed) {
    std::mt19937 rng(seed);
    std::string s(n, '\0');
    for (char& c : s) c = static_cast<char>(rng() & 0xFF);
    return s;
}

// A WAV whose header claims what it likes about the data that follows.
std::string WavClaiming(int channels, uint32_t rate, uint32_t dataBytes, const std::string& data) {
    std::string s = "RIFF";
    plattest::Put32(s, 36 + static_cast<uint32_t>(data.size()));
    s += "WAVEfmt ";
    plattest::Put32(s, 16);
    plattest::Put16(s, 1);
    plattest::Put16(s, static_cast<uint32_t>(channels));
    plattest::Put32(s, rate);
    plattest::Put32(s, rate * static_cast<uint32_t>(channels) * 2);
    plattest::Put16(s, static_cast<uint32_t>(channels * 2));
    plattest::Put16(s, 16);
    s += "data";
    plattest::Put32(s, dataBytes);
    return s + data;
}

struct BadFile {
    const char* what;
    std::string bytes;
};

class SoundBadInputTest : public SoundTest {
  protected:
    // Loads the file as sound 01 of a chart, plays it, and checks the slot is empty and silent.
    void ExpectEmptyAndSilent(const std::string& path, const std::string& what) {
        clsSoundBuffer& slot = modSound::WavBuffer[1];
        EXPECT_FALSE(slot.init(path)) << what;
        EXPECT_FALSE(slot.isInitialized()) << what;
        EXPECT_EQ(slot.Length(), 0.0f) << what;
        EXPECT_EQ(slot.Format().SamplesPerSec, 0) << what;
        slot.play(11);
        EXPECT_FALSE(slot.isPlaying()) << what;
        EXPECT_EQ(Peak(Listen(20)), 0.0f) << what;
        slot.clear();
    }
};

TEST_F(SoundBadInputTest, BrokenFilesLeaveTheSlotEmpty) {
    std::string valid = ValidWav();
    const BadFile files[] = {
        {"empty", ""},
        {"zero-length data", WavClaiming(1, 44100, 0, "")},
        {"truncated inside the header", valid.substr(0, 30)},
        {"huge data size claimed, nothing behind", WavClaiming(1, 44100, 0xFFFFFFF0u, "")},
        {"65535 channels claimed", WavClaiming(65535, 44100, 4000, std::string(4000, '\1'))},
        {"rate of 4 GHz claimed", WavClaiming(1, 0xFFFFFFF0u, 4000, std::string(4000, '\1'))},
        {"random bytes", RandomBytes(4096, 7)},
        {"random bytes after a RIFF tag", "RIFF" + RandomBytes(4096, 8)},
        {"an image named .wav", "\x89PNG\r\n\x1a\n" + RandomBytes(200, 9)},
        {"8 channels", plattest::WavFile(1, 8, 44100, 16, std::string(16 * 441, '\1'))},
        {"192 kHz", plattest::WavFile(1, 2, 192000, 16, std::string(4 * 1920, '\1'))},
        {"50 Hz", plattest::WavFile(1, 1, 50, 16, std::string(100, '\1'))},
    };
    for (const BadFile& f : files) {
        std::string path = Write("bad.wav", f.bytes);
        ExpectEmptyAndSilent(path, f.what);
        fs::remove(path);
    }
}

TEST_F(SoundBadInputTest, ADirectoryWhereTheSoundShouldBeIsNoSound) {
    fs::create_directory(dir / "kick.wav");
    fs::create_directory(dir / "kick.ogg");
    ExpectEmptyAndSilent(dir / "kick.wav", "directory");
}

TEST_F(SoundBadInputTest, DataCutShortPlaysWhatIsThere) {
    // The header promises a second, the file holds 100 samples: those 100 are the sound.
    std::string valid = plattest::S16(Ramp(100));
    clsSoundBuffer s;
    ASSERT_TRUE(s.init(Write("cut.wav", WavClaiming(1, 44100, 88200, valid))));
    EXPECT_EQ(s.DataBytes(), 200u);
    s.play(1);
    std::vector<float> heard = Listen(10);
    EXPECT_EQ(ToS16(heard[99]), RampAt(99));
    EXPECT_EQ(heard[100], 0.0f);
}

TEST_F(SoundBadInputTest, NamesThatAreNotFilesFindNothing) {
    Write("a.wav", ValidWav());
    clsSoundBuffer s;
    for (std::string name : {std::string("."), dir.path() + "/", dir / ".wav", dir.path() + "\\\\",
                             dir.path() + "/*", std::string(5000, 'a') + ".wav"}) {
        EXPECT_FALSE(s.init(name)) << name;
        EXPECT_FALSE(s.isInitialized()) << name;
    }
    // An empty name equals the name an empty object holds: it is marked initialized, and holds
    // nothing to play.
    s.init("");
    s.play(1);
    EXPECT_FALSE(s.isPlaying());
    EXPECT_EQ(s.Format().SamplesPerSec, 0);
    EXPECT_EQ(Peak(Listen(10)), 0.0f);
}

}  // namespace
}  // namespace soundtest
