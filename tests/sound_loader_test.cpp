// Parallel loading: a batch of init calls decoded on worker threads leaves every buffer exactly
// as the same calls made one by one would, and a reload of the same names decodes nothing.
#include <filesystem>
#include <memory>
#include <random>

#include "sound/clsSoundBuffer.h"
#include "sound_fixture.h"

namespace soundtest {
namespace {

namespace fs = std::filesystem;

const std::string kOgg = std::string(KORVANE_SOURCE_DIR) + "/tests/data/sound/tone.ogg";

// What a test can see of a buffer.
struct Seen {
    bool initialized;
    std::string file;
    WAVEFORMATEX format;
    float length;
    size_t bytes;

    bool operator==(const Seen& o) const {
        return initialized == o.initialized && file == o.file && length == o.length &&
               bytes == o.bytes && format.SamplesPerSec == o.format.SamplesPerSec &&
               format.Channels == o.format.Channels &&
               format.BitsPerSample == o.format.BitsPerSample &&
               format.AvgBytesPerSec == o.format.AvgBytesPerSec;
    }
};

Seen Look(clsSoundBuffer& b) {
    return {b.isInitialized(), b.FileName(), b.Format(), b.Length(), b.DataBytes()};
}

std::string Describe(const Seen& s) {
    return (s.initialized ? "initialized " : "empty ") + s.file + " rate " +
           std::to_string(s.format.SamplesPerSec) + " bytes " + std::to_string(s.bytes);
}

// One step of a chart's sound loading: init of a slot with a name, or a reset of the slot.
struct Call {
    int slot;
    std::string name;  // empty: reset
};

class SoundLoaderTest : public SoundTest {
  protected:
    // A folder with every kind of candidate: good WAVs, an OGG under another name, undecodable
    // and refused files, namesakes with other extensions and letter case.
    void MakeFolder() {
        for (int i = 0; i < 20; ++i)
            WriteMono("s" + std::to_string(i) + ".wav", Ramp(441 * (i + 1)));
        fs::copy_file(kOgg, dir / "Tone.OGG");
        Write("broken.wav", "not a sound");
        fs::copy_file(kOgg, dir / "broken.ogg");
        Write("eight.wav", plattest::WavFile(1, 8, 44100, 16, std::string(1600, '\1')));
        fs::copy_file(kOgg, dir / "eight.ogg");
        Write("junk.wav", "junk");
    }

    std::vector<std::string> Names() const {
        std::vector<std::string> names;
        for (int i = 0; i < 20; ++i) names.push_back(dir / ("s" + std::to_string(i) + ".wav"));
        for (const char* n : {"tone.wav", "TONE.ogg", "broken.wav", "eight.wav", "junk.wav",
                              "missing.wav", "S3.WAV", "s4"})
            names.push_back(dir / n);
        return names;
    }

    static void Apply(std::vector<std::unique_ptr<clsSoundBuffer>>& slots,
                      const std::vector<Call>& calls) {
        for (const Call& c : calls) {
            if (c.name.empty())
                slots[c.slot]->reset();
            else
                slots[c.slot]->init(c.name);
        }
    }

    static std::vector<std::unique_ptr<clsSoundBuffer>> Slots(int n) {
        std::vector<std::unique_ptr<clsSoundBuffer>> v;
        for (int i = 0; i < n; ++i) v.push_back(std::make_unique<clsSoundBuffer>());
        return v;
    }

    void ExpectSameAsOneByOne(const std::vector<Call>& calls, int slotCount) {
        auto sequential = Slots(slotCount);
        Apply(sequential, calls);
        auto parallel = Slots(slotCount);
        modSound::BeginLoads();
        Apply(parallel, calls);
        modSound::JoinPendingLoads();
        for (int i = 0; i < slotCount; ++i) {
            Seen a = Look(*sequential[i]), b = Look(*parallel[i]);
            EXPECT_TRUE(a == b) << "slot " << i << ": one by one " << Describe(a) << ", parallel "
                                << Describe(b);
        }
    }
};

TEST_F(SoundLoaderTest, BatchEndsLikeOneByOneForEveryOrderOfCalls) {
    MakeFolder();
    std::vector<std::string> names = Names();
    // Hand-picked sequences on one slot: a name replaced, repeated, failing then working.
    std::vector<Call> calls = {
        {0, names[0]},  {0, names[1]},   {1, names[2]},  {1, names[2]},   {2, names[22]},
        {2, names[0]},  {3, names[0]},   {3, names[23]}, {4, names[3]},   {4, ""},
        {5, names[25]}, {5, names[25]},  {6, names[20]}, {7, names[21]},  {8, names[26]},
        {9, names[27]}, {10, names[24]}, {10, ""},       {10, names[24]},
    };
    ExpectSameAsOneByOne(calls, 11);

    std::mt19937 rng(1234);
    for (int round = 0; round < 5; ++round) {
        std::vector<Call> random;
        for (int i = 0; i < 200; ++i) {
            int slot = static_cast<int>(rng() % 12);
            bool reset = rng() % 10 == 0;
            random.push_back({slot, reset ? "" : names[rng() % names.size()]});
        }
        ExpectSameAsOneByOne(random, 12);
    }
}

TEST_F(SoundLoaderTest, ASoundUsedBeforeTheJoinWaitsForItsOwnLoad) {
    std::string a = WriteMono("a.wav", Ramp(4410));
    clsSoundBuffer s;
    modSound::BeginLoads();
    EXPECT_TRUE(s.init(a));
    EXPECT_FLOAT_EQ(s.Length(), 100.0f);
    s.play(1);
    EXPECT_TRUE(s.isPlaying());
    modSound::JoinPendingLoads();
    EXPECT_EQ(ToS16(Listen(10)[5]), RampAt(5));
}

TEST_F(SoundLoaderTest, ReloadingTheSameNamesDecodesNothing) {
    MakeFolder();
    std::vector<std::string> names = Names();
    auto slots = Slots(static_cast<int>(names.size()));
    modSound::BeginLoads();
    for (size_t i = 0; i < names.size(); ++i) slots[i]->init(names[i]);
    modSound::JoinPendingLoads();
    std::vector<Seen> first;
    for (auto& s : slots) first.push_back(Look(*s));

    // The files are gone: a single decoding attempt would leave its slot empty.
    fs::path moved = dir.path() + "-moved";
    fs::rename(dir.path(), moved);
    for (auto& s : slots) s->reset();
    modSound::BeginLoads();
    for (size_t i = 0; i < names.size(); ++i) slots[i]->init(names[i]);
    modSound::JoinPendingLoads();
    fs::rename(moved, dir.path());
    for (size_t i = 0; i < names.size(); ++i) EXPECT_TRUE(Look(*slots[i]) == first[i]) << names[i];
}

TEST_F(SoundLoaderTest, ReloadingAChartKeepsItsSoundsWithoutReadingThem) {
    fs::create_directories(dir / "song");
    plattest::WriteBytes(dir / "song/a.wav", MonoWav(Ramp(4410)));
    fs::copy_file(kOgg, dir / "song/b.ogg");
    plattest::WriteBytes(dir / "song/song.bms",
                         "#WAV01 a.wav\n#WAV02 b.wav\n#WAV03 c.wav\n#00111:010203\n");
    auto load = [] {
        modMain::PlayState = modMain::PS_LOAD;
        modCount::CountMain();  // the play clock's load, sounds decoded alongside
    };
    modBMSLoad::BMSFileName = dir / "song/song.bms";
    load();
    ASSERT_EQ(modMain::PlayState, modMain::PS_PLAY);
    EXPECT_TRUE(modSound::WavBuffer[1].isInitialized());
    EXPECT_EQ(modSound::WavBuffer[2].Format().SamplesPerSec, 22050);
    EXPECT_FALSE(modSound::WavBuffer[3].isInitialized());
    EXPECT_EQ(modMain::Settings.MaxFrequency, 225);  // 44.1 kHz is the fastest sound

    fs::remove(dir / "song/a.wav");
    fs::remove(dir / "song/b.ogg");
    load();
    EXPECT_TRUE(modSound::WavBuffer[1].isInitialized());
    EXPECT_TRUE(modSound::WavBuffer[2].isInitialized());
    EXPECT_EQ(modSound::WavBuffer[1].DataBytes(), 8820u);
}

TEST_F(SoundLoaderTest, AChartOfMissingSoundsLoadsQuicklyAndEmpty) {
    modSound::BeginLoads();
    for (long id = 1; id <= 1295; ++id)
        modSound::WavBuffer[id].init(dir / ("missing" + std::to_string(id) + ".wav"));
    EXPECT_EQ(modSound::MaxSampleRate(), 0);  // joins the loads
    for (long id = 0; id <= 1295; ++id) EXPECT_FALSE(modSound::WavBuffer[id].isInitialized());
}

TEST_F(SoundLoaderTest, JoinAndBeginAreSafeToRepeat) {
    modSound::JoinPendingLoads();
    modSound::BeginLoads();
    modSound::BeginLoads();
    modSound::JoinPendingLoads();
    modSound::JoinPendingLoads();
    // With no batch open, init loads at once and answers truly.
    clsSoundBuffer s;
    EXPECT_FALSE(s.init(dir / "nothing.wav"));
}

TEST_F(SoundLoaderTest, MaxSampleRateIsTheFastestLoadedSound) {
    modSound::WavBuffer[3].init(WriteMono("a.wav", Ramp(100), 22050));
    modSound::WavBuffer[9].init(WriteMono("b.wav", Ramp(100), 48000));
    modSound::WavBuffer[12].init(WriteMono("c.wav", Ramp(100), 8000));
    EXPECT_EQ(modSound::MaxSampleRate(), 48000);
    modSound::WavBuffer[9].reset();  // not initialized any more: its format no longer counts
    EXPECT_EQ(modSound::MaxSampleRate(), 22050);
}

}  // namespace
}  // namespace soundtest
