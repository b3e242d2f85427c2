// A keysound at another rate than the output's is converted when loaded; everything the program
// reads of it stays the file's: the format record, the length, the speed limit, the timing.
#include "sound/clsSoundBuffer.h"
#include "sound_fixture.h"

namespace soundtest {
namespace {

class SoundResampleTest : public SoundTest {};

TEST_F(SoundResampleTest, TheFormatRecordLengthAndSpeedLimitAreTheFiles) {
    clsSoundBuffer& slow = modSound::WavBuffer[1];
    ASSERT_TRUE(slow.init(WriteMono("a.wav", Ramp(2205), 22050)));
    WAVEFORMATEX f = slow.Format();
    EXPECT_EQ(f.Channels, 1);
    EXPECT_EQ(f.SamplesPerSec, 22050);
    EXPECT_EQ(f.AvgBytesPerSec, 44100);
    EXPECT_EQ(f.BlockAlign, 2);
    EXPECT_EQ(f.BitsPerSample, 16);
    EXPECT_FLOAT_EQ(slow.Length(), 100.0f);
    EXPECT_EQ(slow.DataBytes(), 4410u * 2) << "what is held is the converted sound";

    // 8-bit stereo at 11.025 kHz is held as 16-bit at the output rate.
    clsSoundBuffer& old = modSound::WavBuffer[2];
    ASSERT_TRUE(
        old.init(Write("b.wav", plattest::WavFile(1, 2, 11025, 8, std::string(2 * 1103, 'x')))));
    EXPECT_EQ(old.Format().BitsPerSample, 8);
    EXPECT_EQ(old.Format().AvgBytesPerSec, 22050);
    EXPECT_EQ(old.DataBytes(), 4412u * 4);
    EXPECT_EQ(modSound::MaxSampleRate(), 22050);
}

TEST_F(SoundResampleTest, ASeekIntoAConvertedSoundEndsItWhenTheFileWould) {
    clsSoundBuffer s;
    ASSERT_TRUE(s.init(WriteMono("a.wav", Constant(2205, 8000), 22050)));
    s.setPosition(vb::Currency::FromDouble(40));
    s.play(11);
    Listen(59);
    EXPECT_TRUE(s.isPlaying());
    Listen(1);
    EXPECT_FALSE(s.isPlaying()) << "100 ms of sound, started 40 ms in";
}

}  // namespace
}  // namespace soundtest
