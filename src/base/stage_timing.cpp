#include "base/stage_timing.h"

namespace modMain {

vb::Array<vb::Long, 0, 4> StageTime;
vb::Array<vb::Long, 0, 4> StageAverage;
vb::Single Fps = 1.0f;

void StageMark(int k, vb::Long now) {
    StageTime[k] = vb::ClockDiff(now, StageTime[k]);
}

}  // namespace modMain
