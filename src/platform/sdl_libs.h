// Lazy, thread-safe start-up of the SDL helper libraries. SDL_image and SDL_ttf work without a
// window, so decoding and text rendering need neither the video subsystem nor a display.
#pragma once

#include <mutex>

namespace plat {

void EnsureImageLibrary();
// SDL_ttf and FreeType are not safe to use from two threads at once: hold this while using them.
std::mutex& TextLibraryLock();
// Starts SDL_ttf; false when it cannot. Call with TextLibraryLock held.
bool EnsureTextLibrary();

}  // namespace plat
