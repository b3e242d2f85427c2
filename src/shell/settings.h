// krv.ini: the profile file beside the program and the settings it holds.
#pragma once

#include <string>

#include "shell/vb.h"

namespace modMain {

// Profile access with the semantics of the Windows profile functions: sections and keys compared
// case-insensitively, one pair of enclosing quotes removed on reading, values cut at 127 bytes,
// writing a key updates it in place and keeps every other line, a new key goes at the end of its
// section (a new section at the end of the file).
std::string GetIni(const std::string& section, const std::string& key, const std::string& def);
bool WriteIni(const std::string& section, const std::string& key, const std::string& value);

void LoadConfig();
void LoadDefaultConfig();
void SaveConfig();

extern vb::Long ConfigRetry;

}  // namespace modMain
