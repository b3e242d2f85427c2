// Charts written outside this project (../shared/testdata), loaded as the player loads them. The
// expected times were worked out by hand from the tempo, the stops and the step-wise rounding.
#include "chart_fixture.h"

namespace {

using namespace charttest;

class SharedCharts : public ChartTest {
  protected:
    std::vector<std::string> MeasureTimes() const {
        std::vector<std::string> t;
        for (int m = 0; m <= MaxMeasure + 1; ++m) t.push_back(C4(MeasureInfo[m].Time));
        return t;
    }
};

using Times = std::vector<std::string>;

TEST_F(SharedCharts, StopsDelayTheMeasureThatHoldsThem) {
    REQUIRE_SHARED_CHART(path, "stop.bms");
    LoadFile(path);
    // At 150 BPM a tick is 8.3333330 ms; the three stops (48, 96, 192 ticks) add 2799.9999 ms and
    // the measure's own seven steps 1600.0000 ms.
    EXPECT_EQ(MeasureTimes(), (Times{"0.0000", "1599.9999", "5999.9998", "7599.9998"}));
    EXPECT_EQ(NoteCount[0], 9);
    std::vector<ObjRecord> stops = OnChannel(CH_STOP);
    ASSERT_EQ(stops.size(), 3u);
    EXPECT_EQ(stops[0].Value, 48);
    EXPECT_EQ(stops[2].Value, 192);
    EXPECT_EQ(C4(stops[2].Time), "4199.9999");
}

TEST_F(SharedCharts, TempoChangesByHexAndByTableIncludingAVerySlowOne) {
    REQUIRE_SHARED_CHART(path, "bpm.bms");
    LoadFile(path);
    // 150 then &HAF (175) half-way through measure 0; 200 and 250 in measure 1; #BPM01 300 and
    // #BPM02 0.1 in measure 2 (a tick of 12499.999 ms: 96 ticks are 1199999.90625, rounded half
    // to even); &H96 (150) from measure 3.
    EXPECT_EQ(MeasureTimes(),
              (Times{"0.0000", "1485.7143", "2565.7143", "1202965.6205", "1204565.6204"}));
    EXPECT_EQ(OnChannel(CH_BPM).size(), 4u);
    EXPECT_EQ(OnChannel(CH_BPM)[0].Value, 175);
    EXPECT_EQ(C4(TotalTime), "1204565.6204");
}

TEST_F(SharedCharts, MeasureLengthsMoveTheBarLines) {
    REQUIRE_SHARED_CHART(path, "bar.bms");
    LoadFile(path);
    EXPECT_EQ(C4(MeasureInfo[1].Length), "384.0000");
    EXPECT_EQ(C4(MeasureInfo[2].Length), "144.0000");
    EXPECT_EQ(C4(MeasureInfo[3].Pos), "720.0000");
    EXPECT_EQ(MeasureTimes(),
              (Times{"0.0000", "1599.9999", "4799.9999", "5999.9999", "7599.9998"}));
    EXPECT_EQ(NoteCount[0], 10);
}

TEST_F(SharedCharts, ChannelLongNotesPairOnBothSides) {
    REQUIRE_SHARED_CHART(path, "ln.bme");
    LoadFile(path);
    EXPECT_EQ(NoteCount[0], 16);
    EXPECT_EQ(NoteCount[1], 8);
    EXPECT_EQ(NoteCount[2], 8);
    int starts = 0;
    for (long i = 0; i <= Obj.UBound(); ++i) {
        if (Obj[i].Kind != KIND_LN_START) continue;
        ++starts;
        const ObjRecord& end = Obj[Obj[i].Link];
        EXPECT_EQ(end.Kind, KIND_LN_END);
        EXPECT_EQ(end.Channel, Obj[i].Channel);
        EXPECT_GT(end.Pos, Obj[i].Pos);
    }
    EXPECT_EQ(starts, 16);
    // A pair may span a bar line: lane 14 from the last slot of measure 1 to measure 2.
    std::vector<ObjRecord> lane14 = OnChannel(14);
    ASSERT_EQ(lane14.size(), 2u);
    EXPECT_EQ(C4(lane14[0].Pos), "336.0000");
    EXPECT_EQ(C4(lane14[1].Pos), "384.0000");
}

TEST_F(SharedCharts, SevenKeyAndDoubleLayouts) {
    REQUIRE_SHARED_CHART(seven, "7k.bme");
    LoadFile(seven);
    EXPECT_EQ(NoteCount[0], 16);
    for (int lane : {11, 12, 13, 14, 15, 16, 17, 18}) EXPECT_EQ(OnChannel(lane).size(), 2u) << lane;
    REQUIRE_SHARED_CHART(fourteen, "14k.bme");
    LoadFile(fourteen);
    EXPECT_EQ(NoteCount[1], 8);
    EXPECT_EQ(NoteCount[2], 8);
    for (int lane : {21, 22, 23, 24, 25, 26, 27, 28}) EXPECT_EQ(OnChannel(lane).size(), 1u) << lane;
}

TEST_F(SharedCharts, OddLengthDataLosesItsLastCharacter) {
    REQUIRE_SHARED_CHART(path, "5k.bms");
    LoadFile(path);
    EXPECT_EQ(OnChannel(14).size(), 0u);  // "000000001": four empty pairs and a lone "1"
    EXPECT_EQ(NoteCount[0], 8);
    EXPECT_EQ(OnChannel(18).size(), 4u);  // the scratch lane
}

TEST_F(SharedCharts, Utf8TitleAndFileName) {
    REQUIRE_SHARED_CHART(path, "5k_\xE4\xB8\x96\xE7\x95\x8C.bms");
    LoadFile(path);
    EXPECT_EQ(Title, "\xE3\x82\xB6\xE3\x83\xBB\xE3\x83\xAF\xE3\x83\xBC\xE3\x83\xAB\xE3\x83\x89");
    EXPECT_EQ(dev->Caption(), "Korvane 1.0.0 - " + path);
}

TEST_F(SharedCharts, ManyBackgroundSoundsAtOnePosition) {
    REQUIRE_SHARED_CHART(path, "bgm32.bms");
    LoadFile(path);
    EXPECT_EQ(OnChannel(CH_BGM).size(), 44u);
    EXPECT_EQ(NoteCount[0], 0);
    // Four 48-tick steps, each rounded on its own.
    EXPECT_EQ(C4(MeasureInfo[1].Time), "1600.0000");
}

TEST_F(SharedCharts, InvisibleChannelStoresNothing) {
    REQUIRE_SHARED_CHART(path, "invisible.bms");
    LoadFile(path);
    EXPECT_EQ(NoteCount[0], 2);
    EXPECT_EQ(Objects().size(), 2u);
    EXPECT_EQ(Title, "invisible note test");
    EXPECT_EQ(C4(MeasureInfo[1].Time), "1333.3334");
    // The last line's slot was filled in and not stored; the bar line of measure 0 took it over.
    EXPECT_EQ(Obj[IndexOfBarLine(0)].Kind, KIND_NORMAL);
}

TEST_F(SharedCharts, LongNotesAcrossMeasuresWithLeadingFreeText) {
    REQUIRE_SHARED_CHART(last, "longnote-lntype1-last.bml");
    LoadFile(last);
    ASSERT_EQ(OnChannel(11).size(), 2u);
    EXPECT_EQ(OnChannel(11)[0].Kind, KIND_LN_START);
    EXPECT_EQ(OnChannel(11)[1].Value, 555);  // "ff"
    EXPECT_EQ(NoteCount[0], 1);
    REQUIRE_SHARED_CHART(bomb, "longnote-followed-by-bomb.bml");
    LoadFile(bomb);
    // "#001D1" is a number with an exponent: measure 1, channel "D1", which reads as 0.
    ASSERT_EQ(OnChannel(0).size(), 0u);  // Objects() leaves channel 0 out
    long k = IndexOfBarLine(1);
    EXPECT_EQ(Obj[k + 2].Channel, 0);
    EXPECT_EQ(Obj[k + 2].Value, 2);
    EXPECT_EQ(C4(Obj[k + 2].Pos), "194.9091");  // slot 1 of 66
}

}  // namespace
