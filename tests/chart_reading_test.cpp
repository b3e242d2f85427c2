// Reading a chart file: line ends, trimming, commands and arguments, random blocks, encodings,
// the caption, the playback-speed limit and a load cut short by a new request.
#include <cstdio>
#include <cstring>
#include <memory>
#include <set>

#include "chart_fixture.h"

namespace {

using namespace charttest;
using modMain::PlayState;

// A 16-bit mono PCM WAV file of `frames` silent frames.
std::string Wav(int rate, int frames) {
    auto u32 = [](uint32_t v) { return std::string(reinterpret_cast<const char*>(&v), 4); };
    auto u16 = [](uint16_t v) { return std::string(reinterpret_cast<const char*>(&v), 2); };
    uint32_t data = static_cast<uint32_t>(frames) * 2;
    return "RIFF" + u32(36 + data) + "WAVEfmt " + u32(16) + u16(1) + u16(1) +
           u32(static_cast<uint32_t>(rate)) + u32(static_cast<uint32_t>(rate) * 2) + u16(2) +
           u16(16) + "data" + u32(data) + std::string(data, '\0');
}

class ChartReading : public ChartTest {};

TEST_F(ChartReading, LineEndsOfAnyKindGiveTheSameModel) {
    const char* lines[] = {"#TITLE x", "#BPM 150", "#00111:0101", "#00212:01", "#00103:78"};
    std::string dumps[4];
    const char* ends[] = {"\r\n", "\n", "\r", "\n\r\n"};
    for (int k = 0; k < 4; ++k) {
        std::string text;
        for (const char* l : lines) text += std::string(l) + ends[k];
        Load(text);
        ASSERT_EQ(PlayState, modMain::PS_PLAY);
        std::string d;
        for (long i = 0; i <= Obj.UBound(); ++i)
            d += std::to_string(Obj[i].Channel) + ":" + C4(Obj[i].Time) + " ";
        dumps[k] = d + Title + C4(TotalTime);
    }
    EXPECT_EQ(dumps[0], dumps[1]);
    EXPECT_EQ(dumps[0], dumps[2]);
    EXPECT_EQ(dumps[0], dumps[3]);
    EXPECT_EQ(Title, "x");
}

TEST_F(ChartReading, CommandsAreUpperCasedArgumentsKeptAsWritten) {
    Load("#title My Song\n#ARTIST  Two  Spaces  \n#GENRE:Drum:Bass\n#00111:01\n");
    EXPECT_EQ(Title, "My Song");
    EXPECT_EQ(Artist, " Two  Spaces");  // one separator eaten, trailing spaces trimmed
    EXPECT_EQ(Genre, "Drum:Bass");      // the first colon separates, later ones stay
    EXPECT_EQ(DisplayTitle, "[Drum:Bass] My Song /  Two  Spaces ");
}

TEST_F(ChartReading, OnlyLinesStartingWithHashAfterSpacesCount) {
    Load("   #TITLE spaced\n\t#ARTIST tabbed\n*#GENRE star\nTITLE none\n\n   \n#00111:01\n");
    EXPECT_EQ(Title, "spaced");
    EXPECT_EQ(Artist, "");
    EXPECT_EQ(Genre, "");
    EXPECT_EQ(DisplayTitle, "spaced / Unknown Artist ");
}

TEST_F(ChartReading, DisplayTitleFallsBackForMissingFields) {
    Load("#00111:01\n");
    EXPECT_EQ(DisplayTitle, "No Title / Unknown Artist ");
}

TEST_F(ChartReading, RandomBlockTakesExactlyOneBranch) {
    const std::string chart =
        "#RANDOM 2\n#IF 1\n#00111:01\n#ENDIF\n#IF 2\n#00112:01\n#ENDIF\n#00211:01\n";
    int first = 0, second = 0;
    for (int seed = 0; seed < 40; ++seed) {
        SetRandomSeed(seed);
        Load(chart);
        size_t a = OnChannel(11).size(), b = OnChannel(12).size();
        ASSERT_EQ(a + b, 2u) << seed;  // measure 2's note plus one branch
        EXPECT_EQ(RandomText, b == 1 ? ">2/2" : ">1/2");
        EXPECT_EQ(RandomValue, b == 1 ? 2 : 1);
        (b == 1 ? second : first)++;
    }
    EXPECT_GT(first, 5);
    EXPECT_GT(second, 5);
}

TEST_F(ChartReading, RandomDrawsAccumulateAndRepeatWithTheSeed) {
    const std::string chart = "#RANDOM 0\n#RANDOM 100\n#rondam 6\n#00111:01\n";
    std::set<std::string> seen;
    for (int seed = 0; seed < 20; ++seed) {
        SetRandomSeed(seed);
        Load(chart);
        int a = 0, b = 0, c = 0, n1 = 0, n2 = 0, n3 = 0;
        ASSERT_EQ(std::sscanf(RandomText.c_str(), ">%d/%d>%d/%d>%d/%d", &a, &n1, &b, &n2, &c, &n3),
                  6)
            << RandomText;
        EXPECT_EQ(a, 1);  // Int(Rnd x 0) + 1
        EXPECT_EQ(n1, 0);
        EXPECT_TRUE(b >= 1 && b <= 100 && n2 == 100) << RandomText;
        EXPECT_TRUE(c >= 1 && c <= 6 && n3 == 6) << RandomText;
        EXPECT_EQ(RandomValue, c);
        std::string first = RandomText;
        Load(chart);  // the same seed gives the same draws at every load
        EXPECT_EQ(RandomText, first);
        seen.insert(first);
    }
    EXPECT_GT(seen.size(), 10u);
}

TEST_F(ChartReading, BlocksDoNotNestAndIfWithoutRandomComparesWithZero) {
    SetRandomSeed(3);
    // No #RANDOM yet: #IF 0 is taken, #IF 1 is not.
    Load("#IF 0\n#00111:01\n#ENDIF\n#IF 1\n#00112:01\n#ENDIF\n");
    EXPECT_EQ(OnChannel(11).size(), 1u);
    EXPECT_EQ(OnChannel(12).size(), 0u);
    // A #RANDOM inside a skipped block is still drawn; a second #IF replaces the first.
    Load("#IF 5\n#RANDOM 1\n#00113:01\n#IF 1\n#00114:01\n#ENDIF\n");
    EXPECT_EQ(RandomText, ">1/1");
    EXPECT_EQ(OnChannel(13).size(), 1u);  // the #RANDOM re-opened the flag
    EXPECT_EQ(OnChannel(14).size(), 1u);
}

TEST_F(ChartReading, ShiftJisChartIsReadAsText) {
    // "#TITLE テスト" and "#ARTIST ①" in CP932.
    Load("#TITLE \x83\x65\x83\x58\x83\x67\r\n#ARTIST \x87\x40\r\n#00111:01\r\n");
    EXPECT_EQ(Title, "\xE3\x83\x86\xE3\x82\xB9\xE3\x83\x88");
    EXPECT_EQ(Artist, "\xE2\x91\xA0");
}

TEST_F(ChartReading, Utf8ChartIsKept) {
    Load("#TITLE \xE3\x82\xB6\xE3\x83\xBB\xE3\x83\xAF\r\n#00111:01\r\n", "\xE4\xB8\x96.bms");
    EXPECT_EQ(Title, "\xE3\x82\xB6\xE3\x83\xBB\xE3\x83\xAF");
    EXPECT_EQ(dev->Caption(), "Korvane 1.0.0 - " + Path("\xE4\xB8\x96.bms"));
}

TEST_F(ChartReading, InvalidShiftJisBecomesReplacementCharacters) {
    Load(
        "#TITLE a\x81\x20"
        "b\xFF\n#00111:01\n");
    EXPECT_EQ(ObjCount, 1);
    EXPECT_NE(Title.find("\xEF\xBF\xBD"), std::string::npos);
    EXPECT_EQ(Title.substr(0, 1), "a");
}

TEST_F(ChartReading, SuccessfulLoadSetsCaptionClocksAndFolder) {
    dev->SetTime(77000);
    Load("#00111:01\n", "song.bme");
    EXPECT_EQ(PlayState, modMain::PS_PLAY);
    EXPECT_EQ(dev->Caption(), "Korvane 1.0.0 - " + Path("song.bme"));
    EXPECT_TRUE(dev->Shown());
    EXPECT_EQ(modCount::StartTime, 77000);
    EXPECT_EQ(modCount::LastTime, 77000);
    EXPECT_EQ(LoadTime, 0);  // the virtual clock did not move
    EXPECT_EQ(BMSFolder, dir + "/");
    EXPECT_EQ(PathWav, dir + "/");
    EXPECT_EQ(frmMain::DialogFileName, Path("song.bme"));
    EXPECT_EQ(Total, 201.0f);  // no #TOTAL: notes + 200
}

TEST_F(ChartReading, WindowsStyleFolderEndsAtTheLastBackslash) {
    BMSFileName = "C:\\charts\\song\\a.bms";
    LoadBMSStart();
    EXPECT_EQ(BMSFolder, "C:\\charts\\song\\");
    BMSFileName = "a.bms";
    LoadBMSStart();
    EXPECT_EQ(BMSFolder, "");
}

TEST_F(ChartReading, ChartWithoutObjectsGoesIdle) {
    Load("#TITLE empty\n#00111:00\n#00131:01\n");
    EXPECT_EQ(PlayState, modMain::PS_IDLE);
    EXPECT_EQ(dev->Caption(), "Korvane 1.0.0");
    EXPECT_EQ(Title, "empty");
}

TEST_F(ChartReading, MissingFileOrFolderChangesNothing) {
    Title = "kept";
    LoadFile(Path("absent.bms"));
    fs::create_directory(Path("folder.bms"));
    LoadFile(Path("folder.bms"));
    EXPECT_EQ(Title, "kept");
    EXPECT_EQ(PlayState, modMain::PS_LOAD);  // the request stays; nothing was read
}

TEST_F(ChartReading, ProgressDotsAppearOncePerSecond) {
    dev->SetCaption("c");
    LastDotTime = 1000;
    dev->SetTime(1999);
    ShowLoadProgress();
    EXPECT_EQ(dev->Caption(), "c");
    dev->SetTime(2000);
    ShowLoadProgress();
    ShowLoadProgress();
    EXPECT_EQ(dev->Caption(), "c.");
    EXPECT_EQ(LastDotTime, 2000);
}

TEST_F(ChartReading, PlaybackLimitFollowsTheFastestSound) {
    WriteFile(Path("a.wav"), Wav(22050, 100));
    Load("#WAV01 a.wav\n#00101:01\n");
    EXPECT_EQ(modMain::Settings.MaxFrequency, 450);  // Int(100000 / 22050 x 20) x 5
    WriteFile(Path("b.wav"), Wav(44100, 100));
    Load("#WAV01 a.wav\n#WAV02 b.wav\n#00101:0102\n");
    EXPECT_EQ(modMain::Settings.MaxFrequency, 225);
    Load("#WAV01 none.wav\n#00101:01\n");
    EXPECT_EQ(modMain::Settings.MaxFrequency, 200);
    EXPECT_FALSE(modSound::WavBuffer[1].isInitialized());
}

TEST_F(ChartReading, ANewRequestDuringReadingAbandonsTheLoad) {
    WriteFile(Path("second.bms"), "#TITLE second\n#00111:01\n");
    dev->PushEvent({plat::Event::Type::DropFile, Path("second.bms")});
    Load("#TITLE first\n#00111:01\n");
    EXPECT_EQ(PlayState, modMain::PS_LOAD);
    EXPECT_EQ(BMSFileName, Path("second.bms"));
    EXPECT_EQ(dev->Caption(), "Korvane 1.0.0");
    EXPECT_NE(Title, "first");  // reading stopped before the first line
    LoadBMS();                  // the next frame loads the new one
    EXPECT_EQ(PlayState, modMain::PS_PLAY);
    EXPECT_EQ(Title, "second");
}

// Counts the message passes (each polls the queue once when it is empty) and can move its clock
// by a millisecond at every reading.
class CountingDevice : public plat::HeadlessDevice {
  public:
    int32_t Now() override { return ticking ? clock++ : clock; }
    bool PollEvent(plat::Event& e) override {
        if (++polls == wheelAtPoll) PushEvent({plat::Event::Type::Wheel, "", -120});
        return HeadlessDevice::PollEvent(e);
    }
    bool ticking = false;
    int32_t clock = 0;
    int polls = 0;
    int wheelAtPoll = 0;  // a wheel notch arrives at this poll (0: none)
};

TEST_F(ChartReading, MessagePassRunsAtMostOncePerMillisecond) {
    auto owned = std::make_unique<CountingDevice>();
    CountingDevice* counting = owned.get();
    plat::Install(std::move(owned));
    std::string text;
    for (int i = 0; i < 100; ++i) text += "#00111:01\r\n";
    Load(text);
    EXPECT_EQ(counting->polls, 1);  // the clock stood still: only the first line's pass
    EXPECT_EQ(ObjCount, 100);
    counting->polls = 0;
    counting->ticking = true;
    Load(text);
    EXPECT_EQ(counting->polls, 100);
    EXPECT_EQ(ObjCount, 100);
}

// The wheel seeks inside a message pass, and the loader makes such passes while the objects are
// still being read: a seek then would work on a half-built chart, so it is ignored.
TEST_F(ChartReading, TheWheelDoesNotSeekInsideAChartStillBeingRead) {
    auto owned = std::make_unique<CountingDevice>();
    CountingDevice* counting = owned.get();
    counting->ticking = true;
    plat::Install(std::move(owned));
    std::string text = "#TITLE wheel\r\n#LNTYPE 1\r\n#BPM 120\r\n";
    for (int m = 0; m < 60; ++m) {
        char line[64];
        std::snprintf(line, sizeof line, "#%03d11:0101\r\n#%03d51:01000001\r\n#%03d03:78\r\n", m, m,
                      m);
        text += line;
    }
    Load(text);
    std::vector<ObjRecord> clean = Objects();
    counting->wheelAtPoll = counting->polls + 40;
    Load(text);
    EXPECT_EQ(PlayState, modMain::PS_PLAY);
    EXPECT_EQ(modCount::CurrentMeasure, 0);
    EXPECT_EQ(modCount::PlayTime.raw, 0);
    std::vector<ObjRecord> got = Objects();
    ASSERT_EQ(got.size(), clean.size());
    for (size_t i = 0; i < got.size(); ++i) {
        EXPECT_EQ(got[i].Enabled, clean[i].Enabled) << i;
        EXPECT_EQ(got[i].Kind, clean[i].Kind) << i;
        EXPECT_EQ(got[i].Time.raw, clean[i].Time.raw) << i;
    }
}

}  // namespace
