// Frame composition: play field, panels, text, background animation and the present.
#pragma once

#include <string>

#include "shell/vb.h"

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

// The panel and time texts (exposed for tests).
std::string TimeText();
std::string ScoreText();

}  // namespace modDraw
