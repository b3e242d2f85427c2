// clsDrawSurface: the clipping rule, keyed copies, stretching and the load states.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <random>

#include "display/clsDrawSurface.h"
#include "display/surfaces.h"
#include "platform/headless.h"
#include "shell/modMain.h"

namespace {

namespace fs = std::filesystem;
using modDraw::BackBuffer;

constexpr uint32_t kGreen = 0x00FF00;
constexpr uint32_t kGuard = 0x00ABCDEF;

// A picture whose every pixel names its own position, so a copied pixel tells where it came
// from: 0x10YYXX + 1 never equals a key.
plat::Image Tagged(int w, int h) {
    plat::Image img{w, h, std::vector<uint32_t>(static_cast<size_t>(w) * h)};
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) img.pixels[y * w + x] = 0x100000u | (y << 10) | x;
    return img;
}
int TagX(uint32_t p) {
    return p & 0x3FF;
}
int TagY(uint32_t p) {
    return (p >> 10) & 0x3FF;
}

uint32_t At(int x, int y) {
    return BackBuffer.pixels[y * modMain::kScreenWidth + x];
}

bool SameRect(const RECT& a, const RECT& b) {
    return a.Left == b.Left && a.Top == b.Top && a.Right == b.Right && a.Bottom == b.Bottom;
}

class DrawSurface : public ::testing::Test {
  protected:
    void SetUp() override {
        plat::InstallHeadless();
        std::fill(BackBuffer.pixels.begin(), BackBuffer.pixels.end(), kGuard);
    }
    // Pixels of the back buffer that no longer hold the guard colour.
    int Changed() const {
        return static_cast<int>(std::count_if(BackBuffer.pixels.begin(), BackBuffer.pixels.end(),
                                              [](uint32_t p) { return p != kGuard; }));
    }
    clsDrawSurface Surface(int w, int h) {
        clsDrawSurface s;
        EXPECT_TRUE(s.initFromPictureBox(Tagged(w, h)));
        return s;
    }
};

TEST_F(DrawSurface, DrawIsPlainIntersectionAtEqualSizes) {
    clsDrawSurface s = Surface(20, 16);
    // Ten of twenty columns left of the surface edge: ten copied, the caller's rectangle clipped.
    RECT r{0, 0, 20, 16};
    s.draw(modDraw::BackBuffer, -10, 0, r);
    EXPECT_TRUE(SameRect(r, RECT{10, 0, 20, 16}));
    EXPECT_EQ(Changed(), 10 * 16);
    EXPECT_EQ(TagX(At(0, 0)), 10);
    EXPECT_EQ(TagX(At(9, 15)), 19);

    // Six of sixteen rows above the bottom edge.
    std::fill(BackBuffer.pixels.begin(), BackBuffer.pixels.end(), kGuard);
    RECT low{0, 0, 20, 16};
    s.draw(modDraw::BackBuffer, 100, 250, low);
    EXPECT_EQ(Changed(), 20 * 6);
    EXPECT_EQ(TagY(At(100, 255)), 5);

    // A source reaching past the image copies only what the image holds.
    std::fill(BackBuffer.pixels.begin(), BackBuffer.pixels.end(), kGuard);
    RECT wide{10, 0, 40, 16};
    s.draw(modDraw::BackBuffer, 0, 0, wide);
    EXPECT_EQ(wide.Right, 20);
    EXPECT_EQ(Changed(), 10 * 16);
}

TEST_F(DrawSurface, StretchClipsByTheRoundedScale) {
    clsDrawSurface s = Surface(10, 10);
    // 10 source columns onto 40: a cut of 8 destination pixels is 8 / round(4) = 2 source columns.
    RECT dest{-8, 0, 32, 10}, src{0, 0, 10, 10};
    s.drawStretch(modDraw::BackBuffer, dest, src);
    EXPECT_EQ(src.Left, 2);
    EXPECT_EQ(dest.Left, 0);
    EXPECT_EQ(Changed(), 32 * 10);
    EXPECT_EQ(TagX(At(0, 0)), 2);
    EXPECT_EQ(TagX(At(31, 0)), 9);

    // Scale 0.4 rounds to 0: cutting the right edge faults and nothing is copied.
    std::fill(BackBuffer.pixels.begin(), BackBuffer.pixels.end(), kGuard);
    RECT s2{0, 0, 10, 10}, d3{580, 0, 584, 10};
    s.drawStretch(modDraw::BackBuffer, d3, s2);
    EXPECT_EQ(Changed(), 4 * 10);  // inside the surface the 0.4 scale is fine
    RECT d4{584, 0, 588, 10}, s4{0, 0, 10, 10};
    std::fill(BackBuffer.pixels.begin(), BackBuffer.pixels.end(), kGuard);
    s.drawStretch(modDraw::BackBuffer, d4, s4);
    EXPECT_EQ(Changed(), 0);

    // A source of zero width copies nothing.
    RECT d5{0, 0, 40, 10}, s5{3, 0, 3, 10};
    s.drawStretch(modDraw::BackBuffer, d5, s5);
    EXPECT_EQ(Changed(), 0);
}

TEST_F(DrawSurface, ClipRuleFollowsTheSourceEdgesBeforeTheScreen) {
    clsDrawSurface s = Surface(100, 50);
    // Source left of the image at scale 2: the destination moves by round(-5 x 2) = -10.
    RECT d{20, 0, 60, 10}, r{-5, 0, 15, 5};
    ASSERT_TRUE(s.clipRect(d, r));
    EXPECT_TRUE(SameRect(d, RECT{10, 0, 60, 10}));
    EXPECT_TRUE(SameRect(r, RECT{0, 0, 15, 5}));
    // Halves round to even: 2.5 x 1 moves the edge by 2 and 3.5 by 4.
    RECT d2{0, 0, 5, 10}, r2{95, 0, 105, 10};  // sx 0.5, five columns past W
    ASSERT_TRUE(s.clipRect(d2, r2));
    EXPECT_EQ(d2.Right, 2);                    // round(5 - 2.5)
    RECT d3{0, 0, 7, 10}, r3{93, 0, 107, 10};  // sx 0.5, seven past W
    ASSERT_TRUE(s.clipRect(d3, r3));
    EXPECT_EQ(d3.Right, 4);  // round(7 - 3.5)
    // Screen edges cut with truncating division by the rounded scale.
    RECT d4{-7, 250, 13, 270}, r4{0, 0, 10, 10};  // scale 2 both ways
    ASSERT_TRUE(s.clipRect(d4, r4));
    EXPECT_TRUE(SameRect(d4, RECT{0, 250, 13, 256}));
    EXPECT_TRUE(SameRect(r4, RECT{3, 0, 10, 3}));  // -7 \ 2 = -3; (270 - 256) \ 2 = 7
    // Arithmetic faults give false.
    RECT d5{0, 0, 10, 10}, r5{0, 0, 0, 10};
    EXPECT_FALSE(s.clipRect(d5, r5));
    RECT d6{INT32_MIN, 0, INT32_MAX, 10}, r6{0, 0, 10, 10};
    EXPECT_FALSE(s.clipRect(d6, r6));
}

TEST_F(DrawSurface, FastCopyKeepsInsideBothPictures) {
    clsDrawSurface s = Surface(30, 30);
    s.drawFast(modDraw::BackBuffer, 580, 0, RECT{0, 0, 8, 11});  // reaches x 588: skipped whole
    s.drawFast(modDraw::BackBuffer, 0, 250, RECT{0, 0, 8, 11});
    s.drawFast(modDraw::BackBuffer, 0, 0, RECT{25, 0, 33, 11});  // reads past the source
    s.drawFast(modDraw::BackBuffer, -1, 0, RECT{0, 0, 8, 11});
    EXPECT_EQ(Changed(), 0);
    s.drawFast(modDraw::BackBuffer, 579, 245, RECT{22, 19, 30, 30});
    EXPECT_EQ(Changed(), 8 * 11);
    EXPECT_EQ(TagX(At(586, 255)), 29);
}

TEST_F(DrawSurface, GreenIsTransparentForPictureBoxes) {
    plat::Image img{2, 1, {0xFF00FF00u, 0x00000000u}};  // green with a stray high byte, black
    clsDrawSurface s;
    ASSERT_TRUE(s.initFromPictureBox(img));
    s.drawFast(modDraw::BackBuffer, 0, 0, RECT{0, 0, 2, 1});
    EXPECT_EQ(At(0, 0), kGuard);
    EXPECT_EQ(At(1, 0), 0u);
    EXPECT_FALSE(s.initFromPictureBox(plat::Image{}));
    EXPECT_FALSE(s.isInitialized());
}

TEST_F(DrawSurface, ResetKeepsTheImageAndClearEmptiesIt) {
    clsDrawSurface s = Surface(12, 7);
    s.reset();
    EXPECT_FALSE(s.isInitialized());
    EXPECT_EQ(s.Width(), 12);
    EXPECT_EQ(s.Height(), 7);
    RECT r{0, 0, 12, 7};
    s.draw(modDraw::BackBuffer, 0, 0, r);
    s.drawFast(modDraw::BackBuffer, 0, 0, r);
    s.drawStretch(modDraw::BackBuffer, r, r);
    EXPECT_EQ(Changed(), 0);
    s.clear();
    EXPECT_EQ(s.Width(), 0);
    EXPECT_EQ(s.Height(), 0);
}

TEST(MakeRect, OverflowIsAnError) {
    RECT r = MakeRect(5, 6, 7, 8);
    EXPECT_TRUE(SameRect(r, RECT{5, 6, 12, 14}));
    try {
        MakeRect(INT32_MAX, 0, 1, 1);
        FAIL();
    } catch (const vb::Error& e) {
        EXPECT_EQ(e.number, 6);
    }
}

// A thousand random rectangles through each copy: nothing lands outside the screen, every copied
// pixel comes from inside the image and from the (clipped) source rectangle, and an equal-size
// draw of a source that starts inside the image copies exactly the intersection.
TEST_F(DrawSurface, RandomRectanglesNeverLeaveTheSurfaces) {
    std::mt19937 rng(20240611);
    auto coord = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
    clsDrawSurface s = Surface(300, 200);
    for (int n = 0; n < 1000; ++n) {
        std::fill(BackBuffer.pixels.begin(), BackBuffer.pixels.end(), kGuard);
        RECT src{coord(-400, 500), coord(-300, 400), 0, 0};
        src.Right = src.Left + coord(-20, 700);
        src.Bottom = src.Top + coord(-20, 500);
        const int mode = n % 3;
        RECT dest{}, src0 = src;
        int X = coord(-700, 900), Y = coord(-400, 600);
        if (mode == 0) {
            s.draw(modDraw::BackBuffer, X, Y, src);
        } else if (mode == 1) {
            s.drawFast(modDraw::BackBuffer, X, Y, src);
        } else {
            dest = RECT{X, Y, X + coord(-50, 1200), Y + coord(-50, 800)};
            s.drawStretch(modDraw::BackBuffer, dest, src);
        }
        for (int y = 0; y < modMain::kScreenHeight; ++y) {
            for (int x = 0; x < modMain::kScreenWidth; ++x) {
                uint32_t p = At(x, y);
                if (p == kGuard) continue;
                ASSERT_EQ(p & 0xFFF00000u, 0x100000u) << "foreign pixel at " << x << "," << y;
                int sx = TagX(p), sy = TagY(p);
                ASSERT_TRUE(sx < 300 && sy < 200);
                ASSERT_TRUE(sx >= src.Left && sx < src.Right && sy >= src.Top && sy < src.Bottom)
                    << "mode " << mode << " case " << n;
                if (mode == 2) {
                    ASSERT_TRUE(x >= dest.Left && x < dest.Right && y >= dest.Top &&
                                y < dest.Bottom);
                }
            }
        }
        if (mode == 0 && src0.Left >= 0 && src0.Top >= 0) {
            // The reference intersection, counted independently of the rule. (A source starting
            // left of or above the image moves the destination by the cut the other way, so
            // the rule is a plain intersection only for sources that start inside.)
            int w = src0.Right - src0.Left, h = src0.Bottom - src0.Top, expected = 0;
            for (int j = 0; j < h; ++j)
                for (int i = 0; i < w; ++i) {
                    int x = X + i, y = Y + j, sx = src0.Left + i, sy = src0.Top + j;
                    if (x >= 0 && x < 587 && y >= 0 && y < 256 && sx >= 0 && sx < 300 && sy >= 0 &&
                        sy < 200) {
                        ++expected;
                        ASSERT_EQ(At(x, y), 0x100000u | (sy << 10) | sx)
                            << "case " << n << " at " << X << "," << Y << " src " << src0.Left
                            << "," << src0.Top << "," << src0.Right << "," << src0.Bottom;
                    }
                }
            ASSERT_EQ(Changed(), expected) << "case " << n;
        }
    }
}

class SurfaceFiles : public DrawSurface {
  protected:
    void SetUp() override {
        DrawSurface::SetUp();
        dir = fs::temp_directory_path() / ("krv_surface_" + std::to_string(::getpid()));
        fs::create_directories(dir);
    }
    void TearDown() override { fs::remove_all(dir); }
    std::string Png(const std::string& name, int w, int h, uint32_t colour) {
        plat::Image img{w, h, std::vector<uint32_t>(static_cast<size_t>(w) * h, colour)};
        std::string path = (dir / name).string();
        EXPECT_TRUE(plat::WritePng(path, img));
        return path;
    }
    fs::path dir;
};

TEST_F(SurfaceFiles, SameNameIsKeptWithoutTouchingTheFile) {
    std::string path = Png("kept.png", 4, 3, 0x123456);
    clsDrawSurface s;
    ASSERT_TRUE(s.init(path));
    s.reset();
    fs::remove(path);
    EXPECT_TRUE(s.init(path));  // Kept -> Ready with no file access
    EXPECT_EQ(s.Width(), 4);
    // Another spelling is another name: it loads again, and now fails.
    std::string other = (dir / "KEPT.png").string();
    EXPECT_FALSE(s.init(other));
    EXPECT_EQ(s.Width(), 0);
    EXPECT_EQ(s.FileName(), "");
}

TEST_F(SurfaceFiles, AnotherExtensionOfTheBaseNameServes) {
    Png("title.png", 5, 2, 0x808080);
    clsDrawSurface s;
    std::string asked = (dir / "title.bmp").string();
    ASSERT_TRUE(s.init(asked));
    EXPECT_EQ(s.FileName(), asked);
    EXPECT_EQ(s.Width(), 5);
    // A Windows-style name with another case and backslashes finds it too.
    clsDrawSurface w;
    std::string windows = dir.string() + "\\TITLE.JPG";
    EXPECT_TRUE(w.init(windows));
}

TEST_F(SurfaceFiles, UndecodableAndMissingFilesLeaveItEmpty) {
    std::ofstream(dir / "broken.png") << "\x89PNG\r\n\x1a\nnot really";
    std::ofstream(dir / "broken.bmp") << "BM garbage";
    std::ofstream(dir / "broken.jpg") << "\xFF\xD8\xFF garbage";
    clsDrawSurface s;
    EXPECT_FALSE(s.init((dir / "broken.png").string()));
    EXPECT_FALSE(s.isInitialized());
    EXPECT_EQ(s.Width(), 0);
    EXPECT_FALSE(s.init((dir / "missing.png").string()));
    EXPECT_FALSE(s.init(""));
}

TEST_F(SurfaceFiles, GreyBecomesBlackOnlyWithTheFlag) {
    std::string path = Png("grey.png", 2, 2, 0x101010);
    clsDrawSurface keyed, plain;
    ASSERT_TRUE(keyed.init(path, true));
    ASSERT_TRUE(plain.init(path, false));
    keyed.drawFast(modDraw::BackBuffer, 0, 0, RECT{0, 0, 2, 2});
    EXPECT_EQ(Changed(), 0);  // all black, all transparent
    plain.drawFast(modDraw::BackBuffer, 0, 0, RECT{0, 0, 2, 2});
    EXPECT_EQ(At(1, 1), 0x101010u);
}

TEST_F(DrawSurface, TextSurfacesFailQuietlyOnNothingToShow) {
    clsDrawSurface s;
    EXPECT_FALSE(s.initText(""));
    EXPECT_FALSE(s.isInitialized());
    if (s.initText("Korvane")) {
        EXPECT_GT(s.Width(), 20);
        EXPECT_GT(s.Height(), 8);
        EXPECT_EQ(s.FileName(), "");
    }
    // Very long titles either render or leave the surface empty; neither may crash.
    std::string huge(10000, 'W');
    if (s.initText(huge)) {
        EXPECT_GT(s.Width(), 0);
    }
}

}  // namespace
