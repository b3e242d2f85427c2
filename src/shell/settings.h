// krv.ini: the profile file beside the program and the settings it holds.
#pragma once

#include <string>

#include "base/vb.h"

namespace modMain {

// Profile access with the semantics of the Windows profile functions: sections and keys compared
// case-insensitively, one pair of enclosing quotes removed on reading, values cut at 127 bytes,
// writing a key updates it in place and keeps every other line, a new key goes at the end of its
// section (a new section at the end of the file).
std::string GetIni(const std::string& section, const std::string& key, const std::string& def);
bool WriteIni(const std::string& section, const std::string& key, const std::string& value);

void LoadConfig();
// Sets the media budget: krv.ini's Option/MediaMemoryMB (whole megabytes) when it holds a number
// of at least 1, else 2 GiB or half the machine's memory when that is less. A value that is no
// number counts as absent, so this key never makes the file be replaced.
void ApplyMediaBudget();
void LoadDefaultConfig();
void SaveConfig();

// The window's top-left corner in pixels as LoadConfig placed it or the window last reported it.
// SaveConfig writes it; ShutDown refreshes it before the window is closed.
extern vb::Long WindowX, WindowY;
void RememberWindowPosition();

extern vb::Long ConfigRetry;

// True (the default) for the player. When false, nothing touches the disk: GetIni reads the
// contents a new krv.ini would have (so LoadConfig applies the new-file defaults in memory),
// WriteIni and SaveConfig do nothing, and ShutDown appends no line to error.txt (its message still
// goes to the device). The renderer sets it false before StartUp.
extern bool UseSettingsFile;

// Why the last write of krv.ini failed ("" when none did since SaveConfig began), and whether the
// file was refused at start-up (it is then never written).
extern std::string IniWriteFailure;
extern bool IniRefused;

// The longest krv.ini read; a larger file counts as unreadable and is never overwritten.
constexpr size_t kMaxIniBytes = 16u << 20;

}  // namespace modMain
