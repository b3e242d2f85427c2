// Program state, settings record, frame timing, media slots and the shared helper functions.
#pragma once

#include <cstdint>
#include <ctime>
#include <string>

#include "display/clsDrawSurface.h"
#include "shell/vb.h"
#include "sound/clsSoundBuffer.h"

namespace modMain {

using vb::Integer;
using vb::Long;
using vb::Single;

constexpr int kVersionMajor = 1, kVersionMinor = 0, kVersionRevision = 0;
constexpr int kScreenWidth = 587, kScreenHeight = 256;

// The one switch between the subsystems.
constexpr Long PS_IDLE = 0, PS_LOAD = 1, PS_PLAY = 10, PS_PAUSE = 11, PS_END = 12;
extern Long PlayState;

struct SettingsRecord {
    bool VSYNC = false;
    Integer FrameRate = 60;
    bool SinglePlay = false;
    Single HS = 1.0f;
    Long Frequency = 100;
    Long MaxFrequency = 200;
    Long BGA = 3;
    Long Effect = 3;
    Long SkinType = 0;
    bool AlwaysOnTop = false;
    bool DispInfo = false;
    bool ShowDebug = false;
    Long AutoPlay = 3;
    Single Volume = 100.0f;
};
extern SettingsRecord Settings;

extern std::string AppTitle;  // "Korvane 1.0.0"
// Folder of the program, ending in "/": krv.ini, error.txt and image/ live there. StartUp sets
// it to the executable's folder unless a caller (tests) set it before.
extern std::string AppPath;

// True (the default) for the player: StartUp hands its command line to a running instance and
// ends, else listens for later ones. Tests and the renderer turn it off.
extern bool UseInstanceHandOver;

// Frame timing.
extern Single Fps;
extern Integer FpsFrames;
extern Long FpsTime;
extern vb::Array<Long, 0, 4> StageTime;
extern vb::Array<Long, 0, 4> StageAverage;
extern vb::Array<Single, 0, 255> SineTable;
// Pacing without the vertical-blank wait: milliseconds per frame (1000 \ FrameRate, set by Main)
// and the clock at the end of the last frame (none before the first).
extern Integer FramePeriod;
extern Long LastFrameEnd;
extern bool LastFrameEndKnown;

// The composition surface every frame is drawn into, 587 x 256 XRGB.
extern plat::Image BackBuffer;
extern bool VideoOpen, AudioOpen;  // the platform objects of start-up exist

// Media slots, created once for the program's lifetime.
extern clsDrawSurface FontSurface;
extern vb::Array<clsDrawSurface, 0, 3> Skin;
extern clsDrawSurface TitleSurface;
extern vb::Array<clsDrawSurface, 0, 1295> BmpSurface;
extern vb::Array<clsSoundBuffer, 0, 1295> WavBuffer;

// Start-up, frame loop, frame-rate measurement.
void Main();
void StartUp();
void RunFrame();        // one pass of the frame loop, pacing included
void MessagePass();     // lets waiting window events through
void CheckFPS();
Long GetRefreshRate();

// Ends the program (never returns): releases everything, saves the settings and, for a real
// error, appends to error.txt and shows the message box. The exit code is 0 for a normal exit
// (error number 0, or no description or procedure) and 1 after an error report.
[[noreturn]] void ShutDown(Long errNo, const std::string& errDescription,
                           const std::string& procName);
extern bool ShuttingDown;  // inside ShutDown: a nested call only fails the step that made it
// The error.txt line (CR LF ended) and the message box text of a report.
std::string ErrorLogLine(Long errNo, const std::string& errDescription,
                         const std::string& procName, const std::tm& when);
std::string ErrorMessageText(Long errNo, const std::string& errDescription,
                             const std::string& procName);
// Reports a caught run-time error of `procName` through ShutDown.
[[noreturn]] void Report(const vb::Error& e, const std::string& procName);

// Shared helpers.
Single Sin256(uint8_t index);
Single SinDeg(Long degrees);
Single CosDeg(Long degrees);
Long VolumeToAttenuation(Single percent);
double Log10(Single x);
std::string ZeroPad(Long value, Long width);
std::string RemoveExt(const std::string& path);

// Stage timing: StageTime(k) = now - StageTime(k), at the start and at the end of a stage.
void StageMark(int k);
void FillSineTable();

// Resets all module state to its start-up values (tests).
void Reset();

}  // namespace modMain
