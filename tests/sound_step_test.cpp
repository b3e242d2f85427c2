// The sound step and the all-sounds operations: waiting for the last sound after the end of a
// chart, pause and resume of every sound, speed and volume changes.
#include "sound/clsSoundBuffer.h"
#include "sound_fixture.h"

namespace soundtest {
namespace {

using vb::Currency;

class SoundStepTest : public SoundTest {
  protected:
    clsSoundBuffer& Load(long id, int ms, int rate = 44100) {
        clsSoundBuffer& s = modSound::WavBuffer[id];
        EXPECT_TRUE(s.init(WriteMono("s" + std::to_string(id) + ".wav",
                                     Constant(static_cast<size_t>(rate) * ms / 1000, 3000), rate)));
        return s;
    }
};

TEST_F(SoundStepTest, AnEndedChartGoesIdleWhenItsLastSoundHasFinished) {
    Load(5, 100).play(11);
    Load(1200, 500).play(1);
    modMain::PlayState = modMain::PS_END;
    modSound::SoundMain();
    EXPECT_EQ(modMain::PlayState, modMain::PS_END);
    dev->Advance(200);
    modSound::SoundMain();
    EXPECT_EQ(modMain::PlayState, modMain::PS_END);  // the long one still rings
    dev->Advance(400);
    modSound::SoundMain();
    EXPECT_EQ(modMain::PlayState, modMain::PS_IDLE);
}

TEST_F(SoundStepTest, TheSoundStepChecksOnlyAfterTheEnd) {
    modMain::PlayState = modMain::PS_PLAY;  // nothing sounds, but the chart is not over
    modSound::SoundMain();
    EXPECT_EQ(modMain::PlayState, modMain::PS_PLAY);
}

TEST_F(SoundStepTest, SinglePlayEndsTheProgramOnTheFirstSilentFrame) {
    Load(1, 100).play(1);
    modMain::Settings.SinglePlay = true;
    modMain::PlayState = modMain::PS_END;
    modSound::SoundMain();
    dev->Advance(150);
    int code = -1;
    try {
        modSound::SoundMain();
    } catch (const plat::ProcessExit& e) {
        code = e.code;
    }
    EXPECT_EQ(code, 0);
}

TEST_F(SoundStepTest, PauseAndResumeEverySound) {
    clsSoundBuffer& key = Load(2, 100);
    clsSoundBuffer& bgm = Load(3, 1000);
    clsSoundBuffer& idle = Load(4, 1000);
    key.play(11);
    bgm.play(1);
    dev->Advance(150);
    modCount::PlayTime = Currency::FromInt(150);
    modSound::SoundPause();
    EXPECT_FALSE(key.isPaused());  // played to its end: not restarted by the resume
    EXPECT_TRUE(bgm.isPaused());
    EXPECT_FALSE(idle.isPaused());
    modSound::SoundResume();
    EXPECT_FALSE(key.isPlaying());
    EXPECT_TRUE(bgm.isPlaying());
    EXPECT_FALSE(idle.isPlaying());
}

TEST_F(SoundStepTest, StopLeavesNothingPaused) {
    clsSoundBuffer& bgm = Load(3, 1000);
    bgm.play(1);
    modCount::PlayTime = Currency::FromInt(10);
    modSound::SoundPause();
    modSound::SoundStop();
    EXPECT_FALSE(bgm.isPaused());
    modSound::SoundResume();
    EXPECT_FALSE(bgm.isPlaying());
}

TEST_F(SoundStepTest, ChangeFrequencyHoldsTheSpeedToItsLimit) {
    clsSoundBuffer& s = Load(1, 100, 22050);
    modMain::Settings.Frequency = 200;
    modMain::Settings.MaxFrequency = 150;
    modSound::ChangeFrequency();
    EXPECT_EQ(modMain::Settings.Frequency, 150);
    // 100 ms of sound at 150 % lasts 66.7 ms.
    s.play(1);
    dev->Advance(60);
    EXPECT_TRUE(s.isPlaying());
    dev->Advance(10);
    EXPECT_FALSE(s.isPlaying());
    modMain::Settings.Frequency = 20;  // no lower limit here
    modSound::ChangeFrequency();
    EXPECT_EQ(modMain::Settings.Frequency, 20);
}

TEST_F(SoundStepTest, ChangeVolumeAppliesTheMuteSettingToEverySound) {
    clsSoundBuffer& key = Load(2, 1000);
    clsSoundBuffer& bgm = Load(3, 1000);
    key.play(11);
    bgm.play(1);
    EXPECT_FLOAT_EQ(Peak(Listen(5)), 6000.0f / 32768);
    modMain::Settings.AutoPlay = 2;
    modSound::ChangeVolume();
    EXPECT_FLOAT_EQ(Peak(Listen(5)), 3000.0f / 32768);
    modMain::Settings.Volume = 0;
    modSound::ChangeVolume();
    EXPECT_EQ(Peak(Listen(5)), 0.0f);
}

}  // namespace
}  // namespace soundtest
