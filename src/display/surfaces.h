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

// Whether frames are drawn at all (on at start). Off, the composition surface is an empty
// picture that every copy, fill and present passes over, while all else a frame does (its
// clipping, its errors, the state it moves on) runs as before: for a render that wants only
// the sound and the results.
void SetComposing(bool on);

// Clears every picture and blacks the composition surface, composing on (tests).
void Reset();

}  // namespace modDraw
