// Frame composition: play field, panels, text, background animation and the present.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "base/rect.h"
#include "base/vb.h"
#include "display/surfaces.h"

namespace modDraw {

void DrawMain();
void DrawPlay();
void DrawObj(vb::Long channel, vb::Long kind, vb::Single pos, vb::Long link);
void DrawLaneFlash();
void DrawKeyDown();
void DrawBomb();
void DrawJudge();
void DrawText(const std::string& text, vb::Long X, vb::Long Y);
void DrawBGA(vb::Integer id);
void ShowBgaImage(vb::Long id);
void DrawTitle();

// The panel and time texts (exposed for tests and the renderer's statistics).
std::string TimeText();
std::string ScoreText();

// One line of the information panel.
struct PanelLine {
    vb::Long x, y;
    std::string text;
};
std::vector<PanelLine> InfoPanelLines();   // chart and options
std::vector<PanelLine> DebugPanelLines();  // judgement counts and timings

// The font cell of a character code (codes below 33 give a cell outside the font picture).
RECT GlyphRect(vb::Long code);
// Left edge of a lane channel (11 to 18, 21 to 28); 0 for any other channel.
vb::Long LaneX(vb::Long channel);
// A number written with a picture such as ".00", "00", "##0.0" or "0.00": '0' a forced digit,
// '#' an optional one, '.' the decimal point; halves round away from zero on the number's own
// decimal digits (15 significant, or 7 for a value that came from a Single).
std::string Fmt(double value, std::string_view picture, bool fromSingle = false);

}  // namespace modDraw
