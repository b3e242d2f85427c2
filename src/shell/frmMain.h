// The main window: its creation and its events.
#pragma once

#include <string>

namespace frmMain {

void Form_Load();
void Form_DblClick();
void Form_OLEDragDrop(const std::string& path);
void Form_QueryUnload();
void MouseWheel(int delta);  // > 0 away from the user

extern std::string DialogFileName;  // the file-open dialog's current file name

void Reset();

}  // namespace frmMain

namespace modMessage {

// The single-instance hand-over.
void FindPrevInstance();
void HandleHandOver(const std::string& raw);  // a received command line
std::string TrimNull(const std::string& text);

}  // namespace modMessage
