// The command line: a chart path and options, from the process, a drop or a second instance.
#pragma once

#include <string>

namespace modMain {

bool ReadCmdLine(const std::string& line);
bool ParseCmdArg(const std::string& token);

}  // namespace modMain
