// Start-up, the frame loop's pacing and message pass, frame-rate measurement and the shutdown
// with its error report, on the headless device.
#include "shell_fixture.h"

namespace {

using modMain::Settings;
using shelltest::ReadText;

class StartUpTest : public shelltest::ShellTest {
  protected:
    std::vector<std::string> LogLines() {
        std::string log = ReadText(Path("error.txt"));
        std::vector<std::string> lines;
        for (size_t at = 0; at < log.size();) {
            size_t end = log.find("\r\n", at);
            if (end == std::string::npos) {
                ADD_FAILURE() << "a log line without CR LF";
                break;
            }
            lines.push_back(log.substr(at, end - at));
            at = end + 2;
        }
        return lines;
    }
    static bool EndsWith(const std::string& s, const std::string& tail) {
        return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
    }
};

TEST_F(StartUpTest, OpensTheWindowReadsSettingsAndShowsTheWindow) {
    dev->SetRefreshRate(75);
    modKey::KeyRepeat.Fill(0);
    modMain::StartUp();
    EXPECT_EQ(modKey::KeyRepeat[65], 250);  // a key held at start-up does not repeat at once
    EXPECT_EQ(modMain::AppTitle, "Korvane 1.0.0");
    EXPECT_EQ(dev->Caption(), "Korvane 1.0.0");
    EXPECT_TRUE(dev->Shown());
    EXPECT_TRUE(modMain::VideoOpen && modMain::AudioOpen);
    EXPECT_EQ(Settings.FrameRate, 75);
    EXPECT_EQ(Settings.Effect, 7);
    EXPECT_TRUE(shelltest::fs::exists(Ini()));
    EXPECT_EQ(modMain::SineTable[64], 1.0f);
    EXPECT_EQ(modBMSLoad::Obj.UBound(), 256);
    EXPECT_EQ(modBMSLoad::Bpm, 130.0f);
    EXPECT_EQ(modBMSLoad::Rank, 3);
    EXPECT_EQ(modMain::Fps, 1.0f);
    EXPECT_EQ(modMain::PlayState, modMain::PS_IDLE);
}

TEST_F(StartUpTest, RefreshRateBelowSixtyPacesAtSixty) {
    for (int hz : {0, 30, 59}) {
        dev->SetRefreshRate(hz);
        EXPECT_EQ(modMain::GetRefreshRate(), 60) << hz;
    }
    dev->SetRefreshRate(144);
    EXPECT_EQ(modMain::GetRefreshRate(), 144);
}

TEST_F(StartUpTest, CommandLineIsReadAtStartUp) {
    shelltest::fs::current_path(dir);
    Touch("song one.bms");
    char arg0[] = "korvane", arg1[] = "song one.bms", arg2[] = "-N3";
    char* argv[] = {arg0, arg1, arg2};
    plat::SetCommandLine(3, argv);
    modMain::StartUp();
    EXPECT_EQ(modBMSLoad::BMSFileName, "song one.bms");
    EXPECT_EQ(modBMSLoad::StartMeasure, 3);
    EXPECT_EQ(modMain::PlayState, modMain::PS_LOAD);
}

TEST_F(StartUpTest, QuitOptionEndsNormallyAndWritesTheSettings) {
    char arg0[] = "korvane", arg1[] = "-Q";
    char* argv[] = {arg0, arg1};
    plat::SetCommandLine(2, argv);
    EXPECT_EQ(ExitCodeOf([] { modMain::StartUp(); }), 0);
    EXPECT_EQ(ReadText(Ini()),
              "[Main]\nKey=\"Korvane\"\nX=0\nY=0\nAlwaysOnTop=False\nVSYNC=False\n"
              "SinglePlay=False\nRecentFile=\"\"\n[Option]\nHS=1\nBGA=3\nEffect=7\nSkinType=0\n"
              "DispInfo=False\nVolume=100\n");
    EXPECT_FALSE(shelltest::fs::exists(Path("error.txt")));
    EXPECT_TRUE(dev->MessageBoxes().empty());
    EXPECT_FALSE(dev->VideoOpen() || dev->AudioOpen());
}

TEST_F(StartUpTest, VideoFailureIsReportedAfterTheSettingsWereRead) {
    shelltest::WriteText(Ini(), "[Main]\nKey=Korvane\n[Option]\nBGA=1\n");
    dev->FailVideo(true);
    EXPECT_EQ(ExitCodeOf([] { modMain::StartUp(); }), 1);
    std::vector<std::string> lines = LogLines();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_TRUE(EndsWith(lines[0], "ErrorNo.-2 DirectDraw init failed. @StartUp/Korvane1.0.0"))
        << lines[0];
    ASSERT_EQ(dev->MessageBoxes().size(), 1u);
    EXPECT_EQ(dev->MessageBoxes()[0],
              "Korvane 1.0.0\n予期せぬエラーが発生したので強制終了します。\n"
              "エラーの詳細はerror.txtを参照してください。\n"
              "「ErrorNo.-2 DirectDraw init failed. @StartUp」");
    // Written back although nothing played: the value read survives, RecentFile is added.
    std::string ini = ReadText(Ini());
    EXPECT_NE(ini.find("BGA=1"), std::string::npos);
    EXPECT_NE(ini.find("RecentFile=\"\""), std::string::npos);
    EXPECT_FALSE(dev->AudioOpen());
}

TEST_F(StartUpTest, AudioFailureIsReportedAndTwoRunsLeaveTwoLines) {
    dev->FailVideo(true);
    EXPECT_EQ(ExitCodeOf([] { modMain::StartUp(); }), 1);
    dev = &plat::InstallHeadless();
    modMain::Reset();
    modMain::AppPath = dir + "/";
    modMain::UseInstanceHandOver = false;
    dev->FailAudio(true);
    EXPECT_EQ(ExitCodeOf([] { modMain::StartUp(); }), 1);
    std::vector<std::string> lines = LogLines();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_TRUE(EndsWith(lines[0], "ErrorNo.-2 DirectDraw init failed. @StartUp/Korvane1.0.0"));
    EXPECT_TRUE(EndsWith(lines[1], "ErrorNo.-3 DirectSound init failed. @StartUp/Korvane1.0.0"));
    EXPECT_FALSE(dev->VideoOpen());  // released before the report
}

TEST_F(StartUpTest, LogLineHasDateTimeAndMessageInPrintZones) {
    std::tm when{};
    when.tm_year = 2024 - 1900;
    when.tm_mon = 1;
    when.tm_mday = 29;
    when.tm_hour = 7;
    when.tm_min = 5;
    when.tm_sec = 9;
    EXPECT_EQ(modMain::ErrorLogLine(-2147024809, "Automation error", "DrawMain", when),
              "2024/02/29    07:05:09      ErrorNo.-2147024809 Automation error "
              "@DrawMain/Korvane1.0.0\r\n");
}

TEST_F(StartUpTest, NormalEndsShowNothing) {
    for (auto [no, desc, proc] : {std::tuple<int, const char*, const char*>{0, "", ""},
                                  {0, "Overflow", "Main"},
                                  {6, "", "Main"},
                                  {6, "Overflow", ""}}) {
        EXPECT_EQ(ExitCodeOf([&] { modMain::ShutDown(no, desc, proc); }), 0);
    }
    EXPECT_FALSE(shelltest::fs::exists(Path("error.txt")));
    EXPECT_TRUE(dev->MessageBoxes().empty());
    EXPECT_TRUE(shelltest::fs::exists(Ini()));
}

TEST_F(StartUpTest, ShutDownInAFolderThatCannotBeWrittenStillShowsTheMessage) {
    Touch("file");
    modMain::AppPath = Path("file") + "/";
    EXPECT_EQ(ExitCodeOf([] { modMain::ShutDown(9, "Subscript out of range", "CountMain"); }), 1);
    ASSERT_EQ(dev->MessageBoxes().size(), 1u);
    EXPECT_TRUE(
        EndsWith(dev->MessageBoxes()[0], "「ErrorNo.9 Subscript out of range @CountMain」"));
}

TEST_F(StartUpTest, CloseRequestEndsWithoutAReport) {
    modMain::StartUp();
    dev->PushEvent({plat::Event::Type::Quit, "", 0});
    EXPECT_EQ(ExitCodeOf([] { modMain::MessagePass(); }), 0);
    EXPECT_FALSE(shelltest::fs::exists(Path("error.txt")));
    EXPECT_NE(ReadText(Ini()).find("RecentFile"), std::string::npos);
}

TEST_F(StartUpTest, MessagePassDeliversDropsAndTheDialog) {
    modMain::StartUp();
    Touch("dropped one.bms");
    dev->PushEvent({plat::Event::Type::Expose, "", 0});
    dev->PushEvent({plat::Event::Type::DropFile, Path("dropped one.bms"), 0});
    modMain::MessagePass();
    EXPECT_EQ(modBMSLoad::BMSFileName, Path("dropped one.bms"));
    EXPECT_EQ(modMain::PlayState, modMain::PS_LOAD);

    // One drop of three files: the second is the first chart and the third is not examined.
    Touch("second.bms");
    Touch("third.bms");
    modMain::PlayState = modMain::PS_IDLE;
    for (const char* name : {"folder", "second.bms", "third.bms"})
        dev->PushEvent({plat::Event::Type::DropFile, Path(name), 0});
    modMain::MessagePass();
    EXPECT_EQ(modBMSLoad::BMSFileName, Path("second.bms"));
    // A later drop is a new one.
    dev->PushEvent({plat::Event::Type::Expose, "", 0});
    dev->PushEvent({plat::Event::Type::DropFile, Path("third.bms"), 0});
    modMain::MessagePass();
    EXPECT_EQ(modBMSLoad::BMSFileName, Path("third.bms"));

    // Cancelled while playing: play pauses for the dialog and resumes after it.
    modMain::PlayState = modMain::PS_PLAY;
    dev->SetDialogResult(std::nullopt);
    dev->PushEvent({plat::Event::Type::DoubleClick, "", 0});
    modMain::MessagePass();
    EXPECT_EQ(modMain::PlayState, modMain::PS_PLAY);

    // Cancelled while idle: nothing changes.
    modMain::PlayState = modMain::PS_IDLE;
    dev->PushEvent({plat::Event::Type::DoubleClick, "", 0});
    modMain::MessagePass();
    EXPECT_EQ(modMain::PlayState, modMain::PS_IDLE);

    // A chosen file loads from its beginning.
    modMain::PlayState = modMain::PS_PLAY;
    modBMSLoad::StartMeasure = 9;
    dev->SetDialogResult(Path("chosen.bms"));
    dev->PushEvent({plat::Event::Type::DoubleClick, "", 0});
    modMain::MessagePass();
    EXPECT_EQ(modBMSLoad::BMSFileName, Path("chosen.bms"));
    EXPECT_EQ(frmMain::DialogFileName, Path("chosen.bms"));
    EXPECT_EQ(modBMSLoad::StartMeasure, 0);
    EXPECT_EQ(modMain::PlayState, modMain::PS_LOAD);
}

TEST_F(StartUpTest, PacingSleepsTheRestOfTheFramePeriod) {
    dev->SetRefreshRate(75);
    dev->SetTime(5000);
    modMain::StartUp();
    modMain::FramePeriod = static_cast<vb::Integer>(1000 / Settings.FrameRate);
    EXPECT_EQ(modMain::FramePeriod, 13);
    int32_t t0 = dev->Now();
    modMain::RunFrame();
    EXPECT_EQ(dev->Now(), t0);  // the first frame never sleeps
    modMain::RunFrame();
    EXPECT_EQ(dev->Now(), t0 + 13);
    dev->Advance(20);  // a frame longer than the period: the next starts at once
    int32_t t1 = dev->Now();
    modMain::RunFrame();
    EXPECT_EQ(dev->Now(), t1);
    modMain::RunFrame();
    EXPECT_EQ(dev->Now(), t1 + 13);

    Settings.VSYNC = true;  // the vertical-blank wait replaces the sleep
    int32_t t2 = dev->Now();
    modMain::RunFrame();
    EXPECT_EQ(dev->Now(), t2);
}

TEST_F(StartUpTest, PacingSurvivesAClockThatWrapsOrGoesBack) {
    dev->SetTime(-3);  // just before the signed clock wraps to the top
    modMain::StartUp();
    modMain::FramePeriod = 16;
    modMain::RunFrame();
    modMain::RunFrame();
    EXPECT_EQ(dev->Now(), 13);
    dev->SetTime(0);  // back: counted as a late frame, not a sleep of days
    modMain::RunFrame();
    EXPECT_EQ(dev->Now(), 0);
}

TEST_F(StartUpTest, CheckFpsMeasuresEveryHalfSecond) {
    dev->SetTime(1000);
    modMain::FpsTime = 1000;
    modMain::FpsFrames = 1;
    // The resetting call and 29 more, 4 ms of stage 2 in each; then exactly 500 ms have passed.
    for (int frame = 0; frame < 29; ++frame) {
        modMain::StageTime[2] += 4;
        modMain::CheckFPS();
        EXPECT_EQ(modMain::Fps, 1.0f);
    }
    modMain::StageTime[2] += 4;
    dev->SetTime(1500);
    modMain::CheckFPS();
    EXPECT_EQ(modMain::Fps, 60.0f);
    EXPECT_EQ(modMain::StageAverage[2], 4);
    EXPECT_EQ(modMain::StageAverage[0], 0);
    EXPECT_EQ(modMain::StageTime[2], 0);
    EXPECT_EQ(modMain::FpsFrames, 1);
    EXPECT_EQ(modMain::FpsTime, 1500);
    // Averages round half to even: 4 frames in 500 ms is 8 fps; 6 ms -> 1.5 -> 2, 10 ms -> 2.5
    // -> 2.
    modMain::FpsFrames = 4;
    modMain::StageTime[1] = 6;
    modMain::StageTime[3] = 10;
    dev->SetTime(2000);
    modMain::CheckFPS();
    EXPECT_EQ(modMain::Fps, 8.0f);
    EXPECT_EQ(modMain::StageAverage[1], 2);
    EXPECT_EQ(modMain::StageAverage[3], 2);
}

TEST_F(StartUpTest, StageTimingAccumulatesWithoutASecondVariable) {
    modMain::StageTime[3] = 7;
    dev->SetTime(100);
    modMain::StageMark(3, plat::Now());
    dev->SetTime(112);
    modMain::StageMark(3, plat::Now());
    EXPECT_EQ(modMain::StageTime[3], 19);
}

TEST_F(StartUpTest, AFrameRateCounterThatOverflowsIsReported) {
    modMain::FpsTime = dev->Now();
    modMain::FpsFrames = 32767;
    EXPECT_EQ(ExitCodeOf([] { modMain::CheckFPS(); }), 1);
    ASSERT_EQ(dev->MessageBoxes().size(), 1u);
    EXPECT_TRUE(EndsWith(dev->MessageBoxes()[0], "「ErrorNo.6 Overflow @CheckFPS」"));
}

}  // namespace
