// The play step: the chart clock, firing objects on time, stops and tempo changes inside one
// step, long notes, the end of a chart, and the step carrying on past failing statements.
#include "play_fixture.h"
#include "sound/clsSoundBuffer.h"

namespace playtest {
namespace {

using modBMSLoad::KIND_LN_END;
using modBMSLoad::KIND_LN_HELD;
using modBMSLoad::KIND_LN_START;
using modCount::PlayPos;
using modCount::PlayTime;
using modCount::StopRemain;

// At 120 BPM one tick lasts 10.416667 ms, so a 100 ms step moves 9.6 ticks.
const Currency kStepTicks = Ms(9.6);

class PlayClockTest : public PlayTest {
  protected:
    // A sound in slot `id` that rings for `ms` milliseconds.
    void LoadSound(Long id, int ms) {
        ASSERT_TRUE(modSound::WavBuffer[id].init(
            WriteMono("s" + std::to_string(id) + ".wav", soundtest::Constant(44 * ms + 44, 4000))));
    }
};

TEST_F(PlayClockTest, TheClockAdvancesByScaledRealTime) {
    Note(11, 100000);
    Commit();
    StepAt(100);
    EXPECT_EQ(PlayTime, Ms(100));
    EXPECT_EQ(PlayPos, kStepTicks);
    EXPECT_EQ(modCount::LastTime, 100);
    modMain::Settings.Frequency = 150;
    StepAt(110);
    EXPECT_EQ(PlayTime, Ms(115));
    modMain::Settings.Frequency = 33;
    StepAt(113);
    EXPECT_EQ(PlayTime, Ms(115.99));  // 3 x 0.33 in Single, kept to four decimals
}

TEST_F(PlayClockTest, AnObjectFiresInTheStepThatReachesItsTimeExactly) {
    Note(11, 100);
    Note(12, 100.0001);
    Commit();
    StepAt(100);
    EXPECT_EQ(O(0).Enabled, 0);
    EXPECT_EQ(O(1).Enabled, -1);
    EXPECT_EQ(Judged(), 1);
    EXPECT_EQ(modCount::FirstObj, 1);
    StepAt(101);
    EXPECT_EQ(Judged(), 2);
    EXPECT_EQ(modCount::FirstObj, 2);
}

TEST_F(PlayClockTest, LatenessOfTheFiringFrameIsJudged) {
    modBMSLoad::Rank = 0;
    Note(11, 55);
    Note(12, 95);
    Commit();
    StepAt(100);
    EXPECT_EQ(modCount::Score[0].JudgeCount[3], 1);  // 45 ms late: BAD
    EXPECT_EQ(modCount::Score[0].JudgeCount[0], 1);  // 5 ms late: PERFECT
}

TEST_F(PlayClockTest, AStopShorterThanTheStepIsPassedWithinIt) {
    Add(modBMSLoad::CH_STOP, 0, 2, 20.8333, 4);
    Note(11, 10000);
    Commit();
    StepAt(100);
    EXPECT_EQ(PlayPos, kStepTicks - Ms(4));
    EXPECT_EQ(StopRemain, Currency());
}

TEST_F(PlayClockTest, ALongerStopHaltsTheScrollAndHoldsBackEveryObject) {
    Add(modBMSLoad::CH_STOP, 0, 2, 20.8333, 96);
    Note(11, 150);  // due by time, but behind the stop
    Commit();
    StepAt(100);
    EXPECT_EQ(PlayPos, Ms(2));
    EXPECT_EQ(StopRemain, Ms(96) - (kStepTicks - Ms(2)));  // 88.4
    StepAt(1000);                                          // 86.4 ticks of stop used, 2 left
    EXPECT_EQ(StopRemain, Ms(2));
    EXPECT_EQ(PlayPos, Ms(2));
    EXPECT_EQ(O(1).Enabled, -1);
    EXPECT_EQ(PlayTime, Ms(1000));
    StepAt(1100);  // the stop ends 7.6 ticks into this step
    EXPECT_EQ(StopRemain, Currency());
    EXPECT_EQ(PlayPos, Ms(2) + kStepTicks - Ms(2));
    EXPECT_EQ(O(1).Enabled, 0);
}

TEST_F(PlayClockTest, ATempoChangeRescalesOnlyThePartOfTheStepAfterIt) {
    Add(modBMSLoad::CH_BPM, 0, 4.8, 50, 240);
    Note(11, 100000);
    Commit();
    StepAt(100);
    EXPECT_EQ(PlayPos, Ms(4.8 + 4.8 * 2));
    EXPECT_EQ(modBMSLoad::Bpm, 240.0f);
    StepAt(200);
    EXPECT_EQ(PlayPos, Ms(14.4 + 19.2));
}

TEST_F(PlayClockTest, ATempoFromTheTableActsTheSame) {
    modBMSLoad::BpmTable[5] = 60.0f;
    Add(modBMSLoad::CH_BPM_TABLE, 0, 4.8, 50, 5);
    Note(11, 100000);
    Commit();
    StepAt(100);
    EXPECT_EQ(PlayPos, Ms(4.8 + 2.4));
    EXPECT_EQ(modBMSLoad::Bpm, 60.0f);
}

TEST_F(PlayClockTest, ATempoOfZeroFreezesTheScrollButNotTheChart) {
    Add(modBMSLoad::CH_BPM, 0, 4.8, 50, 0);
    Note(11, 150);
    Add(modBMSLoad::CH_BPM, 0, 9.6, 250, 120);
    Note(12, 100000);
    Commit();
    StepAt(100);
    EXPECT_EQ(PlayPos, Ms(4.8));
    EXPECT_EQ(modBMSLoad::Bpm, 0.0f);
    StepAt(200);
    EXPECT_EQ(PlayPos, Ms(4.8));  // no ticks at tempo 0
    EXPECT_EQ(PlayTime, Ms(200));
    EXPECT_EQ(Judged(), 1);  // the note still fires by its time
    StepAt(300);             // the rescale fails and is skipped; the new tempo is taken
    EXPECT_EQ(PlayPos, Ms(4.8));
    EXPECT_EQ(modBMSLoad::Bpm, 120.0f);
    StepAt(400);
    EXPECT_EQ(PlayPos, Ms(4.8) + kStepTicks);
}

TEST_F(PlayClockTest, ALongNoteSoundsAtItsStartAndIsJudgedAtItsEnd) {
    LoadSound(1, 1000);
    LoadSound(2, 1000);
    Long start = Add(11, KIND_LN_START, 0, 50, 1);
    Long end = Add(11, KIND_LN_END, 0, 350, 2);
    Link(start, end);
    Commit();
    modCount::ElapsedTime = 40;
    StepAt(100);
    EXPECT_TRUE(modSound::WavBuffer[1].isPlaying());
    EXPECT_EQ(Judged(), 0);
    EXPECT_TRUE(modCount::LaneFlash[1]);
    EXPECT_TRUE(modCount::Bomb[1].IsLongStart);
    EXPECT_EQ(O(start).Kind, KIND_LN_HELD);
    EXPECT_EQ(O(start).Enabled, -1);
    for (int t = 200; t <= 300; t += 100) {
        modCount::LaneFlash[1] = false;  // the display switches it off; the hold lights it again
        StepAt(t);
        EXPECT_TRUE(modCount::LaneFlash[1]) << t;
        EXPECT_EQ(modCount::FirstObj, start) << t;
    }
    StepAt(400);
    EXPECT_EQ(Judged(), 1);
    EXPECT_EQ(O(start).Enabled, 0);
    EXPECT_FALSE(modCount::Bomb[1].IsLongStart);
    EXPECT_FALSE(modSound::WavBuffer[2].isPlaying());  // an end starts no sound
    EXPECT_EQ(modCount::FirstObj, 2);
}

TEST_F(PlayClockTest, NotesSoundWithTheirLaneAndBackgroundSoundsWithChannelOne) {
    LoadSound(1, 1000);
    LoadSound(2, 1000);
    Add(modBMSLoad::CH_BGM, 0, 0, 10, 1);
    Note(21, 20, 2);
    Commit();
    modMain::Settings.AutoPlay = 1;  // background only: the key sound plays muted
    StepAt(100);
    EXPECT_TRUE(modSound::WavBuffer[1].isPlaying());
    EXPECT_TRUE(modSound::WavBuffer[2].isPlaying());
    EXPECT_FLOAT_EQ(soundtest::Peak(Listen(5)), 4000.0f / 32768);
}

TEST_F(PlayClockTest, AFailingSoundDoesNotKeepANoteFromBeingJudged) {
    Note(11, 95, 5000);  // no such sound slot
    Note(12, 99, 7);     // a slot that never loaded
    Commit();
    StepAt(100);
    EXPECT_EQ(Judged(), 2);
    EXPECT_TRUE(modCount::LaneFlash[1]);
}

TEST_F(PlayClockTest, BgaChannelsSetTheImageNumbers) {
    Add(modBMSLoad::CH_BGA_BASE, 0, 0, 10, 4);
    Add(modBMSLoad::CH_BGA_LAYER, 0, 0, 10, 7);
    Add(modBMSLoad::CH_BGA_POOR, 0, 0, 10, 6);
    Add(modBMSLoad::CH_BGA_BASE, 0, 0, 20, 9);
    Add(2, 0, 0, 20, 99);  // a channel the play step does not know: nothing happens
    Commit();
    StepAt(100);
    EXPECT_EQ(modCount::BGABase, 9);
    EXPECT_EQ(modCount::BGALayer, 7);
    EXPECT_EQ(modCount::BGAPoor, 6);
}

TEST_F(PlayClockTest, PassingTheClosingBarLineEndsTheChartOnce) {
    modBMSLoad::MaxMeasure = 1;
    BarLine(0, 0, 0);
    BarLine(1, 192, 2000);
    BarLine(2, 384, 4000);
    Note(11, 4000);  // due in the same step, after the bar line: still processed
    Commit();
    StepAt(1000);
    EXPECT_EQ(modCount::CurrentMeasure, 0);
    StepAt(3000);
    EXPECT_EQ(modCount::CurrentMeasure, 1);
    EXPECT_EQ(modMain::PlayState, modMain::PS_PLAY);
    StepAt(4100);
    EXPECT_EQ(modCount::CurrentMeasure, 1);
    EXPECT_EQ(modMain::PlayState, modMain::PS_END);
    EXPECT_EQ(Judged(), 1);
}

TEST_F(PlayClockTest, CountMainStepsOnlyWhilePlayingAndStopsTheClocksWhilePaused) {
    Note(11, 100000);
    Commit();
    modCount::StartTime = 0;
    dev->SetTime(100);
    modCount::CountMain();
    EXPECT_EQ(modCount::ElapsedTime, 100);
    EXPECT_EQ(modCount::FrameCount, 1);
    EXPECT_EQ(PlayTime, Ms(100));
    modMain::PlayState = modMain::PS_PAUSE;
    dev->SetTime(300);
    modCount::CountMain();
    EXPECT_EQ(modCount::ElapsedTime, 100);
    EXPECT_EQ(modCount::FrameCount, 1);
    EXPECT_EQ(PlayTime, Ms(100));
    modMain::PlayState = modMain::PS_IDLE;  // idle: the animation clock runs, the chart does not
    modCount::CountMain();
    EXPECT_EQ(modCount::ElapsedTime, 300);
    EXPECT_EQ(PlayTime, Ms(100));
}

TEST_F(PlayClockTest, PauseAndResumeLeaveNoGapInTheChartClock) {
    LoadSound(1, 1000);
    Add(modBMSLoad::CH_BGM, 0, 0, 0, 1);
    Commit();
    StepAt(100);
    modKey::PlayPause();
    EXPECT_TRUE(modSound::WavBuffer[1].isPaused());
    dev->SetTime(5000);
    modKey::PlayResume();
    EXPECT_TRUE(modSound::WavBuffer[1].isPlaying());
    StepAt(5100);
    EXPECT_EQ(PlayTime, Ms(200));
    EXPECT_EQ(modCount::StartTime, 4900);
}

}  // namespace
}  // namespace playtest
