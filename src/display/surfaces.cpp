#include "display/surfaces.h"

namespace modDraw {

plat::Image BackBuffer{modMain::kScreenWidth, modMain::kScreenHeight,
                       std::vector<uint32_t>(modMain::kScreenWidth* modMain::kScreenHeight, 0)};
clsDrawSurface FontSurface;
vb::Array<clsDrawSurface, 0, 3> Skin;
clsDrawSurface TitleSurface;
vb::Array<clsDrawSurface, 0, 1295> BmpSurface;

void SetComposing(bool on) {
    constexpr size_t kPixels = size_t{modMain::kScreenWidth} * modMain::kScreenHeight;
    if (!on)
        BackBuffer = plat::Image{};
    else if (BackBuffer.pixels.size() != kPixels)
        BackBuffer = plat::Image{modMain::kScreenWidth, modMain::kScreenHeight,
                                 std::vector<uint32_t>(kPixels, 0)};
}

void Reset() {
    SetComposing(true);
    BackBuffer.pixels.assign(BackBuffer.pixels.size(), 0);
    for (auto& s : BmpSurface) s.clear();
    for (auto& s : Skin) s.clear();
    TitleSurface.clear();
    FontSurface.clear();
}

}  // namespace modDraw
