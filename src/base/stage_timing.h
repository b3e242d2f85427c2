// The cost of each step of a frame, measured by the steps themselves and shown by the debug panel.
#pragma once

#include "base/vb.h"

namespace modMain {

// Stage 0 is the whole frame, 1 to 4 the key, play clock, sound and draw steps.
extern vb::Array<vb::Long, 0, 4> StageTime;
extern vb::Array<vb::Long, 0, 4> StageAverage;  // per frame, over the last measurement
extern vb::Single Fps;

// StageTime(k) = now - StageTime(k), at the start and at the end of a stage; `now` is the
// millisecond clock.
void StageMark(int k, vb::Long now);

}  // namespace modMain
