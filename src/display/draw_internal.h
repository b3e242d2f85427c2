// Pieces of the frame that the composition draws inline, shared between the display's files.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "base/rect.h"
#include "base/vb.h"

namespace modDraw::detail {

void DrawLaneAreas();
void DrawBottomPanels();
void DrawGauge();
void DrawStrip();
void DrawPauseVeil();
void DrawPanel();
void BgaStep();

// Black over a rectangle of the composition surface (the part inside it).
void FillBlack(const RECT& r);

// The characters of a UTF-8 text as codes; a byte that starts no valid sequence counts as one
// character of its own.
std::vector<char32_t> Characters(const std::string& text);

}  // namespace modDraw::detail
