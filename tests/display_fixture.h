// Shared ground for the display tests: a clean program state on the headless device, and
// pictures whose pixels name their own source position.
#pragma once

#include <algorithm>

#include "support.h"

namespace display_test {

constexpr uint32_t kGuard = 0x00ABCDEF;

// Pixel = 0x100000 | y << 10 | x: never a key colour, and it tells where it was copied from.
inline plat::Image Tagged(int w, int h) {
    plat::Image img{w, h, std::vector<uint32_t>(static_cast<size_t>(w) * h)};
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) img.pixels[y * w + x] = 0x100000u | (y << 10) | x;
    return img;
}
inline uint32_t Tag(int x, int y) {
    return 0x100000u | (y << 10) | x;
}
inline int TagX(uint32_t p) {
    return p & 0x3FF;
}
inline int TagY(uint32_t p) {
    return (p >> 10) & 0x3FF;
}

inline uint32_t At(int x, int y) {
    return modDraw::BackBuffer.pixels[y * modMain::kScreenWidth + x];
}
inline void Paint(uint32_t colour) {
    std::fill(modDraw::BackBuffer.pixels.begin(), modDraw::BackBuffer.pixels.end(), colour);
}
inline int CountNot(uint32_t colour) {
    return static_cast<int>(std::count_if(modDraw::BackBuffer.pixels.begin(),
                                          modDraw::BackBuffer.pixels.end(),
                                          [&](uint32_t p) { return p != colour; }));
}

class DisplayTest : public testsupport::Test {
  protected:
    void SetUp() override {
        Test::SetUp();
        Paint(kGuard);
    }
};

}  // namespace display_test
