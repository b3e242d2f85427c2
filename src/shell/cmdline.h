// The command line: a chart path and options, from the process, a drop or a second instance.
#pragma once

#include <string>

namespace modMain {

bool ReadCmdLine(const std::string& line);
bool ParseCmdArg(const std::string& token);
// Tells the user, one line on standard error each, which chart paths of the line will not be
// loaded and why (missing, a folder, another extension, ...). Reading the line is unchanged.
void ReportUnopenableCharts(const std::string& line);
// What `korvane --help` prints.
const char* UsageText();

}  // namespace modMain
