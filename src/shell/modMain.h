// The program itself: start-up, the frame loop and its timing, the end of the program, and the
// reset of every module's shared state. The state every module reads (program state, settings,
// stage timing, helpers, the error report) lives in base/ and is included here.
#pragma once

#include <ctime>
#include <string>

#include "base/helpers.h"
#include "base/program.h"
#include "base/report.h"
#include "base/settings_record.h"
#include "base/stage_timing.h"
#include "base/vb.h"

namespace modMain {

using vb::Integer;
using vb::Long;
using vb::Single;

constexpr int kVersionMajor = 1, kVersionMinor = 0, kVersionRevision = 0;

// Folder of the program, ending in "/": krv.ini, error.txt and image/ live there. StartUp sets
// it to the executable's folder unless a caller (tests) set it before.
extern std::string AppPath;

// True (the default) for the player: StartUp hands its command line to a running instance and
// ends, else listens for later ones. Tests and the renderer turn it off.
extern bool UseInstanceHandOver;

// Frame-rate measurement.
extern Integer FpsFrames;
extern Long FpsTime;
// Pacing without the vertical-blank wait: milliseconds per frame (1000 \ FrameRate, set by Main)
// and the clock at the end of the last frame (none before the first).
extern Integer FramePeriod;
extern Long LastFrameEnd;
extern bool LastFrameEndKnown;

extern bool VideoOpen, AudioOpen;  // the platform objects of start-up exist

// Start-up, frame loop, frame-rate measurement.
void Main();
void StartUp();
void RunFrame();     // one pass of the frame loop, pacing included
void MessagePass();  // lets waiting window events through
void CheckFPS();
Long GetRefreshRate();

// The program's end, installed as ShutDown's handler (base/report.h): releases everything, saves
// the settings and, for a real error, appends to error.txt and shows the message box.
[[noreturn]] void EndProgram(Long errNo, const std::string& errDescription,
                             const std::string& procName);
// The same end without a report or saved settings, for a failure already told to the user.
[[noreturn]] void EndProgramWithCode(int code);
extern bool ShuttingDown;  // inside the end: a nested call only fails the step that made it
// The error.txt line (CR LF ended) and the message box text of a report.
std::string ErrorLogLine(Long errNo, const std::string& errDescription, const std::string& procName,
                         const std::tm& when);
std::string ErrorMessageText(Long errNo, const std::string& errDescription,
                             const std::string& procName);

// Connects the lower modules' calls upward to the shell: the program's end, the loader's message
// pass and the file dialog's name. StartUp and Reset install them.
void InstallHooks();

// Resets the program's state (modMain's, in base/ and here) to its start-up values (tests).
void Reset();

}  // namespace modMain
