// SeekBMS: the clock, the objects done and pending, the tempo and images in force at the target,
// and the sounds that ring on through it, heard from the right sample.
#include "play_fixture.h"
#include "sound/clsSoundBuffer.h"

namespace playtest {
namespace {

using modBMSLoad::KIND_INVISIBLE;
using modBMSLoad::KIND_LN_END;
using modBMSLoad::KIND_LN_HELD;
using modBMSLoad::KIND_LN_START;
using modBMSLoad::SeekBMS;
using modCount::PlayTime;
using soundtest::RampAt;
using soundtest::ToS16;

class PlaySeekTest : public PlayTest {
  protected:
    // Measures of 1000 ms (192 ticks at 240 BPM); the chart's last measure is `last`.
    void Measures(vb::Integer last) {
        modBMSLoad::Bpm = modBMSLoad::BaseBpm = 240.0f;
        modBMSLoad::MaxMeasure = last;
        for (int m = 0; m <= last + 1; ++m) {
            modBMSLoad::MeasureInfo[m].Pos = Currency::FromInt(192 * m);
            modBMSLoad::MeasureInfo[m].Time = Currency::FromInt(1000 * m);
        }
    }
    Long At(Integer channel, double ms, Long value, Long kind = 0) {
        return Add(channel, kind, ms * 0.192, ms, value);
    }
    void Ramp(Long id, double seconds, int rate = 44100) {
        ASSERT_TRUE(modSound::WavBuffer[id].init(
            WriteMono("r" + std::to_string(id) + ".wav",
                      soundtest::Ramp(static_cast<size_t>(seconds * rate)), rate)));
    }
    void Short(Long id) {
        ASSERT_TRUE(modSound::WavBuffer[id].init(
            WriteMono("s" + std::to_string(id) + ".wav", soundtest::Constant(4410, 100))));
    }
};

TEST_F(PlaySeekTest, SeekingToMeasureZeroMakesEverythingPendingAgain) {
    Measures(2);
    At(modBMSLoad::CH_BARLINE, 0, 0);
    At(modBMSLoad::CH_BPM, 500, 100);
    At(11, 700, 0);
    At(modBMSLoad::CH_BARLINE, 1000, 0);
    At(12, 1500, 0);
    Commit();
    StepAt(2000);
    ASSERT_EQ(modBMSLoad::Bpm, 100.0f);
    modCount::Score[0].Combo = 5;
    SeekBMS(0);
    for (Long i = 0; i <= modBMSLoad::Obj.UBound(); ++i) EXPECT_EQ(O(i).Enabled, -1) << i;
    EXPECT_EQ(PlayTime, Currency());
    EXPECT_EQ(modCount::PlayPos, Currency());
    EXPECT_EQ(modBMSLoad::Bpm, 240.0f);
    EXPECT_EQ(modCount::FirstObj, 0);
    EXPECT_EQ(modCount::CurrentMeasure, 0);
    EXPECT_EQ(modCount::Score[0].Combo, 0);  // the play state is cleared
    for (long k = 0; k <= 999; ++k) ASSERT_EQ(modBMSLoad::BarLine[k].Enabled, -1) << k;
}

TEST_F(PlaySeekTest, TheTargetIsClampedToTheChart) {
    Measures(3);
    At(11, 3500, 0);
    Commit();
    SeekBMS(50);
    EXPECT_EQ(modCount::CurrentMeasure, 3);
    EXPECT_EQ(PlayTime, Ms(3000));
    EXPECT_EQ(modBMSLoad::BarLine[2].Enabled, 0);
    EXPECT_EQ(modBMSLoad::BarLine[3].Enabled, -1);
    SeekBMS(-4);
    EXPECT_EQ(modCount::CurrentMeasure, 0);
    EXPECT_EQ(PlayTime, Currency());
}

TEST_F(PlaySeekTest, TempoAndImagesInForceAtTheTargetAreRestored) {
    Measures(3);
    modBMSLoad::BpmTable[7] = 180.0f;
    At(modBMSLoad::CH_BGA_BASE, 100, 11);
    At(modBMSLoad::CH_BPM, 200, 150);
    At(modBMSLoad::CH_BGA_LAYER, 300, 21);
    At(modBMSLoad::CH_BGA_BASE, 1200, 12);
    At(modBMSLoad::CH_BPM_TABLE, 1500, 7);
    At(modBMSLoad::CH_BGA_POOR, 1900, 31);
    At(modBMSLoad::CH_BGA_BASE, 2000, 13);  // at the target itself: still to come
    At(modBMSLoad::CH_BPM, 2000, 90);
    Commit();
    SeekBMS(2);
    EXPECT_EQ(modBMSLoad::Bpm, 180.0f);
    EXPECT_EQ(modCount::BGABase, 12);
    EXPECT_EQ(modCount::BGALayer, 21);
    EXPECT_EQ(modCount::BGAPoor, 31);
    EXPECT_EQ(modCount::FirstObj, 6);
    StepAt(10);  // the objects at the target fire in the next step
    EXPECT_EQ(modCount::BGABase, 13);
    EXPECT_EQ(modBMSLoad::Bpm, 90.0f);
}

TEST_F(PlaySeekTest, WhenASeekActsByProgramState) {
    Measures(2);
    At(11, 1500, 0);
    Commit();
    modMain::PlayState = modMain::PS_IDLE;
    modBMSLoad::Title.clear();
    modCount::PlayTime = Ms(123);
    SeekBMS(1);
    EXPECT_EQ(modMain::PlayState, modMain::PS_IDLE);
    EXPECT_EQ(PlayTime, Ms(123));  // nothing was done
    modBMSLoad::Title = "Song";
    SeekBMS(1);
    EXPECT_EQ(modMain::PlayState, modMain::PS_PLAY);
    EXPECT_EQ(PlayTime, Ms(1000));
    modMain::PlayState = modMain::PS_END;
    SeekBMS(0);
    EXPECT_EQ(modMain::PlayState, modMain::PS_PLAY);
    modMain::PlayState = modMain::PS_PAUSE;
    dev->SetTime(4321);
    SeekBMS(1);
    EXPECT_EQ(modMain::PlayState, modMain::PS_PAUSE);
    EXPECT_EQ(modCount::LastTime, 4321);
    EXPECT_EQ(modKey::PauseStart, 4321);
}

TEST_F(PlaySeekTest, ALongBackgroundSoundIsHeardFromTheMatchingSample) {
    Measures(4);
    Ramp(1, 5.0);
    Ramp(2, 5.0, 22050);  // another rate: the offset is still chart time
    At(modBMSLoad::CH_BGM, 0, 1);
    At(11, 500, 2, modBMSLoad::KIND_NORMAL);
    Commit();
    modMain::Settings.AutoPlay = 1;  // the background sound alone
    SeekBMS(2);
    EXPECT_FALSE(modSound::WavBuffer[1].isPlaying());  // armed, not started
    EXPECT_EQ(O(0).Enabled, -1);
    StepAt(0);
    std::vector<float> heard = Listen(20);
    EXPECT_EQ(ToS16(heard[0]), RampAt(88200));  // 2000 ms into it
    EXPECT_EQ(ToS16(heard[500]), RampAt(88700));

    modMain::Settings.AutoPlay = 2;  // the key sound alone
    SeekBMS(1);
    StepAt(0);
    heard = Listen(20);
    EXPECT_EQ(ToS16(heard[0]), RampAt(11025));  // 500 ms into a 22.05 kHz sound
}

TEST_F(PlaySeekTest, OfTwoObjectsStillRingingOnOneSoundOnlyTheLaterPlays) {
    Measures(2);
    Ramp(1, 3.0);
    At(modBMSLoad::CH_BGM, 0, 1);
    At(modBMSLoad::CH_BGM, 400, 1);
    Commit();
    SeekBMS(1);
    EXPECT_EQ(O(0).Enabled, 0);
    EXPECT_EQ(O(1).Enabled, -1);
    StepAt(0);
    EXPECT_EQ(ToS16(Listen(10)[0]), RampAt(26460));  // 600 ms into the later start
}

TEST_F(PlaySeekTest, ASoundThatHasEndedOrAnInvisibleNoteIsNotRestarted) {
    Measures(2);
    Short(1);  // 100 ms
    Ramp(2, 3.0);
    At(modBMSLoad::CH_BGM, 800, 1);
    At(11, 500, 2, KIND_INVISIBLE);
    Commit();
    SeekBMS(1);
    EXPECT_EQ(O(0).Enabled, 0);
    EXPECT_EQ(O(1).Enabled, 0);
}

TEST_F(PlaySeekTest, ANoteWhoseSoundStillRingsIsFiredAndJudgedAgain) {
    Measures(2);
    Ramp(3, 3.0);
    At(11, 990, 3, modBMSLoad::KIND_NORMAL);
    Commit();
    modBMSLoad::Rank = 0;
    SeekBMS(1);
    EXPECT_EQ(O(0).Enabled, -1);
    StepAt(0);
    EXPECT_TRUE(modSound::WavBuffer[3].isPlaying());
    EXPECT_EQ(modCount::Score[0].JudgeCount[0], 1);  // 10 ms late
}

TEST_F(PlaySeekTest, ALongNoteHeldAcrossTheTargetIsHeldAgain) {
    Measures(3);
    Short(1);
    Long held = At(11, 500, 1, KIND_LN_HELD);  // started before the seek
    Long end = At(11, 1500, 1, KIND_LN_END);
    Long over = At(12, 200, 1, KIND_LN_HELD);
    Long overEnd = At(12, 700, 1, KIND_LN_END);
    Long later = At(13, 2500, 1, KIND_LN_HELD);
    Long laterEnd = At(13, 2800, 1, KIND_LN_END);
    Link(held, end);
    Link(over, overEnd);
    Link(later, laterEnd);
    Commit();
    SeekBMS(1);
    EXPECT_EQ(O(held).Kind, KIND_LN_START);
    EXPECT_EQ(O(held).Enabled, -1);
    EXPECT_EQ(O(end).Enabled, -1);
    EXPECT_EQ(O(over).Enabled, 0);
    EXPECT_EQ(O(overEnd).Enabled, 0);
    EXPECT_EQ(O(later).Kind, KIND_LN_START);  // pending objects start over as fresh starts
    EXPECT_EQ(O(later).Enabled, -1);
    StepAt(0);
    EXPECT_TRUE(modCount::LaneFlash[1]);
    EXPECT_EQ(O(held).Kind, KIND_LN_HELD);
}

TEST_F(PlaySeekTest, ASeekStopsEverySound) {
    Measures(2);
    Ramp(1, 3.0);
    At(modBMSLoad::CH_BGM, 1500, 1);
    Commit();
    modSound::WavBuffer[1].play(1);
    SeekBMS(0);
    EXPECT_FALSE(modSound::WavBuffer[1].isPlaying());
}

}  // namespace
}  // namespace playtest
