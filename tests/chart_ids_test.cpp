// Ids, digits and the channel renumbering.
#include <gtest/gtest.h>

#include "base/vb.h"
#include "chart/modBMSLoad.h"

namespace {

using modBMSLoad::DecodeId;
using modBMSLoad::DigitValue;
using modBMSLoad::MapChannel;

TEST(ChartIds, TwoCharacterIdsAreBase36CaseInsensitive) {
    EXPECT_EQ(DecodeId("ZZ"), 1295);
    EXPECT_EQ(DecodeId("zz"), 1295);
    EXPECT_EQ(DecodeId("0A"), 10);
    EXPECT_EQ(DecodeId("10"), 36);
    EXPECT_EQ(DecodeId("01"), 1);
    EXPECT_EQ(DecodeId(""), 0);
    EXPECT_EQ(DecodeId("7"), 7);
}

TEST(ChartIds, OtherCharactersGiveTheirCodeModulo36) {
    EXPECT_EQ(DigitValue(U' '), -16);
    EXPECT_EQ(DigitValue(U'.'), -2);
    EXPECT_EQ(DigitValue(U'!'), -15);
    EXPECT_EQ(DigitValue(U'{'), 3);  // 123 - 48 = 75, 75 mod 36
    EXPECT_EQ(DigitValue(U'a'), 10);
    // A blank inside an id spoils it: negative.
    EXPECT_EQ(DecodeId(" 1"), -16 * 36 + 1);
    EXPECT_EQ(DecodeId("1 "), 36 - 16);
    // Two printable non-alphanumerics can still land inside 0..1295.
    EXPECT_EQ(DecodeId("{{"), 3 * 36 + 3);
}

TEST(ChartIds, HalfWidthKatakanaUseTheirCp932Byte) {
    EXPECT_EQ(DigitValue(U'\uFF71'), (0xB1 - 48) % 36);  // "ｱ" is 0xB1
    EXPECT_EQ(DigitValue(U'\uFF61'), (0xA1 - 48) % 36);
    EXPECT_EQ(DecodeId("\xEF\xBD\xB1"
                       "1"),
              21 * 36 + 1);  // "ｱ1"
}

TEST(ChartIds, NonAsciiCharactersMakeTwoCharacterIdsNegative) {
    EXPECT_LT(DecodeId("\xE3\x81\x82"
                       "1"),
              0);                                        // "あ1"
    EXPECT_LT(DecodeId("Z\xE3\x81\x82"), 0);             // "Zあ"
    EXPECT_LT(DecodeId("\xEF\xBD\x9A\xEF\xBD\x9A"), 0);  // full-width "ｚｚ"
}

TEST(ChartIds, LongIdsOverflowLikeTheRuntime) {
    EXPECT_EQ(DecodeId("000001"), 1);
    EXPECT_EQ(DecodeId("ZZZZZ"), 60466175);
    EXPECT_THROW(DecodeId("ZZZZZZZ"), vb::Error);  // 36^6 x 35 is beyond a Long
    // Zeros weigh nothing however far left they stand...
    EXPECT_EQ(DecodeId(std::string(100, '0') + "1"), 1);
    // ...until the weight itself is beyond any number.
    EXPECT_THROW(DecodeId(std::string(300, '0') + "1"), vb::Error);
}

TEST(ChartChannels, SevenKeyLanesAreRenumbered) {
    struct Case {
        vb::Integer file, internal;
    } cases[] = {{1, 1},   {2, 2},   {3, 3},   {9, 9},   {10, 10}, {11, 11}, {15, 15},
                 {16, 18}, {17, 0},  {18, 16}, {19, 17}, {20, 20}, {26, 28}, {27, 0},
                 {28, 26}, {29, 27}, {36, 38}, {37, 0},  {51, 51}, {56, 58}, {58, 56},
                 {59, 57}, {66, 68}, {69, 67}, {0, 0},   {-5, -5}, {99, 97}};
    for (const auto& c : cases) EXPECT_EQ(MapChannel(c.file), c.internal) << c.file;
}

}  // namespace
