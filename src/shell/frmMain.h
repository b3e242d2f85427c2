// The main window: its creation and its events.
#pragma once

#include <string>

namespace frmMain {

void Form_Load();
void Form_DblClick();
// One dropped file (full path); true when it was taken as the chart to play.
bool Form_OLEDragDrop(const std::string& path);
void Form_QueryUnload();                         // close request: the normal shutdown
void MouseWheel(int delta);                      // > 0 away from the user: one measure back

extern std::string DialogFileName;  // the file-open dialog's current file name

void Reset();

}  // namespace frmMain

namespace modMessage {

// The single-instance hand-over. FindPrevInstance hands this process's command line to a running
// instance and returns true when one took it (this process must then end at once).
bool FindPrevInstance();
// A command line received from a second instance: cut at its first NUL, trimmed, then read like
// the program's own.
void HandleHandOver(const std::string& raw);
std::string TrimNull(const std::string& text);

}  // namespace modMessage
