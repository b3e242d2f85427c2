#include "base/vb.h"

#include <gtest/gtest.h>

using vb::Currency;

TEST(Currency, ConversionsRoundHalfToEven) {
    // 0.5 and 1.5 ten-thousandths are exact in binary only as scaled values.
    EXPECT_EQ(Currency::FromDouble(0.5 / 10000 * 1).raw, 0);
    EXPECT_EQ(Currency::FromDouble(-1846.15393066406).raw, -18461539);
    EXPECT_EQ(Currency::FromDouble(192 * static_cast<double>(240000.0f / 24960.0f)).raw, 18461539);
    EXPECT_THROW(Currency::FromDouble(1e16), vb::Error);
    EXPECT_EQ(vb::FormatCurrency4(Currency::FromRaw(27692309)), "2769.2309");
    EXPECT_EQ(vb::FormatCurrency4(Currency::FromRaw(-5000)), "-0.5000");
}

TEST(WholeNumbers, RoundHalfToEvenAndOverflow) {
    EXPECT_EQ(vb::CLng(2.5), 2);
    EXPECT_EQ(vb::CLng(3.5), 4);
    EXPECT_EQ(vb::CLng(-2.5), -2);
    EXPECT_EQ(vb::CInt(32767.4), 32767);
    EXPECT_THROW(vb::CInt(32767.5), vb::Error);
    EXPECT_THROW(vb::CLng(1e10), vb::Error);
}

TEST(Val, ReadsTheLeadingNumberLikeTheRuntime) {
    EXPECT_EQ(vb::Val("12abc"), 12);
    EXPECT_EQ(vb::Val("  1 2 3"), 123);
    EXPECT_EQ(vb::Val("-2.5e2x"), -250);
    EXPECT_EQ(vb::Val("&HFF"), 255);
    EXPECT_EQ(vb::Val("&HFFFF"), -1);
    EXPECT_EQ(vb::Val("&H7G"), 7);
    EXPECT_EQ(vb::Val("&O17"), 15);
    EXPECT_EQ(vb::Val("abc"), 0);
    EXPECT_EQ(vb::Val(""), 0);
    EXPECT_EQ(vb::Val(".5"), 0.5);
    EXPECT_EQ(vb::Val("1e"), 1);
}

TEST(IsNumeric, WholeTextMustBeANumber) {
    EXPECT_TRUE(vb::IsNumeric("00111"));
    EXPECT_TRUE(vb::IsNumeric(" -1.5E3 "));
    EXPECT_TRUE(vb::IsNumeric("&HFF"));
    EXPECT_FALSE(vb::IsNumeric("WAV01"));
    EXPECT_FALSE(vb::IsNumeric(""));
    EXPECT_FALSE(vb::IsNumeric("1e"));
    EXPECT_FALSE(vb::IsNumeric("."));
}

TEST(Str, DefaultNumberTextOfSinglesAndDoubles) {
    EXPECT_EQ(vb::Str(130.0f), "130");
    EXPECT_EQ(vb::Str(0.25f), "0.25");
    EXPECT_EQ(vb::Str(9.6153851f), "9.615385");
    EXPECT_EQ(vb::Str(-3.0), "-3");
    EXPECT_EQ(vb::Str(1e20), "1E+20");
    EXPECT_EQ(vb::Str(static_cast<double>(0.1f) * 3), "0.300000004470348");
}

TEST(RoundTrip, FloatTextReadsBackExactly) {
    for (float f : {0.1f, 1.0f / 3, 123456.789f, -0.25f, 1e-20f}) {
        EXPECT_EQ(static_cast<float>(vb::Val(vb::RoundTrip(f))), f) << vb::RoundTrip(f);
    }
}
