// The main window's events on the headless device: dropped files, the wheel seek, the
// double-click dialog and the close request, with the awkward inputs a desktop hands over.
#include "window_fixture.h"

namespace {

using modMain::PlayState;
using modMain::PS_END;
using modMain::PS_IDLE;
using modMain::PS_LOAD;
using modMain::PS_PAUSE;
using modMain::PS_PLAY;
namespace fs = std::filesystem;
using windowtest::WindowTest;

class WindowEvents : public WindowTest {};

TEST_F(WindowEvents, CreationSetsTheCaptionAndTheFrameSize) {
    shelltest::WriteText(Ini(), "[Main]\r\nKey=Korvane\r\nX=1500\r\nY=3000\r\nFont=Noto Serif\r\n");
    modMain::StartUp();
    EXPECT_EQ(dev->Caption(), "Korvane 1.0.0");
    EXPECT_EQ(dev->FontFace(), "Noto Serif");
    int x = -1, y = -1;
    dev->GetWindowPos(x, y);
    EXPECT_EQ(x, 100) << "twips are pixels x 15";
    EXPECT_EQ(y, 200);
    Frames(1);
    EXPECT_EQ(dev->LastWidth(), 587);
    EXPECT_EQ(dev->LastHeight(), 256);
    StartPlaying(Chart("song one.bms"));
    EXPECT_EQ(dev->Caption(), "Korvane 1.0.0 - " + Path("song one.bms"));
}

TEST_F(WindowEvents, OneDropGivesAtMostOneChartFoldersAndOtherFilesAreSkipped) {
    modMain::StartUp();
    fs::create_directory(Path("album.bms"));  // a folder with a chart's name
    fs::create_directory(Path("plain folder"));
    Touch("notes.txt");
    std::string second = Chart("second.bms"), third = Chart("third.bms");
    Drop({Path("plain folder"), Path("album.bms"), Path("notes.txt"), Path("missing.bms"), second,
          third});
    Frames(1);
    EXPECT_EQ(modBMSLoad::BMSFileName, second);
    EXPECT_EQ(PlayState, PS_PLAY) << "loaded in the frame after the drop";

    // Two drops back to back in one pass: each offers its own first chart, the later one wins.
    Drop({third}, 7);
    Drop({second, third}, 8);
    Frames(1);
    EXPECT_EQ(modBMSLoad::BMSFileName, second);

    // A drop with nothing usable changes nothing at all.
    Drop({Path("album.bms"), Path("notes.txt")}, 9);
    Frames(1);
    EXPECT_EQ(modBMSLoad::BMSFileName, second);
    EXPECT_EQ(PlayState, PS_PLAY);
}

TEST_F(WindowEvents, ABinaryFileWithAChartNameLoadsAsAnEmptyChart) {
    modMain::StartUp();
    std::string junk;
    for (int i = 0; i < 70000; ++i) junk += static_cast<char>((i * 7919) >> 3);
    shelltest::WriteText(Path("junk.bms"), junk);
    Drop({Path("junk.bms")});
    Frames(30);
    EXPECT_EQ(modBMSLoad::BMSFileName, Path("junk.bms"));
    EXPECT_NE(PlayState, PS_LOAD);
    EXPECT_FALSE(fs::exists(Path("error.txt")));
    // The window still takes the next drop.
    std::string good = Chart("good.bms");
    Drop({good});
    Frames(2);
    EXPECT_EQ(PlayState, PS_PLAY);
    EXPECT_EQ(dev->Caption(), "Korvane 1.0.0 - " + good);
}

TEST_F(WindowEvents, PathsOfFourThousandCharacters) {
    modMain::StartUp();
    std::string longChart = ChartAtPathOfLength(4000);
    ASSERT_EQ(longChart.size(), 4000u);
    ASSERT_TRUE(fs::exists(longChart));
    // Beyond what the system takes as a path: skipped like any missing file.
    Drop({longChart + std::string(6000, 'x'), std::string(4000, '/'), longChart});
    Frames(2);
    EXPECT_EQ(modBMSLoad::BMSFileName, longChart);
    EXPECT_EQ(PlayState, PS_PLAY);
    EXPECT_EQ(dev->Caption(), "Korvane 1.0.0 - " + longChart);
    // The same path through the dialog.
    modBMSLoad::BMSFileName.clear();
    dev->SetDialogResult(longChart);
    DoubleClick();
    Frames(2);
    EXPECT_EQ(modBMSLoad::BMSFileName, longChart);
    EXPECT_EQ(PlayState, PS_PLAY);
    // And saved as the recent file at the end.
    try {
        modMain::ShutDown(0, "", "");
    } catch (const plat::ProcessExit&) {
    }
    EXPECT_NE(shelltest::ReadText(Ini()).find(longChart.substr(0, 100)), std::string::npos);
}

TEST_F(WindowEvents, WheelAwayFromTheUserSeeksBackOneMeasure) {
    modMain::StartUp();
    Wheel(120);
    Frames(1);
    EXPECT_EQ(PlayState, PS_IDLE) << "no chart: nothing to seek in";

    StartPlaying(Chart("song.bms", 12));
    Wheel(-120);
    Wheel(-120);
    Wheel(-120);
    Frames(1);
    EXPECT_EQ(modCount::CurrentMeasure, 3);
    Wheel(120);
    Frames(1);
    EXPECT_EQ(modCount::CurrentMeasure, 2);
    Wheel(360);  // three notches in one report are still one step
    Frames(1);
    EXPECT_EQ(modCount::CurrentMeasure, 1);
    for (int i = 0; i < 5; ++i) Wheel(120);
    Frames(1);
    EXPECT_EQ(modCount::CurrentMeasure, 0) << "clamped at the first measure";
    for (int i = 0; i < 400; ++i) Wheel(-1);
    Frames(1);
    EXPECT_EQ(modCount::CurrentMeasure, modBMSLoad::MaxMeasure) << "and at the last";
    EXPECT_EQ(PlayState, PS_PLAY);
}

TEST_F(WindowEvents, WheelAfterTheEndPlaysAgain) {
    StartPlaying(Chart("short.bms", 2));
    for (int i = 0; i < 1000 && PlayState == PS_PLAY; ++i) Frames(1, 50);
    ASSERT_TRUE(PlayState == PS_END || PlayState == PS_IDLE);
    Wheel(120);
    Frames(1);
    EXPECT_EQ(PlayState, PS_PLAY);
}

TEST_F(WindowEvents, WheelAndDropsWhileAChartIsLoading) {
    StartPlaying(Chart("first.bms", 12));
    // The loader lets window events through between lines; they must find a usable model.
    std::string big = Path("big.bms");
    std::string text = "#PLAYER 1\r\n#TITLE Big\r\n#BPM 150\r\n";
    for (int m = 1; m <= 900; ++m)
        for (int ch = 11; ch <= 15; ++ch)
            text += "#" + modMain::ZeroPad(m, 3) + std::to_string(ch) + ":0101010101010101\r\n";
    shelltest::WriteText(big, text);
    modBMSLoad::BMSFileName = big;
    PlayState = PS_LOAD;
    for (int i = 0; i < 20; ++i) {
        Wheel(i % 2 ? 120 : -120);
        DoubleClick();
    }
    dev->SetDialogResult(std::nullopt);
    modCount::CountMain();
    EXPECT_EQ(modBMSLoad::BMSFileName, big);
    Frames(3);
    EXPECT_EQ(PlayState, PS_PLAY);
    EXPECT_EQ(modBMSLoad::MaxMeasure, 900);

    // A drop in the middle of a load starts the new chart instead.
    std::string other = Chart("other.bms", 4);
    modBMSLoad::BMSFileName = big;
    PlayState = PS_LOAD;
    Drop({other});
    modCount::CountMain();
    EXPECT_EQ(PlayState, PS_LOAD);
    Frames(2);
    EXPECT_EQ(modBMSLoad::BMSFileName, other);
    EXPECT_EQ(modBMSLoad::MaxMeasure, 4);
    EXPECT_FALSE(fs::exists(Path("error.txt")));
}

TEST_F(WindowEvents, DoubleClickPausesOnlyWhatItMayAndResumesOnlyWhatItPaused) {
    StartPlaying(Chart("song.bms"));
    dev->SetDialogResult(std::nullopt);

    // Paused by the user: the dialog leaves the pause alone.
    modKey::PlayPause();
    DoubleClick();
    Frames(1);
    EXPECT_EQ(PlayState, PS_PAUSE);
    modKey::PlayResume();

    // Ended and ringing out: there is nothing to pause, and nothing is resumed.
    PlayState = PS_END;
    DoubleClick();
    modMain::MessagePass();
    EXPECT_EQ(PlayState, PS_END);

    // Chosen while playing from measure 5: the new chart starts at its beginning.
    PlayState = PS_PLAY;
    modBMSLoad::SeekBMS(5);
    std::string next = Chart("next.bms");
    dev->SetDialogResult(next);
    DoubleClick();
    Frames(2);
    EXPECT_EQ(modBMSLoad::BMSFileName, next);
    EXPECT_EQ(modCount::CurrentMeasure, 0);
    EXPECT_EQ(PlayState, PS_PLAY);
    EXPECT_EQ(frmMain::DialogFileName, next) << "the dialog opens there next time";
}

TEST_F(WindowEvents, ADialogAnswerThatIsNoChartLeavesTheWindowUsable) {
    StartPlaying(Chart("song.bms"));
    Touch("readme.txt");
    dev->SetDialogResult(Path("readme.txt"));  // "All files" lets anything through
    DoubleClick();
    Frames(3);
    EXPECT_EQ(PlayState, PS_IDLE);
    EXPECT_EQ(dev->Caption(), "Korvane 1.0.0");
    EXPECT_FALSE(fs::exists(Path("error.txt")));
    dev->SetDialogResult(Path("song.bms"));
    DoubleClick();
    Frames(2);
    EXPECT_EQ(PlayState, PS_PLAY);
}

TEST_F(WindowEvents, CloseRequestSavesTheOptionsAndTheRecentChart) {
    StartPlaying(Chart("song.bms"));
    modMain::Settings.DispInfo = true;
    dev->PushEvent({plat::Event::Type::Quit, "", 0});
    EXPECT_EQ(ExitCodeOf([this] { Frames(1); }), 0);
    std::string ini = shelltest::ReadText(Ini());
    EXPECT_NE(ini.find("DispInfo=True"), std::string::npos) << ini;
    EXPECT_NE(ini.find("RecentFile=\"" + Path("song.bms") + "\""), std::string::npos) << ini;
    EXPECT_FALSE(fs::exists(Path("error.txt")));
}

}  // namespace
