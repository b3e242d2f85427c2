// The command line as the program, a drop and a second instance deliver it.
#include "shell/cmdline.h"
#include "shell_fixture.h"

namespace {

using modBMSLoad::BMSFileName;
using modBMSLoad::StartMeasure;
using modMain::PlayState;
using modMain::ReadCmdLine;

class CmdLine : public shelltest::ShellTest {
  protected:
    void SetUp() override {
        ShellTest::SetUp();
        shelltest::fs::current_path(dir);  // relative names are looked up from here
        for (const char* f : {"a.bms", "b.BME", "c.bml", "d.pms", "e.tmp", "f.txt", "a b.bms",
                              "*.bms", "曲 名.bme"})
            Touch(f);
        shelltest::fs::create_directory(Path("folder.bms"));
    }
};

TEST_F(CmdLine, EmptyLineChangesNothingSpacesResetTheStartMeasure) {
    StartMeasure = 7;
    EXPECT_FALSE(ReadCmdLine(""));
    EXPECT_EQ(StartMeasure, 7);
    EXPECT_FALSE(ReadCmdLine("   "));
    EXPECT_EQ(StartMeasure, 0);
    EXPECT_EQ(PlayState, modMain::PS_IDLE);
}

TEST_F(CmdLine, QuotedPathWithSpacesAndAStartMeasureInEitherOrder) {
    EXPECT_TRUE(ReadCmdLine("\"a b.bms\" -N12"));
    EXPECT_EQ(BMSFileName, "a b.bms");
    EXPECT_EQ(StartMeasure, 12);
    EXPECT_EQ(PlayState, modMain::PS_LOAD);
    BMSFileName.clear();
    EXPECT_TRUE(ReadCmdLine("-n12 \"" + Path("a b.bms") + "\""));
    EXPECT_EQ(BMSFileName, Path("a b.bms"));  // kept exactly as given
    EXPECT_EQ(StartMeasure, 12);
    // Quotes may open and close anywhere inside a token.
    EXPECT_TRUE(ReadCmdLine("a\" \"b.bms"));
    EXPECT_EQ(BMSFileName, "a b.bms");
    EXPECT_TRUE(ReadCmdLine("\"曲 名.bme\""));
    EXPECT_EQ(BMSFileName, "曲 名.bme");
}

TEST_F(CmdLine, OnlyExistingFilesWithAChartExtensionAreTaken) {
    for (const char* yes : {"a.bms", "b.BME", "c.bml", "d.pms", "e.tmp", "*.bms"}) {
        PlayState = modMain::PS_PLAY;
        EXPECT_TRUE(ReadCmdLine(yes)) << yes;
        EXPECT_EQ(BMSFileName, yes);
        EXPECT_EQ(PlayState, modMain::PS_LOAD);
    }
    PlayState = modMain::PS_IDLE;
    BMSFileName = "before";
    // Another extension, a folder, a missing file, and a wildcard taken literally.
    for (const char* no : {"f.txt", "folder.bms", "missing.bms", "?.bms", "a*.bms", "a b.bms",
                           "\"\"", "bms", ".bms"})
        EXPECT_FALSE(ReadCmdLine(no)) << no;
    EXPECT_EQ(BMSFileName, "before");
    EXPECT_EQ(PlayState, modMain::PS_IDLE);
}

TEST_F(CmdLine, EveryTokenIsReadAndTheLastChartWins) {
    EXPECT_TRUE(ReadCmdLine("a.bms  missing.bms d.pms f.txt"));
    EXPECT_EQ(BMSFileName, "d.pms");
}

TEST_F(CmdLine, StartMeasureIsATextRangeTestThenTheLeadingNumber) {
    struct Case {
        const char* option;
        int measure;
    } cases[] = {{"-N5", 5},     {"-N42", 42},    {"-n999", 999}, {"-N2.5", 2},
                 {"-N3.5", 4},   {"-N12abc", 12}, {"-N0", 0},     {"-N1e2", 100},
                 {"-N9999", -1}, {"-N99A", -1},   {"-NX", -1},    {"-N", -1},
                 {"-N-1", -1},   {"-N1000", -1},  {"-N 5", -1},   {"-N1e999", -1}};
    for (const Case& c : cases) {
        // Set after the reset of the line, so an ignored option leaves the -N77 in force.
        ReadCmdLine("-N77 " + std::string(c.option));
        EXPECT_EQ(StartMeasure, c.measure < 0 ? 77 : c.measure) << c.option;
    }
}

TEST_F(CmdLine, PlayAndStopOptionsMoveTheState) {
    EXPECT_TRUE(ReadCmdLine("a.bms -p"));
    EXPECT_EQ(PlayState, modMain::PS_LOAD);  // a load asked for on the same line stays
    for (auto from : {modMain::PS_IDLE, modMain::PS_PAUSE, modMain::PS_END}) {
        PlayState = from;
        EXPECT_FALSE(ReadCmdLine("-P"));
        EXPECT_EQ(PlayState, modMain::PS_PLAY);
    }
    PlayState = modMain::PS_IDLE;
    ReadCmdLine("-s");
    EXPECT_EQ(PlayState, modMain::PS_IDLE);
    PlayState = modMain::PS_PLAY;
    ReadCmdLine("-S");
    EXPECT_EQ(PlayState, modMain::PS_END);
    PlayState = modMain::PS_LOAD;
    ReadCmdLine("-S");
    EXPECT_EQ(PlayState, modMain::PS_END);
}

TEST_F(CmdLine, SinglePlayAndUnknownOptions) {
    ReadCmdLine("-x -- - -SPX -PS -Q1 -sp");
    EXPECT_TRUE(modMain::Settings.SinglePlay);
    EXPECT_EQ(PlayState, modMain::PS_IDLE);
}

TEST_F(CmdLine, QuitOptionEndsThroughTheNormalShutdown) {
    EXPECT_EQ(ExitCodeOf([] { ReadCmdLine("a.bms -q"); }), 0);
    EXPECT_NE(shelltest::ReadText(Ini()).find("RecentFile=\"a.bms\""), std::string::npos);
    EXPECT_FALSE(shelltest::fs::exists(Path("error.txt")));
}

TEST_F(CmdLine, UnclosedQuoteKeepsTheRestOfTheLineInOneToken) {
    Touch("x -N5 y.bms");
    EXPECT_TRUE(ReadCmdLine("-N3 \"x -N5 y.bms"));
    EXPECT_EQ(BMSFileName, "x -N5 y.bms");
    EXPECT_EQ(StartMeasure, 3);
    EXPECT_FALSE(ReadCmdLine("\"a.bms -N5"));
    EXPECT_EQ(StartMeasure, 0);
}

TEST_F(CmdLine, ThousandsOfTokensAndHugeLines) {
    std::string line;
    for (int i = 0; i < 20000; ++i) line += i % 2 ? "-N5 " : "  \"\" ";
    line += "a.bms";
    EXPECT_TRUE(ReadCmdLine(line));
    EXPECT_EQ(StartMeasure, 5);
    EXPECT_FALSE(ReadCmdLine(std::string(1 << 20, 'z') + ".bms"));
    EXPECT_FALSE(ReadCmdLine("\t-N5\t"));  // a tab is an ordinary character
    EXPECT_EQ(StartMeasure, 0);
}

TEST_F(CmdLine, DroppedFilesAndHandedOverLines) {
    frmMain::Form_OLEDragDrop(Path("a b.bms"));
    EXPECT_EQ(BMSFileName, Path("a b.bms"));
    EXPECT_EQ(PlayState, modMain::PS_LOAD);
    PlayState = modMain::PS_IDLE;
    frmMain::Form_OLEDragDrop(Path("folder.bms"));
    EXPECT_EQ(PlayState, modMain::PS_IDLE);

    modMessage::HandleHandOver(std::string("   d.pms -N4  ") + '\0' + "c.bml\0\0");
    EXPECT_EQ(BMSFileName, "d.pms");
    EXPECT_EQ(StartMeasure, 4);
    EXPECT_EQ(modMessage::TrimNull(std::string("ab\0cd", 5)), "ab");
    EXPECT_EQ(modMessage::TrimNull("abc"), "abc");
}

}  // namespace
