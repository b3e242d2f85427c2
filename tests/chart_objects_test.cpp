// Object lines as the parser stores them, before sorting: slots, channels, kinds, counts.
#include "chart_fixture.h"

namespace {

using namespace charttest;

class ChartObjects : public ChartTest {};

TEST_F(ChartObjects, SlotsBecomeRecordsWithIndexAndCount) {
    Read({"#00111:01000200"});
    ASSERT_EQ(ObjCount, 2);
    for (int k = 0; k < 2; ++k) {
        EXPECT_EQ(Obj[k].Enabled, -1);
        EXPECT_EQ(Obj[k].Measure, 1);
        EXPECT_EQ(Obj[k].Channel, 11);
        EXPECT_EQ(Obj[k].Kind, KIND_NORMAL);
        EXPECT_EQ(Obj[k].Link, 4);
        EXPECT_EQ(Obj[k].Side, 1);
    }
    EXPECT_EQ(C4(Obj[0].Pos), "0.0000");
    EXPECT_EQ(C4(Obj[1].Pos), "2.0000");
    EXPECT_EQ(Obj[0].Value, 1);
    EXPECT_EQ(Obj[1].Value, 2);
    EXPECT_EQ(NoteCount[0], 2);
    EXPECT_EQ(NoteCount[1], 2);
    EXPECT_EQ(NoteCount[2], 0);
    EXPECT_EQ(MaxMeasure, 1);
}

TEST_F(ChartObjects, MeasureLengthNeedsAPositiveFactor) {
    Read({"#00102:0.75", "#00202:0", "#00302:-1", "#00402:abc", "#00502:1.00005", "#00602:2x"});
    EXPECT_EQ(C4(MeasureInfo[1].Length), "144.0000");
    EXPECT_EQ(C4(MeasureInfo[2].Length), "192.0000");
    EXPECT_EQ(C4(MeasureInfo[3].Length), "192.0000");
    EXPECT_EQ(C4(MeasureInfo[4].Length), "192.0000");
    EXPECT_EQ(C4(MeasureInfo[5].Length), "192.0096");
    EXPECT_EQ(C4(MeasureInfo[6].Length), "384.0000");
    EXPECT_EQ(ObjCount, 0);
    EXPECT_EQ(MaxMeasure, 0);  // a length alone is no object
}

TEST_F(ChartObjects, TempoPairsAreHexadecimal) {
    Read({"#00103:78FF0A", "#00203:0G"});
    ASSERT_EQ(ObjCount, 3);
    EXPECT_EQ(Obj[0].Value, 120);
    EXPECT_EQ(Obj[1].Value, 255);
    EXPECT_EQ(Obj[2].Value, 10);
    // "0G" is a non-empty id but tempo 0: nothing stored, the record waits to be overwritten.
    EXPECT_EQ(Obj[3].Channel, 3);
    EXPECT_EQ(Obj[3].Measure, 2);
    EXPECT_EQ(Obj[3].Value, 0);
}

TEST_F(ChartObjects, ChannelsMapToLanesKindsAndSides) {
    struct Case {
        const char* line;
        vb::Integer channel;
        vb::Long kind;
        vb::Integer side;
        int counted;
    } cases[] = {
        {"#00101:05", 1, KIND_NORMAL, 0, 0},     {"#00104:05", 4, KIND_NORMAL, 0, 0},
        {"#00105:05", 5, KIND_NORMAL, 0, 0},     {"#00109:05", 9, KIND_NORMAL, 0, 0},
        {"#00111:05", 11, KIND_NORMAL, 1, 1},    {"#00116:05", 18, KIND_NORMAL, 1, 1},
        {"#00117:05", 0, KIND_NORMAL, 0, 0},     {"#00118:05", 16, KIND_NORMAL, 1, 1},
        {"#00119:05", 17, KIND_NORMAL, 1, 1},    {"#00121:05", 21, KIND_NORMAL, 2, 1},
        {"#00126:05", 28, KIND_NORMAL, 2, 1},    {"#00129:05", 27, KIND_NORMAL, 2, 1},
        {"#00130:05", 10, KIND_INVISIBLE, 1, 0}, {"#00150:05", 30, KIND_INVISIBLE, 1, 0},
        {"#00151:05", 11, KIND_LN_START, 1, 1},  {"#00156:05", 18, KIND_LN_START, 1, 1},
        {"#00161:05", 21, KIND_LN_START, 2, 1},  {"#00169:05", 27, KIND_LN_START, 2, 1},
        {"#00137:05", 0, KIND_NORMAL, 0, 0},     {"#00157:05", 0, KIND_NORMAL, 0, 0},
    };
    for (const auto& c : cases) {
        Read({c.line});
        ASSERT_EQ(ObjCount, 1) << c.line;
        EXPECT_EQ(Obj[0].Channel, c.channel) << c.line;
        EXPECT_EQ(Obj[0].Kind, c.kind) << c.line;
        if (c.side) {
            EXPECT_EQ(Obj[0].Side, c.side) << c.line;
        }
        EXPECT_EQ(Obj[0].Value, 5) << c.line;
        EXPECT_EQ(NoteCount[0], c.counted) << c.line;
        EXPECT_EQ(NoteCount[1] + NoteCount[2], c.counted) << c.line;
    }
    for (const char* none : {"#00131:01", "#00149:01", "#00171:01", "#00199:01", "#00136:01"}) {
        Read({none});
        EXPECT_EQ(ObjCount, 0) << none;
        EXPECT_EQ(NoteCount[0], 0) << none;
    }
}

TEST_F(ChartObjects, DataStringsAreTakenPairByPairAsWritten) {
    Read({"#00111:0a0B0", "#00211:00 1-1zz", "#00311:"});
    ASSERT_EQ(ObjCount, 3);
    EXPECT_EQ(Obj[0].Value, 10);  // lower case decodes like upper case
    EXPECT_EQ(Obj[1].Value, 11);
    EXPECT_EQ(Obj[0].Link, 2);  // the odd last character is ignored
    EXPECT_EQ(Obj[2].Value, 1295);
    EXPECT_EQ(C4(Obj[2].Pos), "3.0000");  // " 1" and "-1" spoil their slots
    EXPECT_EQ(Obj[2].Link, 4);
}

TEST_F(ChartObjects, LinesForTheSameMeasureAndChannelAddUp) {
    Read({"#00111:01", "#00111:0102"});
    EXPECT_EQ(ObjCount, 3);
    EXPECT_EQ(NoteCount[0], 3);
}

TEST_F(ChartObjects, ObjGrowsByDoublingItsUpperBound) {
    EXPECT_EQ(Obj.UBound(), 256);
    std::string data;
    for (int i = 0; i < 300; ++i) data += "01";
    Read({"#00101:" + data});
    EXPECT_EQ(ObjCount, 300);
    EXPECT_EQ(Obj.UBound(), 512);
    EXPECT_EQ(Obj[299].Link, 300);
    EXPECT_EQ(C4(Obj[299].Pos), "299.0000");
}

TEST_F(ChartObjects, MeasureNumbersOutsideTheChartAreIgnored) {
    Read({"#-0111:01", "#1e311:01", "#-0102:0.5", "#9e911:01", "#99911:01"});
    EXPECT_EQ(ObjCount, 1);
    EXPECT_EQ(Obj[0].Measure, 999);
    EXPECT_EQ(MaxMeasure, 999);
}

TEST_F(ChartObjects, OddCommandsFollowTheNumberRule) {
    // "001D1" is a number (an exponent), so this is measure 1, channel 0 ("D1" reads as 0).
    Read({"#001D1:0002", "#0011:01", "#00111.5:01", "#01e-1:07"});
    ASSERT_EQ(ObjCount, 3);
    EXPECT_EQ(Obj[0].Channel, 0);
    EXPECT_EQ(Obj[0].Value, 2);
    EXPECT_EQ(Obj[1].Channel, 11);  // characters after the sixth are ignored
    EXPECT_EQ(Obj[2].Channel, -1);  // "-1" below 10: stored with its id
    EXPECT_EQ(Obj[2].Measure, 1);
}

}  // namespace
