// One line of text rendered with SDL_ttf, the face found through fontconfig. Opened fonts are
// kept by face name: a chart load renders its title once, and fontconfig lookups are slow.
#include <SDL.h>
#include <SDL_ttf.h>
#include <fontconfig/fontconfig.h>

#include <map>
#include <system_error>
#include <thread>

#include "platform/platform.h"
#include "platform/sdl_libs.h"

namespace plat {

namespace {

constexpr int kTextPixels = 12;
// The default face must show Japanese titles. Every lookup also asks for Japanese coverage, so a
// face name that is not installed (a Windows font, say) falls back to one that shows the titles.
const char kDefaultFace[] = "Noto Sans CJK JP";
constexpr size_t kMaxTextBytes = 4096;

std::map<std::string, TTF_Font*>& OpenFonts() {
    static std::map<std::string, TTF_Font*> fonts;
    return fonts;
}

// The file and face index fontconfig chooses for a pattern.
bool FindFontFile(const std::string& face, std::string& file, int& index) {
    // Built field by field rather than parsed: a face name may hold "-" or ":", which the
    // pattern syntax would read as a size or a property.
    FcPattern* pattern = FcPatternCreate();
    if (!pattern) return false;
    FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(face.c_str()));
    FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>("sans-serif"));
    FcPatternAddString(pattern, FC_LANG, reinterpret_cast<const FcChar8*>("ja"));
    FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);
    FcResult result = FcResultNoMatch;
    FcPattern* match = FcFontMatch(nullptr, pattern, &result);
    FcPatternDestroy(pattern);
    if (!match) return false;
    FcChar8* path = nullptr;
    bool ok = FcPatternGetString(match, FC_FILE, 0, &path) == FcResultMatch && path;
    if (ok) {
        file = reinterpret_cast<const char*>(path);
        if (FcPatternGetInteger(match, FC_INDEX, 0, &index) != FcResultMatch) index = 0;
    }
    FcPatternDestroy(match);
    return ok;
}

TTF_Font* FontFor(const std::string& face) {
    auto& fonts = OpenFonts();
    auto it = fonts.find(face);
    if (it != fonts.end()) return it->second;
    std::string file;
    int index = 0;
    TTF_Font* font = nullptr;
    if (FindFontFile(face.empty() ? kDefaultFace : face, file, index))
        font = TTF_OpenFontIndex(file.c_str(), kTextPixels, index);
    // A face that cannot be opened is remembered too, so it is not searched for every title.
    fonts[face] = font;
    return font;
}

std::optional<Image> SurfaceToImage(SDL_Surface* rendered) {
    SDL_Surface* xrgb = SDL_ConvertSurfaceFormat(rendered, SDL_PIXELFORMAT_RGB888, 0);
    if (!xrgb) return std::nullopt;
    Image image;
    image.width = xrgb->w;
    image.height = xrgb->h;
    image.pixels.resize(static_cast<size_t>(xrgb->w) * xrgb->h);
    SDL_LockSurface(xrgb);
    for (int y = 0; y < xrgb->h; ++y) {
        auto row = reinterpret_cast<const uint32_t*>(static_cast<const uint8_t*>(xrgb->pixels) +
                                                     static_cast<size_t>(y) * xrgb->pitch);
        for (int x = 0; x < xrgb->w; ++x)
            image.pixels[static_cast<size_t>(y) * xrgb->w + x] = row[x] & 0xFFFFFF;
    }
    SDL_UnlockSurface(xrgb);
    SDL_FreeSurface(xrgb);
    return image;
}

}  // namespace

std::mutex& TextLibraryLock() {
    static std::mutex lock;
    return lock;
}

namespace {
bool g_textReady = false;

// Never destroyed: a program that ends while the fonts are still being found must not meet a
// joinable thread in a destructor.
std::thread& FontWarmer() {
    static auto* warmer = new std::thread;
    return *warmer;
}

// The text functions run on the program's thread only; the warm-up is the one other user.
void AwaitPreparedFonts() {
    if (FontWarmer().joinable()) FontWarmer().join();
}
}  // namespace

bool EnsureTextLibrary() {
    if (!g_textReady) g_textReady = TTF_Init() == 0;
    return g_textReady;
}

void PrepareFonts() {
    if (FontWarmer().joinable()) return;
    try {
        FontWarmer() = std::thread([] {
            std::lock_guard<std::mutex> guard(TextLibraryLock());
            if (EnsureTextLibrary()) FontFor(std::string());
        });
    } catch (const std::system_error&) {
        // No thread to be had: the first title finds its font itself.
    }
}

void CloseFonts() {
    AwaitPreparedFonts();
    std::lock_guard<std::mutex> guard(TextLibraryLock());
    for (auto& [face, font] : OpenFonts())
        if (font) TTF_CloseFont(font);
    OpenFonts().clear();
    if (g_textReady) TTF_Quit();
    g_textReady = false;
}

std::optional<Image> RenderText(const std::string& utf8, const std::string& face) {
    if (utf8.empty() || utf8.size() > kMaxTextBytes) return std::nullopt;
    // SDL_ttf stops at a NUL and rejects broken UTF-8 quietly; give it clean text.
    std::string text = IsValidUtf8(utf8) ? utf8 : ChartTextToUtf8(utf8);
    text = text.substr(0, text.find('\0'));
    if (text.empty()) return std::nullopt;
    AwaitPreparedFonts();
    std::lock_guard<std::mutex> guard(TextLibraryLock());
    if (!EnsureTextLibrary()) return std::nullopt;
    TTF_Font* font = FontFor(face);
    if (!font) return std::nullopt;
    SDL_Color white{255, 255, 255, 255}, black{0, 0, 0, 255};
    SDL_Surface* rendered = TTF_RenderUTF8_Shaded(font, text.c_str(), white, black);
    if (!rendered) return std::nullopt;
    std::optional<Image> image = SurfaceToImage(rendered);
    SDL_FreeSurface(rendered);
    return image;
}

}  // namespace plat
