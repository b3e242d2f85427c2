// Korvane reads the keyboard by Windows virtual-key codes. Letters follow the active layout (the
// key that types "A" is VK 'A', as on Windows); every other key is mapped by its position.
#include "platform/sdl_keys.h"

#include <array>
#include <initializer_list>
#include <vector>

namespace plat {

namespace {

using Table = std::array<std::vector<SDL_Scancode>, 256>;

Table BuildTable() {
    Table t;
    auto map = [&](int vk, std::initializer_list<SDL_Scancode> codes) { t[vk] = codes; };
    map(8, {SDL_SCANCODE_BACKSPACE});
    map(9, {SDL_SCANCODE_TAB});
    map(13, {SDL_SCANCODE_RETURN, SDL_SCANCODE_KP_ENTER});
    map(16, {SDL_SCANCODE_LSHIFT, SDL_SCANCODE_RSHIFT});
    map(17, {SDL_SCANCODE_LCTRL, SDL_SCANCODE_RCTRL});
    map(18, {SDL_SCANCODE_LALT, SDL_SCANCODE_RALT});
    map(19, {SDL_SCANCODE_PAUSE});
    map(20, {SDL_SCANCODE_CAPSLOCK});
    map(27, {SDL_SCANCODE_ESCAPE});
    map(32, {SDL_SCANCODE_SPACE});
    map(33, {SDL_SCANCODE_PAGEUP});
    map(34, {SDL_SCANCODE_PAGEDOWN});
    map(35, {SDL_SCANCODE_END});
    map(36, {SDL_SCANCODE_HOME});
    map(37, {SDL_SCANCODE_LEFT});
    map(38, {SDL_SCANCODE_UP});
    map(39, {SDL_SCANCODE_RIGHT});
    map(40, {SDL_SCANCODE_DOWN});
    map(44, {SDL_SCANCODE_PRINTSCREEN});
    map(45, {SDL_SCANCODE_INSERT});
    map(46, {SDL_SCANCODE_DELETE});
    map(48, {SDL_SCANCODE_0});
    for (int d = 1; d <= 9; ++d) map(48 + d, {static_cast<SDL_Scancode>(SDL_SCANCODE_1 + d - 1)});
    for (int c = 0; c < 26; ++c) map(65 + c, {static_cast<SDL_Scancode>(SDL_SCANCODE_A + c)});
    map(91, {SDL_SCANCODE_LGUI});
    map(92, {SDL_SCANCODE_RGUI});
    map(93, {SDL_SCANCODE_APPLICATION});
    map(96, {SDL_SCANCODE_KP_0});
    for (int d = 1; d <= 9; ++d)
        map(96 + d, {static_cast<SDL_Scancode>(SDL_SCANCODE_KP_1 + d - 1)});
    map(106, {SDL_SCANCODE_KP_MULTIPLY});
    map(107, {SDL_SCANCODE_KP_PLUS});
    map(109, {SDL_SCANCODE_KP_MINUS});
    map(110, {SDL_SCANCODE_KP_PERIOD});
    map(111, {SDL_SCANCODE_KP_DIVIDE});
    for (int f = 0; f < 12; ++f) map(112 + f, {static_cast<SDL_Scancode>(SDL_SCANCODE_F1 + f)});
    for (int f = 0; f < 12; ++f) map(124 + f, {static_cast<SDL_Scancode>(SDL_SCANCODE_F13 + f)});
    map(144, {SDL_SCANCODE_NUMLOCKCLEAR});
    map(145, {SDL_SCANCODE_SCROLLLOCK});
    map(160, {SDL_SCANCODE_LSHIFT});
    map(161, {SDL_SCANCODE_RSHIFT});
    map(162, {SDL_SCANCODE_LCTRL});
    map(163, {SDL_SCANCODE_RCTRL});
    map(164, {SDL_SCANCODE_LALT});
    map(165, {SDL_SCANCODE_RALT});
    map(186, {SDL_SCANCODE_SEMICOLON});
    map(187, {SDL_SCANCODE_EQUALS});
    map(188, {SDL_SCANCODE_COMMA});
    map(189, {SDL_SCANCODE_MINUS});
    map(190, {SDL_SCANCODE_PERIOD});
    map(191, {SDL_SCANCODE_SLASH});
    map(192, {SDL_SCANCODE_GRAVE});
    map(219, {SDL_SCANCODE_LEFTBRACKET});
    map(220, {SDL_SCANCODE_BACKSLASH, SDL_SCANCODE_INTERNATIONAL3});
    map(221, {SDL_SCANCODE_RIGHTBRACKET});
    map(222, {SDL_SCANCODE_APOSTROPHE});
    map(226, {SDL_SCANCODE_NONUSBACKSLASH, SDL_SCANCODE_INTERNATIONAL1});
    return t;
}

}  // namespace

bool SdlKeyDown(int vkCode) {
    if (vkCode < 0 || vkCode > 255) return false;
    static const Table table = BuildTable();
    int count = 0;
    const Uint8* state = SDL_GetKeyboardState(&count);
    auto down = [&](SDL_Scancode sc) { return sc > 0 && sc < count && state[sc] != 0; };
    if (vkCode >= 'A' && vkCode <= 'Z') {
        SDL_Scancode sc = SDL_GetScancodeFromKey(static_cast<SDL_Keycode>('a' + vkCode - 'A'));
        if (sc != SDL_SCANCODE_UNKNOWN) return down(sc);
    }
    for (SDL_Scancode sc : table[static_cast<size_t>(vkCode)])
        if (down(sc)) return true;
    return false;
}

}  // namespace plat
