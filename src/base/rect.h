// A rectangle of pixels as the chart's picture table and the draw surfaces both hold it.
#pragma once

#include "base/vb.h"

// Left, top, right, bottom; the right and bottom edges are exclusive.
struct RECT {
    vb::Long Left = 0, Top = 0, Right = 0, Bottom = 0;
};

// The rectangle of w x h pixels at (x, y); an edge beyond the Long range is error 6.
RECT MakeRect(vb::Long x, vb::Long y, vb::Long w, vb::Long h);
