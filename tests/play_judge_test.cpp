// JudgeNote and SetBomb: windows by #RANK and playback speed, points, combo, and which score
// record a side writes to.
#include "play_fixture.h"

namespace playtest {
namespace {

using modCount::JudgeNote;
using modCount::Score;

enum { PERFECT, GREAT, GOOD, BAD, POOR };

class PlayJudgeTest : public PlayTest {
  protected:
    Long JudgeOf(Long rank, Long frequency, float lateness) {
        modCount::Reset();
        modBMSLoad::Rank = rank;
        modMain::Settings.Frequency = frequency;
        JudgeNote(11, lateness);
        return Score[0].Judge;
    }
};

TEST_F(PlayJudgeTest, WindowsFollowTheRank) {
    struct Case {
        Long rank;
        float lateness;
        Long judge;
    };
    const Case cases[] = {
        {0, 30, GOOD},
        {1, 30, GREAT},
        {2, 30, GREAT},
        {3, 30, PERFECT},
        {0, 55, POOR},
        {1, 55, BAD},
        {2, 55, BAD},
        {3, 55, GREAT},
        // Bounds are inclusive; lateness counts either way.
        {0, 10, PERFECT},
        {0, 10.01f, GREAT},
        {0, 20, GREAT},
        {0, 40, GOOD},
        {0, 48, BAD},
        {0, 48.01f, POOR},
        {1, -16, PERFECT},
        {1, -50, GOOD},
        {1, 60, BAD},
        {1, 60.01f, POOR},
        {2, 25, PERFECT},
        {2, 50, GREAT},
        // The GREAT window swallows GOOD at ranks 2 and 3; past it rank 3 goes to POOR.
        {3, 80, GREAT},
        {3, 80.01f, POOR},
        // Any other rank judges as rank 3.
        {7, 55, GREAT},
        {-1, 40, PERFECT},
    };
    for (const Case& c : cases)
        EXPECT_EQ(JudgeOf(c.rank, 100, c.lateness), c.judge)
            << "rank " << c.rank << ", " << c.lateness << " ms late";
}

TEST_F(PlayJudgeTest, WindowsScaleWithThePlaybackSpeed) {
    // Lateness is in chart milliseconds: at 200 % the same real lateness is twice as many.
    for (Long rank : {0, 1, 2, 3}) {
        for (float real : {5.0f, 15.0f, 30.0f, 45.0f, 55.0f, 70.0f}) {
            EXPECT_EQ(JudgeOf(rank, 200, real * 2), JudgeOf(rank, 100, real))
                << "rank " << rank << ", " << real << " ms";
            EXPECT_EQ(JudgeOf(rank, 50, real / 2), JudgeOf(rank, 100, real))
                << "rank " << rank << ", " << real << " ms";
        }
    }
}

TEST_F(PlayJudgeTest, PointsComboAndCounts) {
    modBMSLoad::Rank = 0;
    modMain::Settings.Frequency = 100;
    for (float late : {0.0f, 15.0f, 30.0f, 30.0f}) JudgeNote(11, late);  // P G G(ood) G(ood)
    EXPECT_EQ(Score[0].Combo, 4);
    EXPECT_EQ(Score[0].Points, 5 + 5 + 1 + 1);
    JudgeNote(12, 45);  // BAD: the combo restarts at 1, not 0
    EXPECT_EQ(Score[0].Combo, 1);
    EXPECT_EQ(Score[0].ShownCombo, 1);
    JudgeNote(12, 100);  // POOR
    EXPECT_EQ(Score[0].Combo, 1);
    JudgeNote(13, 0);
    EXPECT_EQ(Score[0].Combo, 2);
    EXPECT_EQ(Score[0].MaxCombo, 4);
    EXPECT_EQ(Score[0].Points, 17);
    const Long expected[5] = {2, 1, 2, 1, 1};
    for (int j = 0; j < 5; ++j) EXPECT_EQ(Score[0].JudgeCount[j], expected[j]) << j;
}

TEST_F(PlayJudgeTest, OneRecordServesBothSidesUnlessTheChartIsForTwoPlayers) {
    modMain::Settings.Frequency = 100;
    modCount::ElapsedTime = 777;
    for (Long player : {1, 3}) {
        modCount::Reset();
        modCount::ElapsedTime = 777;
        modBMSLoad::Player = player;
        JudgeNote(11, 0);
        JudgeNote(21, 0);
        EXPECT_EQ(Score[0].Combo, 2) << player;
        EXPECT_EQ(Score[0].JudgeCount[PERFECT], 2) << player;
        EXPECT_EQ(Score[1].Combo, 0) << player;
        EXPECT_EQ(Score[1].Points, 0) << player;
        EXPECT_TRUE(Score[1].JudgeVisible) << player;
        EXPECT_EQ(Score[1].JudgeTime, 777) << player;
        EXPECT_EQ(Score[1].ShownCombo, 2) << player;
    }
    for (Long player : {2, 4}) {
        modCount::Reset();
        modBMSLoad::Player = player;
        JudgeNote(11, 0);
        JudgeNote(21, 0);
        JudgeNote(22, 0);
        EXPECT_EQ(Score[0].Combo, 1) << player;
        EXPECT_EQ(Score[1].Combo, 2) << player;
        EXPECT_EQ(Score[1].Points, 10) << player;
    }
}

TEST_F(PlayJudgeTest, SidesByChannel) {
    modBMSLoad::Player = 2;
    modMain::Settings.Frequency = 100;
    for (Integer ch : {10, 11, 19, 30}) {
        modCount::Reset();
        JudgeNote(ch, 0);
        EXPECT_TRUE(Score[0].JudgeVisible) << ch;
        EXPECT_FALSE(Score[1].JudgeVisible) << ch;
    }
    for (Integer ch : {20, 21, 29}) {
        modCount::Reset();
        JudgeNote(ch, 0);
        EXPECT_TRUE(Score[1].JudgeVisible) << ch;
    }
}

TEST_F(PlayJudgeTest, PerfectAndGreatLightTheLaneWithTheirOwnBomb) {
    modMain::Settings.Frequency = 100;
    modBMSLoad::Rank = 0;
    modCount::ElapsedTime = 1234;
    JudgeNote(16, 0);
    EXPECT_TRUE(modCount::LaneFlash[6]);
    EXPECT_EQ(modCount::LaneFlashTime[6], 1234);
    EXPECT_TRUE(modCount::Bomb[6].Active);
    EXPECT_EQ(modCount::Bomb[6].Kind, 0);
    EXPECT_FALSE(modCount::Bomb[6].IsLongStart);
    JudgeNote(17, 15);
    EXPECT_EQ(modCount::Bomb[7].Kind, 1);
    JudgeNote(18, 30);  // GOOD: no bomb
    EXPECT_FALSE(modCount::Bomb[8].Active);
    EXPECT_FALSE(modCount::LaneFlash[8]);
}

TEST_F(PlayJudgeTest, ALaneBeyondTheArraysStopsAPerfectBeforeTheScore) {
    modMain::Settings.Frequency = 100;
    modBMSLoad::Rank = 0;
    Score[0].Judge = POOR;
    EXPECT_THROW(JudgeNote(31, 0), vb::Error);
    EXPECT_TRUE(Score[0].JudgeVisible);
    EXPECT_EQ(Score[0].Judge, POOR);  // set only after the bomb
    EXPECT_EQ(Score[0].Combo, 0);
    EXPECT_EQ(Judged(), 0);
    JudgeNote(31, 30);  // GOOD lights nothing, so it counts
    EXPECT_EQ(Score[0].Judge, GOOD);
    EXPECT_EQ(Score[0].JudgeCount[GOOD], 1);
}

}  // namespace
}  // namespace playtest
