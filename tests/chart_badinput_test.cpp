// Charts that are broken in every way a file can be: the load ends normally or with a reported
// run-time error, never with a crash, and the lines the design leaves open are ignored.
#include <chrono>

#include "chart_fixture.h"

namespace {

using namespace charttest;

class ChartBadInput : public ChartTest {
  protected:
    // Loads and reports whether a run-time error ended it (false: the load finished).
    bool LoadEndsInReport(const std::string& text) {
        try {
            Load(text);
        } catch (const plat::ProcessExit& e) {
            EXPECT_EQ(e.code, 1);
            return true;
        }
        return false;
    }
};

TEST_F(ChartBadInput, OddLinesAreIgnoredAndTheRestLoads) {
    const char* lines[] = {
        "#",
        "# x",
        "##",
        "#:",
        "# ",
        "#00111",
        "#00111:",
        "#0011:01",
        "#-0111:01",
        "#1e311:01",
        "#00102:",
        "#00102:x",
        "#00102:-0.5",
        "#WAV",
        "#WAV!! a.wav",
        "#BMP-1 b",
        "#BGA",
        "#BGA01",
        "#BPM",
        "#BPM01",
        "#BPM01 x",
        "#STOP01",
        "#STOP01 ten",
        "#STOPZZ 1.5",
        "#RANDOM",
        "#RANDOM x",
        "#IF",
        "#IF x",
        "#ENDIF 3",
        "#ENDIF",
        "#LNOBJ",
        "#LNOBJ !!",
        "#PATH_WAV",
        "#TITLE",
        "#PLAYER x",
        "#00101:\x01\x02\x7F\x7F",
        "#\xE3\x81\x82",
        "#0011\xE3\x81\x82:01",
    };
    std::string text;
    for (const char* l : lines) text += std::string(l) + "\n";
    text += "#00211:01\n";
    ASSERT_FALSE(LoadEndsInReport(text));
    EXPECT_EQ(modMain::PlayState, modMain::PS_PLAY);
    ASSERT_EQ(OnChannel(11).size(), 1u);
    EXPECT_EQ(OnChannel(11)[0].Measure, 2);
    EXPECT_EQ(RandomText, ">1/0>1/0");
}

TEST_F(ChartBadInput, NulBytesAreOrdinaryCharacters) {
    std::string text = "#TITLE a";
    text += '\0';
    text += "b\n#001";
    text += '\0';
    text += "1:01\n#00111:01";
    text += '\0';
    text += "01\n";
    ASSERT_FALSE(LoadEndsInReport(text));
    EXPECT_EQ(Title, std::string("a\0b", 3));
    EXPECT_EQ(ObjCount, 1);  // "\u0000" in the middle spoils that slot
}

TEST_F(ChartBadInput, MegabyteLinesLoad) {
    std::string longData(1 << 20, '0');
    longData.replace(longData.size() - 2, 2, "01");
    std::string text = "#TITLE " + std::string(1 << 20, 'x') + "\r\n" + "#00111:" + longData +
                       "\r\n" + "#" + std::string(1 << 20, 'Z') + "\r\n" +
                       std::string(1 << 20, ' ') + "#00112:01" + std::string(1 << 20, ' ') + "\r\n";
    ASSERT_FALSE(LoadEndsInReport(text));
    EXPECT_EQ(Title.size(), 1u << 20);
    ASSERT_EQ(OnChannel(11).size(), 1u);
    EXPECT_EQ(OnChannel(11)[0].Pos, Currency::FromDouble(192 + (524287.0 * 192 / 524288)));
    EXPECT_EQ(OnChannel(12).size(), 1u);
}

TEST_F(ChartBadInput, InvalidShiftJisEverywhere) {
    std::string text;
    for (int b = 0x80; b <= 0xFF; ++b) text += std::string("#TITLE ") + char(b) + "\n";
    text +=
        "#00111:\x82\xA0\x81\n#0\x81\x40"
        "11:01\n#00112:01\n";
    ASSERT_FALSE(LoadEndsInReport(text));
    EXPECT_EQ(ObjCount, 1);
}

TEST_F(ChartBadInput, ValuesBeyondTheirRangesAreReported) {
    // Whatever the runtime cannot hold is a run-time error, which the error report ends.
    for (const char* line : {"#PLAYER 3000000000", "#RANK -1e10", "#TOTAL 1e39", "#BPM 1e39",
                             "#00102:1e20", "#STOP01 1e10", "#BGA01 01 1e10", "#LNOBJ ZZZZ"}) {
        EXPECT_TRUE(LoadEndsInReport(std::string(line) + "\n#00111:01\n")) << line;
    }
    // A tempo beyond what a tick can be computed from is reported by the timing.
    std::string report = ReportOf([&] { Load("#BPM 3e38\n#00111:01\n"); });
    EXPECT_NE(report.find("@PlayTimeCount"), std::string::npos) << report;
}

TEST_F(ChartBadInput, TinyMeasureLengthsGiveBarLinesAtOnePosition) {
    ASSERT_FALSE(LoadEndsInReport("#00002:0.0000001\n#00102:0.0000001\n#00211:01\n"));
    EXPECT_EQ(C4(MeasureInfo[0].Length), "0.0000");
    EXPECT_EQ(C4(MeasureInfo[2].Pos), "0.0000");
    EXPECT_EQ(C4(OnChannel(11)[0].Time), "0.0000");
    // Three bar lines shared position 0; the same-position pass kept one of them.
    int barLines = 0;
    for (long i = 0; i <= Obj.UBound(); ++i) barLines += Obj[i].Channel == CH_BARLINE;
    EXPECT_GE(barLines, 2);
}

TEST_F(ChartBadInput, HugeMeasureLengthsOverflowThePositions) {
    std::string text;
    for (int m = 0; m < 999; ++m) {
        char line[32];
        std::snprintf(line, sizeof line, "#%03d02:9e9\n", m);
        text += line;
    }
    EXPECT_TRUE(LoadEndsInReport(text + "#00111:01\n"));
}

TEST_F(ChartBadInput, FiftyMegabyteFileLoads) {
    std::string text;
    text.reserve(52u << 20);
    std::string comment = "* " + std::string(998, '-') + "\r\n";
    for (int m = 0; text.size() < (50u << 20); m = (m + 1) % 1000) {
        char head[16];
        std::snprintf(head, sizeof head, "#%03d11:", m);
        text += head + std::string(2000, '0') + "01\r\n";
        text += comment;
    }
    auto start = std::chrono::steady_clock::now();
    ASSERT_FALSE(LoadEndsInReport(text));
    double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_GT(ObjCount, 1000);
    EXPECT_EQ(MaxMeasure, 999);
    EXPECT_LT(seconds, 20.0);
}

TEST_F(ChartBadInput, ObjectsOnOddChannelsLoad) {
    // Channel -1 objects look like bar lines to the timing, channel 0 ones do nothing.
    ASSERT_FALSE(LoadEndsInReport("#01e-1:01\n#00e-9:0101\n#00117:01\n#001D1:01\n#00211:01\n"));
    EXPECT_EQ(modMain::PlayState, modMain::PS_PLAY);
    EXPECT_EQ(MaxMeasure, 2);
}

TEST_F(ChartBadInput, EmptyAndBlankFiles) {
    EXPECT_FALSE(LoadEndsInReport(""));
    EXPECT_EQ(modMain::PlayState, modMain::PS_IDLE);
    EXPECT_FALSE(LoadEndsInReport("\r\n\r\n   \n\t\n"));
    EXPECT_EQ(modMain::PlayState, modMain::PS_IDLE);
    EXPECT_FALSE(LoadEndsInReport(std::string(1000, '\0')));
    EXPECT_EQ(modMain::PlayState, modMain::PS_IDLE);
}

}  // namespace
