// What a desktop user expects around the player: the window's scale and fullscreen, the next
// chart of the folder, and the volume keys, with the two settings they keep in krv.ini.
#pragma once

#include <string>

#include "base/vb.h"

namespace frmMain {

extern vb::Long WindowScale;     // the window's factor, 1 to 4
extern bool FullScreen;          // not kept in krv.ini
extern std::string LoadedChart;  // the chart whose load began last; "" before the first

// Once a frame after KeyMain: the keys F2 (next window factor that fits the screen), F11
// (fullscreen), Tab / Shift+Tab (next / previous chart of the folder, as if dropped), minus and
// equals with their keypad twins (volume by 10); and the caption's volume note, shown a second.
void DesktopKeys();

// krv.ini's "Main" "Scale" (1 to 4, anything else reads as 1) applied to the window, and the
// scale and volume written back at the end.
void LoadDesktopOptions();
void SaveDesktopOptions();

void ResetDesktop();

}  // namespace frmMain
