#include "display/surfaces.h"

namespace modDraw {

plat::Image BackBuffer{modMain::kScreenWidth, modMain::kScreenHeight,
                       std::vector<uint32_t>(modMain::kScreenWidth* modMain::kScreenHeight, 0)};
clsDrawSurface FontSurface;
vb::Array<clsDrawSurface, 0, 3> Skin;
clsDrawSurface TitleSurface;
vb::Array<clsDrawSurface, 0, 1295> BmpSurface;

void Reset() {
    BackBuffer.pixels.assign(BackBuffer.pixels.size(), 0);
    for (auto& s : BmpSurface) s.clear();
    for (auto& s : Skin) s.clear();
    TitleSurface.clear();
    FontSurface.clear();
}

}  // namespace modDraw
