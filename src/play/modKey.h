// Key input: per-frame keyboard sampling, auto-repeat and the player's commands.
#pragma once

#include "base/vb.h"

namespace modKey {

using vb::Integer;
using vb::Long;
using vb::Single;

extern vb::Array<Long, 0, 255> KeyState;  // 0 up, 2 pressed this frame, 1 held
extern vb::Array<Long, 0, 255> KeyPressTime;
extern vb::Array<Long, 0, 255> KeyRepeat;
extern Integer LaneX1POdd, LaneX1PEven, LaneX1PScratch, LaneX2POdd, LaneX2PEven, LaneX2PScratch;
extern Long PauseStart;

void KeyMain();
void KeyRepeatCheck(Integer vk, Single factor, Long minimum);
void SetScratchLayout();
void PlayPause();
void PlayResume();

void Reset();

}  // namespace modKey
