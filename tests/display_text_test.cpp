// The bitmap font: cell mapping, placement, centring and what happens at the edge.
#include "display/modDraw.h"
#include "display_fixture.h"

namespace {

using namespace display_test;
using modDraw::DrawText;
using modDraw::GlyphRect;

void ExpectRect(const RECT& r, int l, int t, int rr, int b) {
    EXPECT_EQ(r.Left, l);
    EXPECT_EQ(r.Top, t);
    EXPECT_EQ(r.Right, rr);
    EXPECT_EQ(r.Bottom, b);
}

TEST(FontCells, ThirtyTwoToARowFromTheExclamationMark) {
    ExpectRect(GlyphRect('!'), 1, 1, 9, 12);
    ExpectRect(GlyphRect('0'), 121, 1, 129, 12);  // column 15 of row 0
    ExpectRect(GlyphRect('@'), 249, 1, 257, 12);  // last of row 0
    ExpectRect(GlyphRect('A'), 1, 12, 9, 23);
    ExpectRect(GlyphRect('a'), 1, 23, 9, 34);
    ExpectRect(GlyphRect(127), 241, 23, 249, 34);
    // Codes up to the space have no cell inside the picture.
    EXPECT_LT(GlyphRect(' ').Top, 0);
    EXPECT_LT(GlyphRect(1).Top, 0);
    EXPECT_LT(GlyphRect(0).Top, 0);
}

class Text : public DisplayTest {
  protected:
    void SetUp() override {
        DisplayTest::SetUp();
        ASSERT_TRUE(modDraw::FontSurface.initFromPictureBox(Tagged(257, 34)));
    }
    // The glyph cell whose top-left source pixel lies at (x, y) of the frame, or -1.
    static int CodeAt(int x, int y) {
        uint32_t p = At(x, y);
        if (p == kGuard) return -1;
        int col = (TagX(p) - 1) / 8, row = (TagY(p) - 1) / 11;
        return row * 32 + col + 33;
    }
};

TEST_F(Text, CharactersAdvanceEightPixelsAndSpacesDrawNothing) {
    DrawText("A B", 10, 20);
    EXPECT_EQ(CodeAt(10, 20), 'A');
    EXPECT_EQ(At(18, 20), kGuard);
    EXPECT_EQ(CodeAt(26, 20), 'B');
    EXPECT_EQ(CountNot(kGuard), 2 * 8 * 11);
}

TEST_F(Text, NegativeCoordinatesCentreAcrossTheWholeSurface) {
    DrawText("AB", -1, -1);
    EXPECT_EQ(CodeAt(285, 122), 'A');  // (587 - 16) \ 2
    EXPECT_EQ(CodeAt(293, 122), 'B');
    Paint(kGuard);
    // Centring counts characters, not bytes.
    DrawText("\xE6\x97\xA5\xE6\x9C\xAC", -5, 0);  // two Japanese characters
    DrawText(
        "\xE6\x97\xA5"
        "A",
        285, 40);
    EXPECT_EQ(CodeAt(293, 40), 'A');
    EXPECT_EQ(CountNot(kGuard), 8 * 11);
}

TEST_F(Text, OtherCharactersTakeACellAndDrawNothing) {
    DrawText(
        "\xC3\xA9"
        "A\xFF"
        "B\x01"
        "C",
        0, 0);  // é, a stray byte, a control code
    EXPECT_EQ(CodeAt(8, 0), 'A');
    EXPECT_EQ(CodeAt(24, 0), 'B');
    EXPECT_EQ(CodeAt(40, 0), 'C');
    EXPECT_EQ(CountNot(kGuard), 3 * 8 * 11);
}

TEST_F(Text, GlyphsPastTheEdgeAreSkippedAndTheLineEnds) {
    DrawText("XY", 579, 0);  // X fits exactly to 587; Y would start at 587 and reach past it
    EXPECT_EQ(CodeAt(579, 0), 'X');
    EXPECT_EQ(CountNot(kGuard), 8 * 11);
    Paint(kGuard);
    DrawText("Z", 580, 250);                    // crosses both edges
    DrawText(std::string(5000, 'R'), 332, 62);  // a "Random:" line far longer than the panel
    EXPECT_EQ(CountNot(kGuard), 31 * 8 * 11);   // x 332 to 579 hold 31 whole cells
    Paint(kGuard);
    modDraw::FontSurface.clear();  // a missing font leaves every text invisible
    DrawText("PAUSE", 145, 123);
    EXPECT_EQ(CountNot(kGuard), 0);
}

}  // namespace

namespace {

using namespace display_test;

class Title : public DisplayTest {
  protected:
    void Show(int w, int32_t now) {
        ASSERT_TRUE(modDraw::TitleSurface.initFromPictureBox(Tagged(w, 12)));
        Paint(kGuard);
        dev->SetTime(now);
        modDraw::DrawTitle();
    }
};

TEST_F(Title, EntersAtTheRightEndOfTheBandAndCyclesWithItsWidth) {
    Show(100, 0);
    EXPECT_EQ(CountNot(kGuard), 0);
    Show(100, 20);  // one step: the first column at x 326
    EXPECT_EQ(At(326, 2), Tag(0, 0));
    EXPECT_EQ(CountNot(kGuard), 12);
    Show(100, 367 * 20 + 20);  // 367 steps a cycle
    EXPECT_EQ(CountNot(kGuard), 12);
    Show(100, 300 * 20);  // xl = 27: only columns 33 to 99 are inside the band
    EXPECT_EQ(At(60, 2), Tag(33, 0));
    EXPECT_EQ(CountNot(kGuard), 67 * 12);
}

TEST_F(Title, AWideTitleShowsABandWideWindowOfItself) {
    Show(10000, 5000 * 20);  // xl = -4673
    EXPECT_EQ(CountNot(kGuard), 267 * 12);
    EXPECT_EQ(At(59, 2), kGuard);
    EXPECT_EQ(At(327, 2), kGuard);
}

}  // namespace
