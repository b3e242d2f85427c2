// The bitmap-font text and the scrolling title.
#include <algorithm>

#include "base/program.h"
#include "base/report.h"
#include "display/draw_internal.h"
#include "display/modDraw.h"
#include "platform/platform.h"

namespace modDraw {

namespace {

constexpr vb::Long kCell = 8;       // glyph advance and width
constexpr vb::Long kBandLeft = 60;  // the title band, x 60 to 326
constexpr vb::Long kBandRight = 327;

// Decodes the character at text[i] and advances i past it. Bytes that start no valid UTF-8
// sequence stand for one character each (code 0xFFFD), so nothing is ever read past the end.
char32_t NextChar(const std::string& text, size_t& i) {
    auto byte = [&](size_t k) { return static_cast<unsigned char>(text[k]); };
    unsigned char b = byte(i);
    if (b < 0x80) return ++i, b;
    int extra = (b & 0xE0) == 0xC0 ? 1 : (b & 0xF0) == 0xE0 ? 2 : (b & 0xF8) == 0xF0 ? 3 : -1;
    if (extra < 0 || i + static_cast<size_t>(extra) >= text.size()) {
        ++i;
        return 0xFFFD;
    }
    char32_t c = b & (0x3F >> extra);
    for (int k = 1; k <= extra; ++k) {
        unsigned char n = byte(i + static_cast<size_t>(k));
        if ((n & 0xC0) != 0x80) {
            ++i;
            return 0xFFFD;
        }
        c = (c << 6) | (n & 0x3F);
    }
    i += static_cast<size_t>(extra) + 1;
    return c;
}

size_t CountChars(const std::string& text) {
    size_t n = 0;
    for (size_t i = 0; i < text.size(); ++n) NextChar(text, i);
    return n;
}

}  // namespace

namespace detail {

std::vector<char32_t> Characters(const std::string& text) {
    std::vector<char32_t> out;
    for (size_t i = 0; i < text.size();) out.push_back(NextChar(text, i));
    return out;
}

}  // namespace detail

RECT GlyphRect(vb::Long code) {
    // Cells of 8 x 11 from (1, 1), 32 to a row; the first row starts at "!".
    int64_t c = int64_t{code} - 1;
    auto column = static_cast<vb::Long>(c & 31);
    auto row = static_cast<vb::Long>(c / 32 - 1);
    return RECT{column * 8 + 1, row * 11 + 1, column * 8 + 9, row * 11 + 12};
}

void DrawText(const std::string& text, vb::Long X, vb::Long Y) {
    try {
        if (X < 0) {
            int64_t x = (int64_t{modMain::kScreenWidth} - int64_t(CountChars(text)) * kCell) / 2;
            X = static_cast<vb::Long>(std::max<int64_t>(x, INT32_MIN));
        }
        if (Y < 0) Y = 122;
        // Glyphs are copied unclipped; a cell that would cross the surface edge is skipped by the
        // copy itself, so a line longer than the panel just ends at the edge.
        for (size_t i = 0; i < text.size() && X <= modMain::kScreenWidth;) {
            char32_t a = NextChar(text, i);
            if (a != 32 && a <= 127) FontSurface.drawFast(BackBuffer, X, Y, GlyphRect(vb::Long(a)));
            X = vb::AddL(X, kCell);
        }
    } catch (const vb::Error& e) {
        modMain::Report(e, "DrawText");
    }
}

void DrawTitle() {
    const clsDrawSurface& title = TitleSurface;
    vb::Long w = title.Width(), h = title.Height();
    vb::Long now = plat::Now();
    // One pixel to the left every 20 ms; a cycle is the band plus the text.
    vb::Long k = (now / 20) % vb::AddL(w, kBandRight - kBandLeft);
    vb::Long xl = kBandRight - k;
    RECT src{std::max<vb::Long>(0, kBandLeft - xl), 0, std::min(w, kBandRight - xl), h};
    TitleSurface.drawFast(BackBuffer, std::max(xl, kBandLeft), 2, src);
}

}  // namespace modDraw
