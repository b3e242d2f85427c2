// The blitter: random rectangles through draw, drawFast and drawStretch must leave the frame a
// plain pixel-by-pixel copy leaves, and the clipping rule follows tests/data/display/clip.txt.
#include <algorithm>
#include <random>
#include <sstream>

#include "display/clsDrawSurface.h"
#include "support.h"

namespace {

using modDraw::BackBuffer;
constexpr uint32_t kGuard = 0x00ABCDEF, kGreen = 0x0000FF00;
constexpr int kW = 300, kH = 200;

// Every pixel names its own position, except the transparent green ones; every fifth column
// carries a stray high byte, which takes no part in the colour key.
plat::Image Picture() {
    plat::Image img{kW, kH, std::vector<uint32_t>(size_t{kW} * kH)};
    for (int y = 0; y < kH; ++y)
        for (int x = 0; x < kW; ++x)
            img.pixels[y * kW + x] =
                ((x + 3 * y) % 17 ? 0x100000u | y << 10 | x : kGreen) | (x % 5 ? 0 : 0xFF000000u);
    return img;
}

bool Inside(const RECT& r, int w, int h) {
    return r.Left >= 0 && r.Top >= 0 && r.Right <= w && r.Bottom <= h && r.Left < r.Right &&
           r.Top < r.Bottom;
}

// Each pixel of `to` takes the picture's pixel under its centre unless that is green; a copy
// reaching outside either picture leaves the frame alone.
void Copy(std::vector<uint32_t>& frame, const plat::Image& pic, const RECT& to, const RECT& from) {
    if (!Inside(from, kW, kH) || !Inside(to, BackBuffer.width, BackBuffer.height)) return;
    const double sw = from.Right - from.Left, sh = from.Bottom - from.Top;
    for (int y = to.Top; y < to.Bottom; ++y)
        for (int x = to.Left; x < to.Right; ++x) {
            int sx = from.Left + int((x - to.Left + 0.5) * sw / (to.Right - to.Left));
            int sy = from.Top + int((y - to.Top + 0.5) * sh / (to.Bottom - to.Top));
            uint32_t p = pic.pixels[sy * kW + sx];
            if ((p & 0xFFFFFF) != kGreen) frame[y * BackBuffer.width + x] = p;
        }
}

RECT ReadRect(const std::string& text) {
    std::istringstream in(text);
    RECT r{};
    in >> r.Left >> r.Top >> r.Right >> r.Bottom;
    return r;
}

std::string Text(const RECT& r) {
    return std::to_string(r.Left) + " " + std::to_string(r.Top) + " " + std::to_string(r.Right) +
           " " + std::to_string(r.Bottom);
}

TEST(Blitter, RandomRectanglesLeaveWhatAPixelByPixelCopyLeaves) {
    const plat::Image pic = Picture();
    clsDrawSurface s;
    ASSERT_TRUE(s.initFromPictureBox(pic));
    std::mt19937 rng(20240611);
    auto coord = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
    for (int n = 0; n < 1200; ++n) {
        std::fill(BackBuffer.pixels.begin(), BackBuffer.pixels.end(), kGuard);
        std::vector<uint32_t> want = BackBuffer.pixels;
        // Mostly near both pictures; every tenth case anywhere far around them.
        const int k = n % 10 == 9 ? 8 : 1, mode = n % 3;
        RECT src{coord(-50 * k, 310 * k), coord(-50 * k, 210 * k), 0, 0};
        src.Right = src.Left + coord(-5 * k, 150 * k);
        src.Bottom = src.Top + coord(-5 * k, 120 * k);
        const int X = coord(-120 * k, 600 * k), Y = coord(-100 * k, 270 * k);
        RECT to{X, Y, X + src.Right - src.Left, Y + src.Bottom - src.Top}, from = src;
        if (mode == 0) {
            // A source starting inside the picture: exactly the intersection. Otherwise the
            // clipping rule decides, and the clipped source is copied at the clipped corner.
            bool copies = true;
            if (src.Left >= 0 && src.Top >= 0) {
                const int i0 = std::max(0, -X), j0 = std::max(0, -Y);
                const int i1 = std::min({to.Right - X, BackBuffer.width - X, kW - src.Left});
                const int j1 = std::min({to.Bottom - Y, BackBuffer.height - Y, kH - src.Top});
                to = RECT{X + i0, Y + j0, X + i1, Y + j1};
                from = RECT{src.Left + i0, src.Top + j0, src.Left + i1, src.Top + j1};
            } else {
                copies = s.clipRect(to, from);
            }
            if (copies)
                Copy(want, pic,
                     RECT{to.Left, to.Top, to.Left + from.Right - from.Left,
                          to.Top + from.Bottom - from.Top},
                     from);
            s.draw(BackBuffer, X, Y, src);
        } else if (mode == 1) {
            Copy(want, pic, to, from);
            s.drawFast(BackBuffer, X, Y, src);
        } else {
            // Some stretches keep the width or the height.
            if (n % 4 != 2) to.Right = X + coord(-10 * k, 400 * k);
            if (n % 5 != 2) to.Bottom = Y + coord(-10 * k, 300 * k);
            RECT dest = to;
            if (s.clipRect(to, from)) Copy(want, pic, to, from);
            s.drawStretch(BackBuffer, dest, src);
        }
        auto diff = std::mismatch(want.begin(), want.end(), BackBuffer.pixels.begin());
        ASSERT_TRUE(diff.first == want.end())
            << "case " << n << ", mode " << mode << ": first difference at x "
            << (diff.first - want.begin()) % BackBuffer.width << ", y "
            << (diff.first - want.begin()) / BackBuffer.width << " src " << Text(src) << " at " << X
            << "," << Y << std::hex << " got " << BackBuffer.pixels[diff.first - want.begin()]
            << " want " << *diff.first;
    }
}

TEST(Blitter, ClippingFollowsItsTable) {
    clsDrawSurface s;
    ASSERT_TRUE(s.initFromPictureBox(plat::Image{100, 50, std::vector<uint32_t>(5000)}));
    for (const testsupport::Case& c :
         testsupport::ReadCases(testsupport::DataPath("display/clip.txt"))) {
        RECT dest = ReadRect(c.at("dest")), src = ReadRect(c.at("src"));
        std::string got = s.clipRect(dest, src) ? Text(dest) + " / " + Text(src) : "no copy";
        EXPECT_EQ(got, c.at("clipped")) << "the case at line " << c.line;
    }
}

}  // namespace
