// The display's pictures, made once for the program's lifetime: the composition surface every
// frame is drawn into, the skin sheets and the font, the title line and the chart's pictures.
#pragma once

#include "base/program.h"
#include "base/vb.h"
#include "display/clsDrawSurface.h"
#include "platform/platform.h"

namespace modDraw {

// 587 x 256 XRGB.
extern plat::Image BackBuffer;

extern clsDrawSurface FontSurface;
extern vb::Array<clsDrawSurface, 0, 3> Skin;
extern clsDrawSurface TitleSurface;
extern vb::Array<clsDrawSurface, 0, 1295> BmpSurface;  // #BMP ids

// Clears every picture and blacks the composition surface (tests).
void Reset();

}  // namespace modDraw
