// Parallel loading: a batch of loads decoded on worker threads leaves every slot as the same calls
// made one by one would, a sound used before the batch is joined waits for its own load, and
// loading names a slot already holds reads no file, whether by hand or by loading a chart again.
#include <filesystem>
#include <memory>
#include <random>

#include "sound/clsSoundBuffer.h"
#include "support.h"

namespace {

namespace fs = std::filesystem;

// What can be seen of a slot from outside.
std::string Look(clsSoundBuffer& b) {
    WAVEFORMATEX f = b.Format();
    return (b.isInitialized() ? "loaded " : "empty ") + b.FileName() + " " +
           std::to_string(f.SamplesPerSec) + " Hz " + std::to_string(f.Channels) + " ch " +
           std::to_string(b.Length()) + " ms " + std::to_string(b.DataBytes()) + " bytes";
}

using Slots = std::vector<std::unique_ptr<clsSoundBuffer>>;

class SoundLoader : public testsupport::Test {
  protected:
    // The sound data copied, and names of every kind in it: good sounds, bad and refused ones,
    // namesakes by another extension or case, a folder, a missing file.
    void SetUp() override {
        Test::SetUp();
        fs::copy(testsupport::DataPath("sound"), tmp / "s", fs::copy_options::recursive);
        for (const char* n : {"a6.wav", "b18.wav", "click.wav", "long.flac", "r22050.wav", "A6.WAV",
                              "b18", "bad/truncated.wav", "bad/eight.wav", "bad/noise.wav",
                              "bad/dir.wav", "lookup/garbled.wav", "lookup/eight.wav",
                              "lookup/sub\\kick.wav", "tone.ogg", "missing.wav"})
            names.push_back(tmp / "s/" + n);
    }

    // Each call loads a name into a slot, or resets the slot (name "").
    static void Apply(Slots& slots, const std::vector<std::pair<size_t, std::string>>& calls) {
        for (const auto& [slot, name] : calls) {
            if (name.empty())
                slots[slot]->reset();
            else
                slots[slot]->init(name);
        }
    }
    static Slots Make(size_t n) {
        Slots v;
        for (size_t i = 0; i < n; ++i) v.push_back(std::make_unique<clsSoundBuffer>());
        return v;
    }
    std::vector<std::string> names;
};

TEST_F(SoundLoader, ABatchEndsLikeTheSameCallsOneByOne) {
    std::mt19937 rng(1234);
    for (int round = 0; round < 5; ++round) {
        std::vector<std::pair<size_t, std::string>> calls;
        for (int i = 0; i < 200; ++i)
            calls.emplace_back(rng() % 12, rng() % 10 == 0 ? "" : names[rng() % names.size()]);
        Slots one = Make(12), batch = Make(12);
        Apply(one, calls);
        modSound::BeginLoads();
        Apply(batch, calls);
        modSound::JoinPendingLoads();
        for (size_t i = 0; i < 12; ++i) EXPECT_EQ(Look(*batch[i]), Look(*one[i])) << round;
    }
}

TEST_F(SoundLoader, ASoundUsedBeforeTheJoinWaitsForItsOwnLoad) {
    modSound::JoinPendingLoads();  // beginning and joining may be repeated
    modSound::BeginLoads();
    modSound::BeginLoads();
    clsSoundBuffer s;
    EXPECT_TRUE(s.init(names[0]));
    EXPECT_FLOAT_EQ(s.Length(), 100.0f);
    s.play(1);
    EXPECT_TRUE(s.isPlaying());
    modSound::JoinPendingLoads();
    modSound::JoinPendingLoads();
    EXPECT_FALSE(s.init(names.back()));  // no batch open: the answer is known at once
}

TEST_F(SoundLoader, NamesASlotAlreadyHoldsAreNotReadAgain) {
    Slots slots = Make(names.size());
    auto load = [&] {
        modSound::BeginLoads();
        for (size_t i = 0; i < names.size(); ++i) slots[i]->init(names[i]);
        modSound::JoinPendingLoads();
    };
    load();
    std::vector<std::string> first;
    for (auto& s : slots) first.push_back(Look(*s));
    fs::rename(tmp / "s", tmp / "gone");  // a single read now would leave its slot empty
    for (auto& s : slots) s->reset();
    load();
    for (size_t i = 0; i < names.size(); ++i) EXPECT_EQ(Look(*slots[i]), first[i]);
}

TEST_F(SoundLoader, LoadingAChartAgainKeepsItsSoundsWithoutReadingThem) {
    auto load = [] {
        modMain::PlayState = modMain::PS_LOAD;
        modCount::CountMain();  // the play clock's load, sounds decoded alongside
        return Look(modSound::WavBuffer[1]) + "; " + Look(modSound::WavBuffer[2]);
    };
    modBMSLoad::BMSFileName = tmp / "s/lookup/lookup.bms";
    std::string first = load();
    EXPECT_EQ(first.rfind("loaded", 0), 0u) << first;
    fs::rename(tmp / "s", tmp / "gone");
    fs::create_directories(tmp / "s/lookup");
    fs::copy(tmp / "gone/lookup/lookup.bms", tmp / "s/lookup/lookup.bms");
    EXPECT_EQ(load(), first);
}

}  // namespace
