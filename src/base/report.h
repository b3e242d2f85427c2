// How a module ends the program: with an error report, or normally. The shell owns the ending
// (releasing everything, saving the settings, logging the error) and installs it at start-up, so
// the modules below it end the program without knowing the shell.
#pragma once

#include <string>

#include "base/vb.h"

namespace modMain {

using ShutDownHandler = void (*)(vb::Long errNo, const std::string& errDescription,
                                 const std::string& procName);
void SetShutDownHandler(ShutDownHandler handler);

// Ends the program (never returns) through the installed handler. The exit code is 0 for a normal
// exit (error number 0, or no description or procedure) and 1 after an error report. Without a
// handler (a program other than the player, such as a benchmark) the error is thrown on instead.
[[noreturn]] void ShutDown(vb::Long errNo, const std::string& errDescription,
                           const std::string& procName);
// Reports a caught run-time error of `procName` through ShutDown.
[[noreturn]] void Report(const vb::Error& e, const std::string& procName);

}  // namespace modMain
