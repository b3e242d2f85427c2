// Placeholders until the display is written; delete each as it is implemented.
#include "display/clsDrawSurface.h"
#include "display/modDraw.h"

RECT MakeRect(vb::Long x, vb::Long y, vb::Long w, vb::Long h) { return RECT{x, y, x + w, y + h}; }
bool clsDrawSurface::init(const std::string&, bool) { return false; }
bool clsDrawSurface::initFromPictureBox(const plat::Image&) { return false; }
bool clsDrawSurface::initText(const std::string&) { return false; }
void clsDrawSurface::clear() {}
void clsDrawSurface::draw(vb::Long, vb::Long, RECT&) {}
void clsDrawSurface::drawFast(vb::Long, vb::Long, const RECT&) {}
void clsDrawSurface::drawStretch(RECT&, RECT&) {}
bool clsDrawSurface::clipRect(RECT&, RECT&) { return false; }

namespace modDraw {
void DrawMain() {}
void DrawPlay() {}
void DrawObj(vb::Long, vb::Long, vb::Single, vb::Long) {}
void DrawLaneFlash() {}
void DrawKeyDown() {}
void DrawBomb() {}
void DrawJudge() {}
void DrawText(const std::string&, vb::Long, vb::Long) {}
void DrawBGA(vb::Integer) {}
void ShowBgaImage(vb::Long) {}
void DrawTitle() {}
std::string TimeText() { return ""; }
std::string ScoreText() { return ""; }
}  // namespace modDraw
