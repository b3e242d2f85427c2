#include <gtest/gtest.h>

#include "platform/platform.h"

TEST(PlatformChartText, Utf8IsKeptAsIs) {
    std::string text = "#TITLE \xE3\x83\x86\xE3\x82\xB9\xE3\x83\x88 \xF0\x9F\x8E\xB5\r\n";
    EXPECT_TRUE(plat::IsValidUtf8(text));
    EXPECT_EQ(plat::ChartTextToUtf8(text), text);
    EXPECT_EQ(plat::ChartTextToUtf8(""), "");
}

TEST(PlatformChartText, ShiftJisIsConverted) {
    // "テスト" and the wave dash / full-width tilde that differ between Shift_JIS tables: CP932
    // maps 0x8160 to U+FF5E.
    EXPECT_EQ(plat::ChartTextToUtf8("#TITLE \x83\x65\x83\x58\x83\x67"),
              "#TITLE \xE3\x83\x86\xE3\x82\xB9\xE3\x83\x88");
    EXPECT_EQ(plat::ChartTextToUtf8("\x81\x60"), "\xEF\xBD\x9E");
    // Half-width katakana and the NEC special characters of CP932.
    EXPECT_EQ(plat::ChartTextToUtf8("\xB1\x87\x40"), "\xEF\xBD\xB1\xE2\x91\xA0");
}

TEST(PlatformChartText, BytesThatDoNotConvertSurviveAsReplacement) {
    std::string out = plat::ChartTextToUtf8(
        "a\x83\x65\xFF"
        "b\x83");
    EXPECT_EQ(out,
              "a\xE3\x83\x86\xEF\xBF\xBD"
              "b\xEF\xBF\xBD");
    EXPECT_TRUE(plat::IsValidUtf8(out));
}

TEST(PlatformChartText, Utf8ValidationRejectsMalformedSequences) {
    EXPECT_FALSE(plat::IsValidUtf8("\xC0\xAF"));          // overlong "/"
    EXPECT_FALSE(plat::IsValidUtf8("\xED\xA0\x80"));      // surrogate
    EXPECT_FALSE(plat::IsValidUtf8("\xF4\x90\x80\x80"));  // above U+10FFFF
    EXPECT_FALSE(plat::IsValidUtf8("\xE3\x83"));          // cut short
    EXPECT_FALSE(plat::IsValidUtf8("\x80"));
    EXPECT_TRUE(plat::IsValidUtf8(std::string("a\0b", 3)));
    EXPECT_TRUE(plat::IsValidUtf8("\xF4\x8F\xBF\xBF"));
}
