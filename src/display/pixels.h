// Copies between XRGB pictures: the colour-keyed copy, the keyed stretch and the colour fill that
// the draw surfaces and the composition use. Rectangles are left, top, right, bottom with the
// right and bottom edges exclusive.
#pragma once

#include <cstdint>

#include "base/rect.h"
#include "platform/platform.h"

namespace pixels {

// Only the red, green and blue bytes take part in a key comparison.
constexpr uint32_t kRgbMask = 0x00FFFFFF;

// True when r is non-empty and lies wholly inside a picture of w x h pixels.
bool Inside(const RECT& r, int32_t w, int32_t h);

// Copies src's rectangle `from` to dst with its top-left corner at (x, y); source pixels whose
// RGB equals key stay out. A copy that would read outside src or write outside dst is skipped
// whole, as the blitter refused such a copy.
void CopyKeyed(plat::Image& dst, int32_t x, int32_t y, const plat::Image& src, const RECT& from,
               uint32_t key);

// Scales src's rectangle `from` onto dst's rectangle `to`, each destination pixel taking the
// source pixel nearest to its centre; keyed like CopyKeyed and skipped whole like it.
void StretchKeyed(plat::Image& dst, const RECT& to, const plat::Image& src, const RECT& from,
                  uint32_t key);

// Fills the part of r that lies inside dst.
void Fill(plat::Image& dst, const RECT& r, uint32_t colour);

}  // namespace pixels
