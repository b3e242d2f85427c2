// What every module knows of the running program: its state, its title and its screen size.
#pragma once

#include <string>

#include "base/vb.h"

namespace modMain {

using vb::Long;

constexpr int kScreenWidth = 587, kScreenHeight = 256;

// The one switch between the subsystems.
constexpr Long PS_IDLE = 0, PS_LOAD = 1, PS_PLAY = 10, PS_PAUSE = 11, PS_END = 12;
extern Long PlayState;

extern std::string AppTitle;  // "Korvane 1.0.0", set by StartUp

}  // namespace modMain
