// clsSoundBuffer: finding and loading a sound, and its play / pause / resume / stop states as the
// mixer hears them.
#include <filesystem>

#include "sound/clsSoundBuffer.h"
#include "sound_fixture.h"

namespace soundtest {
namespace {

namespace fs = std::filesystem;
using vb::Currency;

const std::string kOgg = std::string(KORVANE_SOURCE_DIR) + "/tests/data/sound/tone.ogg";

class SoundBufferTest : public SoundTest {};

TEST_F(SoundBufferTest, FormatRecordAndLengthComeFromTheDecodedData) {
    clsSoundBuffer mono;
    ASSERT_TRUE(mono.init(WriteMono("a.wav", Ramp(4410))));
    WAVEFORMATEX f = mono.Format();
    EXPECT_EQ(f.FormatTag, 1);
    EXPECT_EQ(f.Channels, 1);
    EXPECT_EQ(f.SamplesPerSec, 44100);
    EXPECT_EQ(f.AvgBytesPerSec, 88200);
    EXPECT_EQ(f.BlockAlign, 2);
    EXPECT_EQ(f.BitsPerSample, 16);
    EXPECT_EQ(f.Size, 0);
    EXPECT_FLOAT_EQ(mono.Length(), 100.0f);
    EXPECT_TRUE(mono.isInitialized());

    // 24-bit stereo keeps its own sample width.
    std::string data(22050 * 6 / 10, '\0');
    clsSoundBuffer wide;
    ASSERT_TRUE(wide.init(Write("b.wav", plattest::WavFile(1, 2, 22050, 24, data))));
    f = wide.Format();
    EXPECT_EQ(f.Channels, 2);
    EXPECT_EQ(f.BlockAlign, 6);
    EXPECT_EQ(f.BitsPerSample, 24);
    EXPECT_EQ(f.AvgBytesPerSec, 132300);
    EXPECT_FLOAT_EQ(wide.Length(), 100.0f);
}

TEST_F(SoundBufferTest, InitWithTheSameNameDoesNotReadTheFileAgain) {
    clsSoundBuffer s;
    std::string a = WriteMono("a.wav", Ramp(4410));
    ASSERT_TRUE(s.init(a));
    fs::remove(a);
    EXPECT_TRUE(s.init(a));  // the file is gone: only a reload could fail
    s.reset();
    EXPECT_FALSE(s.isInitialized());
    EXPECT_TRUE(s.init(a));
    EXPECT_EQ(s.DataBytes(), 8820u);

    // Another name releases the old sound first, whether or not the new one loads.
    EXPECT_FALSE(s.init(dir / "missing.wav"));
    EXPECT_FALSE(s.isInitialized());
    EXPECT_EQ(s.FileName(), "");
    EXPECT_EQ(s.Length(), 0.0f);
    EXPECT_EQ(s.Format().SamplesPerSec, 0);
    EXPECT_EQ(s.DataBytes(), 0u);
}

TEST_F(SoundBufferTest, NamedFileMissingTakesANamesakeWithAnyExtensionAndCase) {
    fs::create_directories(dir / "Sub");
    fs::copy_file(kOgg, dir / "Sub/KICK.Ogg");
    clsSoundBuffer s;
    std::string asWritten = dir.path() + "/sub\\kick.wav";
    ASSERT_TRUE(s.init(asWritten));
    EXPECT_EQ(s.Format().SamplesPerSec, 22050);
    EXPECT_EQ(s.FileName(), asWritten);  // the chart's name, not the file found

    clsSoundBuffer none;
    EXPECT_FALSE(none.init(dir.path() + "/sub\\snare.wav"));
    EXPECT_FALSE(none.isInitialized());
}

TEST_F(SoundBufferTest, AFileThatCannotBeDecodedIsPassedOverForItsNamesakes) {
    Write("a.wav", "this is not a sound at all");
    fs::copy_file(kOgg, dir / "a.ogg");
    clsSoundBuffer s;
    ASSERT_TRUE(s.init(dir / "a.wav"));
    EXPECT_EQ(s.Format().SamplesPerSec, 22050);
}

TEST_F(SoundBufferTest, ASoundTheOutputRefusesEndsTheSearch) {
    // Eight channels decode, but no buffer takes them: the namesake is not tried.
    Write("a.wav", plattest::WavFile(1, 8, 44100, 16, std::string(1600, '\0')));
    fs::copy_file(kOgg, dir / "a.ogg");
    clsSoundBuffer s;
    EXPECT_FALSE(s.init(dir / "a.wav"));
    EXPECT_FALSE(s.isInitialized());
}

TEST_F(SoundBufferTest, PlayRunsToTheEndOfTheDataOnce) {
    clsSoundBuffer s;
    ASSERT_TRUE(s.init(WriteMono("a.wav", Ramp(4410))));
    s.play(11);
    EXPECT_TRUE(s.isPlaying());
    std::vector<float> heard = Listen(150);
    EXPECT_EQ(ToS16(heard[0]), RampAt(0));
    EXPECT_EQ(ToS16(heard[4409]), RampAt(4409));
    EXPECT_EQ(heard[4410], 0.0f);
    EXPECT_FALSE(s.isPlaying());
}

TEST_F(SoundBufferTest, PlayAgainCutsTheSoundAndStartsOver) {
    clsSoundBuffer s;
    ASSERT_TRUE(s.init(WriteMono("a.wav", Ramp(44100))));
    s.play(11);
    Listen(50);
    s.play(11);
    EXPECT_EQ(ToS16(Listen(10)[0]), RampAt(0));
}

TEST_F(SoundBufferTest, PauseRemembersTheChartPositionAndResumeGoesOnFromIt) {
    clsSoundBuffer s;
    ASSERT_TRUE(s.init(WriteMono("a.wav", Ramp(44100))));
    s.play(1);
    Listen(100);
    modCount::PlayTime = Currency::FromInt(100);
    s.pause();
    EXPECT_TRUE(s.isPaused());
    EXPECT_FALSE(s.isPlaying());
    EXPECT_EQ(Peak(Listen(50)), 0.0f);
    s.play();
    EXPECT_FALSE(s.isPaused());
    std::vector<float> heard = Listen(10);
    EXPECT_EQ(ToS16(heard[0]), RampAt(4410));  // 100 ms in at 44.1 kHz
    EXPECT_EQ(ToS16(heard[100]), RampAt(4510));
}

TEST_F(SoundBufferTest, PausePastTheEndStopsAndResumeDoesNotRestart) {
    clsSoundBuffer s;
    ASSERT_TRUE(s.init(WriteMono("a.wav", Ramp(4410))));
    s.play(11);
    ASSERT_TRUE(s.isPlaying());                   // the output has not moved on yet
    modCount::PlayTime = Currency::FromInt(100);  // the chart says it is over
    s.pause();
    EXPECT_FALSE(s.isPaused());
    EXPECT_FALSE(s.isPlaying());
    modSound::SoundResume();
    EXPECT_FALSE(s.isPlaying());
}

TEST_F(SoundBufferTest, SetPositionArmsTheNextPlayWithoutStartingIt) {
    clsSoundBuffer s;
    ASSERT_TRUE(s.init(WriteMono("a.wav", Ramp(44100))));
    s.setPosition(Currency::FromInt(250));
    EXPECT_FALSE(s.isPlaying());
    s.play(1);
    EXPECT_EQ(ToS16(Listen(10)[0]), RampAt(11025));
    // The sound counts as started 250 ms before the chart time of the arming.
    modCount::PlayTime = Currency::FromInt(300);
    s.pause();
    s.play();
    EXPECT_EQ(ToS16(Listen(10)[0]), RampAt(24255));  // 550 ms in
}

TEST_F(SoundBufferTest, FrequencyIsClampedTo100To100000SamplesPerSecond) {
    // 2205 frames at 22050 Hz: 1000 % asks for 220500 Hz (10 ms), the clamp gives 22.05 ms.
    clsSoundBuffer fast;
    ASSERT_TRUE(fast.init(WriteMono("fast.wav", Constant(2205, 1000), 22050)));
    fast.setFrequency(1000);
    fast.play(1);
    Listen(15);
    EXPECT_TRUE(fast.isPlaying());
    Listen(10);
    EXPECT_FALSE(fast.isPlaying());

    // 8000 frames at 8000 Hz: 1 % asks for 80 Hz (100 s), the clamp gives 80 s.
    clsSoundBuffer slow;
    ASSERT_TRUE(slow.init(WriteMono("slow.wav", Constant(8000, 1000), 8000)));
    slow.setFrequency(1);
    slow.play(1);
    dev->Advance(79000);
    EXPECT_TRUE(slow.isPlaying());
    dev->Advance(2000);
    EXPECT_FALSE(slow.isPlaying());
}

TEST_F(SoundBufferTest, AutoPlayMutesKeySoundsOrBackgroundSounds) {
    clsSoundBuffer key, bgm, unplayed;
    ASSERT_TRUE(key.init(WriteMono("k.wav", Constant(44100, 8192))));
    ASSERT_TRUE(bgm.init(WriteMono("b.wav", Constant(44100, 8192))));
    ASSERT_TRUE(unplayed.init(WriteMono("u.wav", Constant(44100, 8192))));
    auto level = [&](clsSoundBuffer& s, vb::Long ch) {
        s.play(ch);
        float p = Peak(Listen(5));
        s.stopstop();
        return p;
    };
    modMain::Settings.AutoPlay = 1;  // BGM ONLY
    EXPECT_EQ(level(key, 11), 0.0f);
    EXPECT_FLOAT_EQ(level(bgm, 1), 0.25f);
    modMain::Settings.AutoPlay = 2;  // KEY ONLY
    EXPECT_FLOAT_EQ(level(key, 21), 0.25f);
    EXPECT_EQ(level(bgm, 1), 0.0f);
    // A sound never played with a channel follows the key-sound rule.
    modMain::Settings.AutoPlay = 1;
    unplayed.changeVolume();
    EXPECT_EQ(level(unplayed, 0), 0.0f);
    modMain::Settings.AutoPlay = 3;
    unplayed.changeVolume();
    EXPECT_FLOAT_EQ(level(unplayed, 0), 0.25f);
}

TEST_F(SoundBufferTest, VolumeBecomesAnAttenuation) {
    clsSoundBuffer s;
    ASSERT_TRUE(s.init(WriteMono("k.wav", Constant(44100, 16384))));
    auto levelAt = [&](vb::Single volume) {
        modMain::Settings.Volume = volume;
        s.play(1);
        float p = Peak(Listen(5));
        s.stopstop();
        return p;
    };
    EXPECT_NEAR(levelAt(50), 0.25f, 0.0005f);  // -6.02 dB
    EXPECT_FLOAT_EQ(levelAt(100), 0.5f);
    EXPECT_FLOAT_EQ(levelAt(150), 0.5f);
    EXPECT_EQ(levelAt(0), 0.0f);
    EXPECT_EQ(levelAt(-5), 0.0f);
}

TEST_F(SoundBufferTest, AnEmptyObjectIgnoresEveryOperation) {
    clsSoundBuffer s;
    s.play(1);
    s.pause();
    s.stopstop();
    s.setPosition(Currency::FromInt(10));
    s.setFrequency(150);
    s.changeVolume();
    EXPECT_FALSE(s.isPlaying());
    EXPECT_FALSE(s.isPaused());
    EXPECT_FALSE(s.isInitialized());
    EXPECT_EQ(s.Format().FormatTag, 0);
    EXPECT_EQ(s.Length(), 0.0f);
    EXPECT_EQ(dev->GetMixer().PlayingVoices(), 0);
}

TEST_F(SoundBufferTest, ACursorArmedPastTheDataDoesNotStartTheSound) {
    clsSoundBuffer s;
    ASSERT_TRUE(s.init(WriteMono("a.wav", Ramp(4410))));
    s.setPosition(Currency::FromInt(100));  // exactly the end of the data
    s.play(1);
    EXPECT_FALSE(s.isPlaying());
    s.setPosition(Currency::FromInt(-5));
    s.play(1);
    EXPECT_FALSE(s.isPlaying());
}

}  // namespace
}  // namespace soundtest
