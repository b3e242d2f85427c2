// Header commands: fields, per-id tables, the media they load and the lines they ignore.
#include "chart_fixture.h"

namespace {

using namespace charttest;

// A 24-bit BMP picture of w x h grey pixels.
std::string Bmp(int w, int h) {
    auto u32 = [](uint32_t v) { return std::string(reinterpret_cast<const char*>(&v), 4); };
    auto u16 = [](uint16_t v) { return std::string(reinterpret_cast<const char*>(&v), 2); };
    int row = (w * 3 + 3) / 4 * 4;
    uint32_t size = static_cast<uint32_t>(row * h);
    return "BM" + u32(54 + size) + u32(0) + u32(54) + u32(40) + u32(static_cast<uint32_t>(w)) +
           u32(static_cast<uint32_t>(h)) + u16(1) + u16(24) + u32(0) + u32(size) + u32(2835) +
           u32(2835) + u32(0) + u32(0) + std::string(size, '\x80');
}

std::string Wav() {
    auto u32 = [](uint32_t v) { return std::string(reinterpret_cast<const char*>(&v), 4); };
    auto u16 = [](uint16_t v) { return std::string(reinterpret_cast<const char*>(&v), 2); };
    return "RIFF" + u32(36 + 8) + "WAVEfmt " + u32(16) + u16(1) + u16(1) + u32(44100) + u32(88200) +
           u16(2) + u16(16) + "data" + u32(8) + std::string(8, '\0');
}

class ChartHeader : public ChartTest {};

TEST_F(ChartHeader, NumericFieldsReadTheLeadingNumberAndRound) {
    Read({"#PLAYER 3", "#PLAYLEVEL 2.5", "#RANK 3.5x", "#TOTAL 350.25", "#VOLWAV 50", "#LNOBJ zz",
          "#GENLE Rock"});
    EXPECT_EQ(Player, 3);
    EXPECT_EQ(PlayLevel, 2);  // halves to even
    EXPECT_EQ(Rank, 4);
    EXPECT_EQ(Total, 350.25f);
    EXPECT_EQ(VolWav, 0.5f);
    EXPECT_EQ(LnObj, 1295);
    EXPECT_EQ(Genre, "Rock");
    Read({"#PLAYLEVEL", "#RANK abc", "#PLAYER -2"});
    EXPECT_EQ(PlayLevel, 0);
    EXPECT_EQ(Rank, 0);
    EXPECT_EQ(Player, -2);
}

TEST_F(ChartHeader, TempoOfZeroIsIgnoredAndTablesAreSeparate) {
    Read({"#BPM 0"});
    EXPECT_EQ(Bpm, 130.0f);
    Read({"#BPM01 150", "#BPM 87.5", "#BPM -20x", "#BPM02 0", "#BPMZZ 1e3"});
    EXPECT_EQ(BpmTable[1], 150.0f);
    EXPECT_EQ(BpmTable[2], 0.0f);
    EXPECT_EQ(BpmTable[1295], 1000.0f);
    EXPECT_EQ(Bpm, -20.0f);  // negative tempos are taken
    EXPECT_EQ(BaseBpm, -20.0f);
}

TEST_F(ChartHeader, StopLengthsAreWholeNumbersOfTicks) {
    Read({"#STOP01 96", "#STOP02 1.5", "#STOP03 2.5", "#STOP04 abc", "#STOP05 12x", "#STOP06",
          "#STOP07  48 ", "#STOP00 10"});
    EXPECT_EQ(StopTable[1], 96);
    EXPECT_EQ(StopTable[2], 2);
    EXPECT_EQ(StopTable[3], 2);
    EXPECT_EQ(StopTable[4], 0);  // not a number: ignored
    EXPECT_EQ(StopTable[5], 0);
    EXPECT_EQ(StopTable[6], 0);
    EXPECT_EQ(StopTable[7], 48);
    EXPECT_EQ(StopTable[0], 0);
}

TEST_F(ChartHeader, BgaPlacementHasSevenSpaceSeparatedParts) {
    Read({"#BGA01 02 0 0 256 256 10 20", "#BGA02 02", "#BGA03 0A  5 6 7 8 9 10 11",
          "#BGA04 100 1 2 3 4 5 6"});
    const BgaRecord& a = BgaTable[1];
    EXPECT_EQ(a.BmpNo, 2);
    EXPECT_EQ(a.SrcRect.Left, 0);
    EXPECT_EQ(a.SrcRect.Right, 256);
    EXPECT_EQ(a.SrcRect.Bottom, 256);
    EXPECT_EQ(a.DestX, 10);
    EXPECT_EQ(a.DestY, 20);
    const BgaRecord& b = BgaTable[2];
    EXPECT_EQ(b.BmpNo, 2);
    EXPECT_EQ(b.SrcRect.Right, 0);
    EXPECT_EQ(b.DestY, 0);
    // Two spaces give an empty part, shifting the rest; parts beyond seven are dropped.
    const BgaRecord& c = BgaTable[3];
    EXPECT_EQ(c.BmpNo, 10);
    EXPECT_EQ(c.SrcRect.Left, 0);
    EXPECT_EQ(c.SrcRect.Top, 5);
    EXPECT_EQ(c.DestY, 9);
    EXPECT_EQ(BgaTable[4].BmpNo, 0);  // 1296 names no image
    EXPECT_EQ(BgaTable[4].SrcRect.Left, 1);
}

TEST_F(ChartHeader, SoundsAndImagesLoadIntoTheirSlots) {
    WriteFile(Path("s.wav"), Wav());
    WriteFile(Path("p.bmp"), Bmp(4, 4));
    Load(
        "#WAV00 s.wav\n#WAV01 s.wav\n#BMP00 p.bmp\n#BMP01 p.bmp\n#WAVA1 missing.wav\n"
        "#00101:01\n");
    EXPECT_FALSE(modSound::WavBuffer[0].isInitialized());
    EXPECT_TRUE(modSound::WavBuffer[1].isInitialized());
    EXPECT_TRUE(modDraw::BmpSurface[0].isInitialized());
    EXPECT_TRUE(modDraw::BmpSurface[1].isInitialized());
    EXPECT_EQ(modDraw::BmpSurface[1].Width(), 4);
    EXPECT_FALSE(modSound::WavBuffer[DecodeId("A1")].isInitialized());
}

TEST_F(ChartHeader, ImagesAreNotLoadedWithBgaOff) {
    modMain::Settings.BGA = 0;
    WriteFile(Path("p.bmp"), Bmp(2, 2));
    Load("#BMP01 p.bmp\n#00104:01\n");
    EXPECT_FALSE(modDraw::BmpSurface[1].isInitialized());
}

TEST_F(ChartHeader, PathWavIsAPrefixForLaterLinesOnly) {
    fs::create_directory(Path("snd"));
    WriteFile(Path("snd/pre_a.wav"), Wav());
    WriteFile(Path("b.wav"), Wav());
    // Without a trailing separator the prefix joins the file name directly.
    Load("#WAV01 b.wav\n#PATH_WAV " + Path("snd/pre_") +
         "\n#WAV02 a.wav\n#WAV03 b.wav\n"
         "#00101:010203\n");
    EXPECT_EQ(PathWav, Path("snd/pre_"));
    EXPECT_TRUE(modSound::WavBuffer[1].isInitialized());
    EXPECT_TRUE(modSound::WavBuffer[2].isInitialized());
    EXPECT_FALSE(modSound::WavBuffer[3].isInitialized());
}

TEST_F(ChartHeader, WindowsStyleNamesFindTheirFiles) {
    fs::create_directory(Path("Sounds"));
    WriteFile(Path("Sounds/Kick.wav"), Wav());
    Load("#WAV01 sounds\\KICK.WAV\n#00101:01\n");
    EXPECT_TRUE(modSound::WavBuffer[1].isInitialized());
}

TEST_F(ChartHeader, LinesWithoutAUsableIdAreIgnored) {
    Read({"#", "# x", "#A", "#WAV", "#BPM!! 200", "#STOP-1 10", "#BGA-- 01 1 1 1 1 1 1",
          "#WAV1 a.wav", "#BPM001 90", "#SUBTITLE x", "#STAGEFILE x.png",
          "#BPM\xE3\x81\x82"
          "1 5"});
    for (Long id = 0; id <= 1295; ++id) {
        EXPECT_EQ(BpmTable[id], 0.0f) << id;
        EXPECT_EQ(StopTable[id], 0) << id;
        EXPECT_EQ(BgaTable[id].SrcRect.Left, 0) << id;
    }
    EXPECT_EQ(Bpm, 130.0f);
}

TEST_F(ChartHeader, ValuesBeyondTheirTypeAreReportedRunTimeErrors) {
    std::string report = ReportOf([&] { Read({"#PLAYER 1e10"}); });
    EXPECT_NE(report.find("ErrorNo.6 Overflow @LoadBMSHeader"), std::string::npos) << report;
    report = ReportOf([&] { Read({"#LNOBJ 1ZZZ"}); });  // beyond an Integer
    EXPECT_NE(report.find("@LoadBMSHeader"), std::string::npos) << report;
    report = ReportOf([&] { Read({"#BGA01 ZZZ"}); });
    EXPECT_NE(report.find("@LoadBMSHeader"), std::string::npos) << report;
    report = ReportOf([&] { Read({"#RANDOM 1e300"}); });
    EXPECT_NE(report.find("ErrorNo.6 Overflow @LoadBMSLine"), std::string::npos) << report;
}

}  // namespace
