// The information panel, score and time texts, and the number pictures they use.
#include "display/modDraw.h"
#include "display_fixture.h"

namespace {

using namespace display_test;
using modDraw::Fmt;
using modMain::Settings;
using vb::Currency;

std::string LineAt(const std::vector<modDraw::PanelLine>& lines, int y, int x = 332) {
    for (const auto& l : lines)
        if (l.y == y && l.x == x) return l.text;
    return "<none>";
}

TEST(NumberPictures, ForcedAndOptionalDigits) {
    EXPECT_EQ(Fmt(0.5, ".00"), ".50");
    EXPECT_EQ(Fmt(0, ".00"), ".00");
    EXPECT_EQ(Fmt(5, "00"), "05");
    EXPECT_EQ(Fmt(123, "00"), "123");
    EXPECT_EQ(Fmt(80, "##0.0"), "80.0");
    EXPECT_EQ(Fmt(0.04, "##0.0"), "0.0");
    EXPECT_EQ(Fmt(62.5, "0.00"), "62.50");
    // Halves round away from zero on the number's decimal digits.
    EXPECT_EQ(Fmt(0.125, ".00"), ".13");
    EXPECT_EQ(Fmt(0.285, ".00"), ".29");  // 0.28499999... in binary, .285 in 15 digits
    EXPECT_EQ(Fmt(0.995, ".00"), "1.00");
    EXPECT_EQ(Fmt(-5, "00"), "-05");
    EXPECT_EQ(Fmt(static_cast<float>(59.99f), "0.00", true), "59.99");
}

class Panel : public DisplayTest {};

TEST_F(Panel, TimeShowsTheUnitsTheTotalNeeds) {
    modBMSLoad::TotalTime = Currency::FromInt(200000);
    modCount::PlayTime = Currency::FromInt(65000);
    EXPECT_EQ(modDraw::TimeText(), "01:05/03:20");
    modBMSLoad::TotalTime = Currency::FromInt(int64_t{90000} * 1000);
    modCount::PlayTime = Currency::FromInt(10000);
    EXPECT_EQ(modDraw::TimeText(), "0d00:00:10/1d01:00:00");
    modBMSLoad::TotalTime = Currency::FromInt(int64_t{4000} * 1000);
    modCount::PlayTime = Currency::FromRaw(59999 * 10000 + 9999);  // 59.9999 s: whole seconds
    EXPECT_EQ(modDraw::TimeText(), "00:00:59/01:06:40");
    // Beyond a year, and far beyond what 32 bits of seconds hold: still a text, no fault.
    modBMSLoad::TotalTime = Currency::FromInt(int64_t{31536000} * 1000 * 2 + 3000);
    modCount::PlayTime = Currency::FromInt(int64_t{31536000} * 1000 + 86400000 + 3600000);
    EXPECT_EQ(modDraw::TimeText(), "1y1d01:00:00/2y0d00:00:03");
    modBMSLoad::TotalTime = Currency::FromRaw(INT64_MAX);
    EXPECT_FALSE(modDraw::TimeText().empty());
}

TEST_F(Panel, ScoreIsPerSideForTwoPlayerCharts) {
    using modBMSLoad::NoteCount;
    modBMSLoad::Player = 1;
    EXPECT_EQ(modDraw::ScoreText(), "0/0");
    NoteCount[0] = 3;
    modCount::Score[0].Points = 15;
    EXPECT_EQ(modDraw::ScoreText(), "100000/0");
    modCount::Score[0].Points = 7;
    EXPECT_EQ(modDraw::ScoreText(), "46666/0");  // rounded down
    modBMSLoad::Player = 2;
    NoteCount[1] = 0;
    NoteCount[2] = 4;
    modCount::Score[1].Points = 10;
    EXPECT_EQ(modDraw::ScoreText(), "0/50000");
}

TEST_F(Panel, ChartAndOptionLines) {
    using namespace modBMSLoad;
    Bpm = 150;
    Settings.Frequency = 105;
    Settings.MaxFrequency = 200;
    Settings.HS = 0.25f;
    PlayLevel = 12;
    Rank = 7;
    Player = 2;
    NoteCount[0] = 30, NoteCount[1] = 10, NoteCount[2] = 20;
    RandomText = " 2 1";
    auto lines = modDraw::InfoPanelLines();
    EXPECT_EQ(LineAt(lines, 2), "[BMS Info]");
    EXPECT_EQ(LineAt(lines, 14), "BPM   :157.5");
    EXPECT_EQ(LineAt(lines, 26), "Level :12");
    EXPECT_EQ(LineAt(lines, 38), "Rank  :ERROR(7)");
    EXPECT_EQ(LineAt(lines, 50), "Notes :30(10+20)");
    EXPECT_EQ(LineAt(lines, 62), "Random:2 1");
    EXPECT_EQ(LineAt(lines, 86), "1,2:HiSpeed    :0.25");
    EXPECT_EQ(LineAt(lines, 98), "3,4:RealHS     :1.05/2.00");
    EXPECT_EQ(LineAt(lines, 110), " 5 :BGA        :NORMAL");
    EXPECT_EQ(LineAt(lines, 122), " 6 :Effect     :MIDDLE");
    EXPECT_EQ(LineAt(lines, 134), " 7 :AlwaysOnTop:FALSE");
    EXPECT_EQ(LineAt(lines, 146), " 8 :Scratch    :L/R");
    EXPECT_EQ(LineAt(lines, 158), " 9 :Information:TRUE");
    EXPECT_EQ(LineAt(lines, 170), " 0 :PAUSE      :FALSE");
    EXPECT_EQ(LineAt(lines, 182, 336), "F1");
    EXPECT_EQ(LineAt(lines, 182, 356), ":AutoPlay   :KEY&BGM");
    EXPECT_EQ(LineAt(lines, 194), "<none>");  // volume 100

    modCount::StopRemain = Currency::FromInt(5);
    RandomText.clear();
    Rank = 0, Player = 1;
    Settings.HS = 2, Settings.BGA = 4, Settings.Effect = 7, Settings.SkinType = 3;
    Settings.AutoPlay = 2, Settings.AlwaysOnTop = true, Settings.Volume = 80;
    modMain::PlayState = modMain::PS_PAUSE;
    lines = modDraw::InfoPanelLines();
    EXPECT_EQ(LineAt(lines, 14), "BPM   :157.5(STOP)");
    EXPECT_EQ(LineAt(lines, 38), "Rank  :VERY HARD");
    EXPECT_EQ(LineAt(lines, 50), "Notes :30");
    EXPECT_EQ(LineAt(lines, 62), "<none>");
    EXPECT_EQ(LineAt(lines, 86), "1,2:HiSpeed    :2.00");
    EXPECT_EQ(LineAt(lines, 110), " 5 :BGA        :ALWAYS MISS");
    EXPECT_EQ(LineAt(lines, 122), " 6 :Effect     :HEAVY");
    EXPECT_EQ(LineAt(lines, 134), " 7 :AlwaysOnTop:TRUE");
    EXPECT_EQ(LineAt(lines, 146), " 8 :Scratch    :R/L");
    EXPECT_EQ(LineAt(lines, 170), " 0 :PAUSE      :TRUE");
    EXPECT_EQ(LineAt(lines, 182, 356), ":AutoPlay   :KEY ONLY");
    EXPECT_EQ(LineAt(lines, 194), "ini:Volume     :80.0%");
}

TEST_F(Panel, DebugLines) {
    using namespace modBMSLoad;
    Player = 1;
    modCount::Score[0].JudgeCount[0] = 12;
    modCount::Score[1].JudgeCount[4] = 3;
    modCount::Score[0].MaxCombo = 40;
    modCount::PlayTime = Currency::FromDouble(1234.5678);
    TotalTime = Currency::FromInt(99000);
    modCount::PlayPos = Currency::FromDouble(-0.25);
    MaxMeasure = 2;
    BarLine[2].Pos = Currency::FromInt(384);
    Obj.ReDim(256);
    modCount::FirstObj = 17;
    LoadTime = 42;
    modMain::StageAverage[0] = 5;
    modMain::StageAverage[4] = 2;
    modMain::Fps = 62.5f;
    Settings.VSYNC = true;
    auto lines = modDraw::DebugPanelLines();
    EXPECT_EQ(LineAt(lines, 2), "[DEBUG]");
    EXPECT_EQ(LineAt(lines, 14), "SCORE   :0/0");
    EXPECT_EQ(LineAt(lines, 26), "PERFECT :12/0");
    EXPECT_EQ(LineAt(lines, 74), "POOR    :0/3");
    EXPECT_EQ(LineAt(lines, 86), "MAXCOMBO:40/0");
    EXPECT_EQ(LineAt(lines, 98), "<none>");
    EXPECT_EQ(LineAt(lines, 110), "TIME :1234/99000");
    EXPECT_EQ(LineAt(lines, 122), "POS  :-1/384");  // Int rounds down
    EXPECT_EQ(LineAt(lines, 134), "WAIT :0");
    EXPECT_EQ(LineAt(lines, 146), "OBJ  :17/256");
    EXPECT_EQ(LineAt(lines, 170), "Load :42");
    EXPECT_EQ(LineAt(lines, 218), "Draw :2");
    EXPECT_EQ(LineAt(lines, 230), "All  :5");
    EXPECT_EQ(LineAt(lines, 242), "FPS  :62.50(VSYNC)");
}

}  // namespace
