#include "base/rect.h"

RECT MakeRect(vb::Long x, vb::Long y, vb::Long w, vb::Long h) {
    return RECT{x, y, vb::AddL(x, w), vb::AddL(y, h)};
}
