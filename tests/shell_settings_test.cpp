// krv.ini through LoadConfig, LoadDefaultConfig and SaveConfig: the new file, values as read,
// the retry path for bad files and unwritable folders, and what a shutdown writes back.
#include "shell_fixture.h"

namespace {

using modMain::Settings;
using shelltest::ReadText;
using shelltest::WriteText;

const char kNewFile[] =
    "[Main]\nKey=Korvane\nX=0\nY=0\nAlwaysOnTop=False\nVSYNC=False\nSinglePlay=False\n"
    "[Option]\nHS=1\nBGA=3\nEffect=7\nSkinType=0\nDispInfo=False\nVolume=100\n";

class SettingsFile : public shelltest::ShellTest {
  protected:
    // A valid file with some values replaced or added ("Section/Key=Value" lines).
    void WriteIniWith(std::initializer_list<std::pair<const char*, const char*>> values) {
        WriteText(Ini(), kNewFile);
        for (auto& [sectionKey, value] : values) {
            std::string sk = sectionKey;
            size_t slash = sk.find('/');
            modMain::WriteIni(sk.substr(0, slash), sk.substr(slash + 1), value);
        }
    }
};

TEST_F(SettingsFile, FirstStartWritesTheTwelveDefaultKeysAndReadsThem) {
    dev->SetWindowPos(300, 200);
    modMain::LoadConfig();
    EXPECT_EQ(ReadText(Ini()), kNewFile);
    EXPECT_EQ(modMain::ConfigRetry, 1);
    EXPECT_EQ(Settings.Effect, 7);
    EXPECT_EQ(Settings.BGA, 3);
    EXPECT_EQ(Settings.HS, 1.0f);
    EXPECT_EQ(Settings.Volume, 100.0f);
    EXPECT_EQ(Settings.AutoPlay, 3);
    EXPECT_EQ(Settings.Frequency, 100);
    EXPECT_EQ(Settings.MaxFrequency, 200);
    EXPECT_FALSE(Settings.VSYNC || Settings.SinglePlay || Settings.AlwaysOnTop ||
                 Settings.DispInfo);
    int x = -1, y = -1;
    dev->GetWindowPos(x, y);
    EXPECT_EQ(x, 0);
    EXPECT_EQ(y, 0);
    EXPECT_EQ(modMain::PlayState, modMain::PS_IDLE);
}

TEST_F(SettingsFile, ValuesAreTakenAsTheyAreApartFromHsAndThePosition) {
    WriteIniWith({{"Option/HS", "0"},
                  {"Option/BGA", "2.5"},
                  {"Option/Effect", " 1 "},
                  {"Option/SkinType", "3.5"},
                  {"Option/Volume", "-20"},
                  {"Main/VSYNC", "-1"},
                  {"Main/SinglePlay", "true"},
                  {"Option/DispInfo", "#TRUE#"}});
    modMain::LoadConfig();
    EXPECT_EQ(modMain::ConfigRetry, 0);
    EXPECT_EQ(Settings.HS, 1.0f);
    EXPECT_EQ(Settings.BGA, 2);  // halves to even
    EXPECT_EQ(Settings.Effect, 1);
    EXPECT_EQ(Settings.SkinType, 4);  // no range check: the users of the field cycle it
    EXPECT_EQ(Settings.Volume, -20.0f);
    EXPECT_TRUE(Settings.VSYNC && Settings.SinglePlay && Settings.DispInfo);

    WriteIniWith({{"Option/HS", "-2"}, {"Option/SkinType", "2"}});
    modMain::LoadConfig();
    EXPECT_EQ(Settings.HS, 1.0f);
    EXPECT_EQ(modKey::LaneX2PScratch, 174);  // the scratch layout follows SkinType
    WriteIniWith({{"Option/HS", "0.5"}});
    modMain::LoadConfig();
    EXPECT_EQ(Settings.HS, 0.5f);
}

TEST_F(SettingsFile, WindowPositionIsCheckedAgainstTheScreen) {
    dev->SetScreenSize(1920, 1080);
    auto placed = [&](const char* x, const char* y) {
        WriteIniWith({{"Main/X", x}, {"Main/Y", y}});
        modMain::LoadConfig();
        int px = -1, py = -1;
        dev->GetWindowPos(px, py);
        return std::make_pair(px, py);
    };
    EXPECT_EQ(placed("-150", "1500"), std::make_pair(0, 100));
    EXPECT_EQ(placed("28800", "16200"), std::make_pair(1920, 1080));  // exactly the screen: kept
    EXPECT_EQ(placed("28801", "16215"), std::make_pair(0, 0));
    EXPECT_EQ(modMain::ConfigRetry, 0);
}

TEST_F(SettingsFile, IdentityInQuotesIsRecognisedOtherCaseIsNot) {
    WriteIniWith({{"Main/Key", "\"Korvane\""}, {"Option/BGA", "1"}});
    modMain::LoadConfig();
    EXPECT_EQ(modMain::ConfigRetry, 0);
    EXPECT_EQ(Settings.BGA, 1);

    WriteIniWith({{"Main/Key", "korvane"},
                  {"Option/BGA", "1"},
                  {"Main/Font", "Serif"},
                  {"Main/RecentFile", "\"/songs/a b.bms\""},
                  {"Option/Extra", "kept"}});
    modMain::LoadConfig();
    EXPECT_EQ(modMain::ConfigRetry, 1);
    EXPECT_EQ(Settings.BGA, 3);
    EXPECT_EQ(modMain::GetIni("Main", "Key", ""), "Korvane");
    EXPECT_EQ(dev->FontFace(), "Serif");
    EXPECT_EQ(modBMSLoad::BMSFileName, "/songs/a b.bms");
    EXPECT_EQ(frmMain::DialogFileName, "/songs/a b.bms");
    EXPECT_EQ(modMain::PlayState, modMain::PS_IDLE);  // a recent file is not loaded at start-up
    EXPECT_EQ(modMain::GetIni("Option", "Extra", ""), "kept");
}

TEST_F(SettingsFile, MissingKeysAndSectionsGiveTheirReadingDefaults) {
    WriteText(Ini(), "[Main]\nKey=Korvane\n");
    dev->SetFontFace("Default Face");
    modMain::LoadConfig();
    EXPECT_EQ(modMain::ConfigRetry, 0);
    EXPECT_EQ(Settings.Effect, 3);  // not the 7 of a new file
    EXPECT_EQ(Settings.BGA, 3);
    EXPECT_EQ(Settings.HS, 1.0f);
    EXPECT_EQ(Settings.SkinType, 0);
    EXPECT_EQ(Settings.Volume, 100.0f);
    EXPECT_EQ(dev->FontFace(), "Default Face");
    EXPECT_EQ(modBMSLoad::BMSFileName, "");
}

TEST_F(SettingsFile, TopmostAndFontAreAppliedToTheWindow) {
    WriteIniWith({{"Main/AlwaysOnTop", "True"}, {"Main/Font", "Noto Sans CJK JP"}});
    modMain::LoadConfig();
    EXPECT_TRUE(Settings.AlwaysOnTop);
    EXPECT_TRUE(dev->AlwaysOnTop());
    EXPECT_EQ(dev->FontFace(), "Noto Sans CJK JP");
}

TEST_F(SettingsFile, BadValuesRewriteTheDefaultsAndStartNormally) {
    for (const char* bad : {"Option/BGA=abc", "Option/HS=", "Main/AlwaysOnTop=yes",
                            "Option/Volume=1e999", "Option/Effect=99999999999", "Main/X=1,5"}) {
        std::string b = bad;
        size_t eq = b.find('=');
        modMain::ConfigRetry = 0;
        WriteText(Ini(), kNewFile);
        modMain::WriteIni(b.substr(0, b.find('/')), b.substr(b.find('/') + 1, eq - b.find('/') - 1),
                          b.substr(eq + 1));
        modMain::WriteIni("Main", "RecentFile", "\"kept.bms\"");
        modMain::LoadConfig();
        EXPECT_EQ(modMain::ConfigRetry, 1) << bad;
        EXPECT_EQ(Settings.BGA, 3) << bad;
        EXPECT_EQ(Settings.Effect, 7) << bad;
        std::string expected = kNewFile;
        expected.insert(expected.find("[Option]"), "RecentFile=\"kept.bms\"\n");
        EXPECT_EQ(ReadText(Ini()), expected) << bad;
    }
}

TEST_F(SettingsFile, UnusableFilesAreReplacedByANewOne) {
    std::string junk;
    for (int i = 0; i < 100000; ++i) junk += static_cast<char>((i * 7919) % 253 + 1);
    WriteText(Ini(), junk);
    modMain::LoadConfig();
    EXPECT_EQ(modMain::ConfigRetry, 1);
    EXPECT_EQ(Settings.Effect, 7);
    EXPECT_EQ(modMain::GetIni("Main", "Key", ""), "Korvane");

    // A megabyte line and duplicate keys: the first one wins, as on Windows.
    modMain::ConfigRetry = 0;
    WriteText(Ini(), "[Main]\n" + std::string(1 << 20, 'j') +
                         "\nKey=Korvane\nKey=Other\n"
                         "[Option]\nBGA=1\nBGA=2\n");
    modMain::LoadConfig();
    EXPECT_EQ(modMain::ConfigRetry, 0);
    EXPECT_EQ(Settings.BGA, 1);
    modMain::SaveConfig();
    std::string saved = ReadText(Ini());
    EXPECT_NE(saved.find("BGA=1\nBGA=2\n"), std::string::npos);
    EXPECT_EQ(saved.compare(0, 7 + (1 << 20), "[Main]\n" + std::string(1 << 20, 'j')), 0);
}

TEST_F(SettingsFile, LongValuesAreCutAt127Bytes) {
    std::string path(300, 'p');
    WriteIniWith({{"Main/RecentFile", ("\"" + path + "\"").c_str()}});
    modMain::LoadConfig();
    EXPECT_EQ(modBMSLoad::BMSFileName, path.substr(0, 127));
    EXPECT_EQ(modMain::GetIni("Main", "Missing", std::string(200, 'd') + "  "),
              std::string(127, 'd'));
}

TEST_F(SettingsFile, AFolderThatCannotBeWrittenEndsQuietlyAfterFiveAttempts) {
    // The program folder lies under a regular file: nothing can be read or written there.
    Touch("file");
    modMain::AppPath = Path("file") + "/";
    EXPECT_EQ(ExitCodeOf([] { modMain::LoadConfig(); }), 0);
    EXPECT_EQ(modMain::ConfigRetry, 5);
    EXPECT_TRUE(dev->MessageBoxes().empty());
}

TEST_F(SettingsFile, ABadValueThatCannotBeRewrittenIsReportedAtTheFifthAttempt) {
    WriteIniWith({{"Option/BGA", "abc"}});
    int code;
    {
        shelltest::NoFileWrites readOnly;
        code = ExitCodeOf([] { modMain::LoadConfig(); });
    }
    EXPECT_EQ(code, 1);
    EXPECT_EQ(modMain::ConfigRetry, 5);
    ASSERT_EQ(dev->MessageBoxes().size(), 1u);
    EXPECT_NE(dev->MessageBoxes()[0].find("「ErrorNo.13 Type mismatch @LoadConfig」"),
              std::string::npos);
    EXPECT_NE(ReadText(Ini()).find("BGA=abc"), std::string::npos);
}

TEST_F(SettingsFile, SaveConfigWritesItsKeysInOrderAndTheyReadBackExactly) {
    WriteText(Ini(), std::string(kNewFile) + "[Main]\n");
    modMain::WriteIni("Main", "VSYNC", "True");
    modMain::WriteIni("Option", "Volume", "55");
    modMain::LoadConfig();
    Settings.HS = 0.1f + 0.2f;
    Settings.BGA = -7;
    Settings.Effect = 1;
    Settings.SkinType = 2;
    Settings.DispInfo = true;
    Settings.AlwaysOnTop = true;
    Settings.SinglePlay = true;  // given by -SP: never stored
    Settings.Volume = 10;        // not written back
    modMain::VideoOpen = true;
    dev->SetWindowPos(37, 12);
    modBMSLoad::BMSFileName = " /songs/é dir/a b.bms ";
    modMain::SaveConfig();

    std::string saved = ReadText(Ini());
    EXPECT_EQ(saved,
              "[Main]\nKey=\"Korvane\"\nX=555\nY=180\nAlwaysOnTop=True\nVSYNC=True\n"
              "SinglePlay=False\nRecentFile=\" /songs/é dir/a b.bms \"\n[Option]\n"
              "HS=" +
                  vb::RoundTrip(0.1f + 0.2f) +
                  "\nBGA=-7\nEffect=1\nSkinType=2\n"
                  "DispInfo=True\nVolume=55\n[Main]\n");

    modMain::Settings = modMain::SettingsRecord{};
    dev->SetWindowPos(0, 0);
    modMain::LoadConfig();
    EXPECT_EQ(modMain::ConfigRetry, 0);
    EXPECT_EQ(Settings.HS, 0.1f + 0.2f);
    EXPECT_EQ(Settings.BGA, -7);
    EXPECT_EQ(Settings.SkinType, 2);
    EXPECT_TRUE(Settings.DispInfo && Settings.AlwaysOnTop && Settings.VSYNC);
    EXPECT_FALSE(Settings.SinglePlay);
    EXPECT_EQ(Settings.Volume, 55.0f);
    EXPECT_EQ(modBMSLoad::BMSFileName, " /songs/é dir/a b.bms ");
    int x = 0, y = 0;
    dev->GetWindowPos(x, y);
    EXPECT_EQ(x, 37);
    EXPECT_EQ(y, 12);
}

TEST_F(SettingsFile, FloatsSurviveAWriteAndARead) {
    WriteText(Ini(), kNewFile);
    for (float hs : {0.1f, 1.0f / 3, 12345.678f, 1e-7f, 3.4028235e38f, 0.75f, 7.0f}) {
        modMain::LoadConfig();
        Settings.HS = hs;
        modMain::SaveConfig();
        Settings.HS = 0;
        modMain::LoadConfig();
        EXPECT_EQ(Settings.HS, hs) << modMain::GetIni("Option", "HS", "");
    }
}

TEST_F(SettingsFile, WithoutTheSettingsFileNothingTouchesTheDisk) {
    WriteIniWith({{"Option/BGA", "1"}});
    std::string before = ReadText(Ini());
    modMain::UseSettingsFile = false;
    modMain::LoadConfig();
    EXPECT_EQ(modMain::ConfigRetry, 0);
    EXPECT_EQ(Settings.BGA, 3);
    EXPECT_EQ(Settings.Effect, 7);  // the value of a new file
    EXPECT_EQ(Settings.HS, 1.0f);
    Settings.BGA = 4;
    modMain::SaveConfig();
    EXPECT_FALSE(modMain::WriteIni("Main", "Key", "x"));
    EXPECT_EQ(ReadText(Ini()), before);
    EXPECT_EQ(ExitCodeOf([] { modMain::ShutDown(6, "Overflow", "Test"); }), 1);
    EXPECT_FALSE(shelltest::fs::exists(Path("error.txt")));
    EXPECT_EQ(ReadText(Ini()), before);
}

TEST_F(SettingsFile, AnUnreadableFileIsNeverReplaced) {
    shelltest::fs::create_directory(Ini());  // a folder in the file's place
    EXPECT_FALSE(modMain::WriteIni("Main", "Key", "Korvane"));
    EXPECT_EQ(modMain::GetIni("Main", "Key", "none"), "none");
    EXPECT_TRUE(shelltest::fs::is_directory(Ini()));
}

}  // namespace
