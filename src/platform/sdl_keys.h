// Windows virtual-key codes to SDL keyboard scancodes.
#pragma once

#include <SDL.h>

namespace plat {

// True when the key with that virtual-key code (0 to 255) is down in SDL's keyboard state.
bool SdlKeyDown(int vkCode);

}  // namespace plat
