// Pictures through SDL_image, delivered as XRGB pixel buffers.
#include <SDL.h>
#include <SDL_image.h>

#include "platform/image_probe.h"
#include "platform/platform.h"
#include "platform/sdl_libs.h"

namespace plat {

namespace {

constexpr size_t kMaxImageFileBytes = size_t(256) << 20;

// Pixels are laid over black: a transparent pixel becomes black and so falls under the black
// colour key, the way a picture without an alpha channel marks its transparent parts. Takes the
// decoded surface and frees it as soon as it is converted, so at most two copies of the picture
// exist at once.
std::optional<Image> ToXrgb(SDL_Surface* decoded, bool greyToBlack) {
    SDL_Surface* argb = ImageSizeAllowed(decoded->w, decoded->h)
                            ? SDL_ConvertSurfaceFormat(decoded, SDL_PIXELFORMAT_ARGB8888, 0)
                            : nullptr;
    SDL_FreeSurface(decoded);
    if (!argb) return std::nullopt;
    Image image;
    image.width = argb->w;
    image.height = argb->h;
    image.pixels.resize(static_cast<size_t>(argb->w) * static_cast<size_t>(argb->h));
    SDL_LockSurface(argb);
    for (int y = 0; y < argb->h; ++y) {
        auto row = reinterpret_cast<const uint32_t*>(static_cast<const uint8_t*>(argb->pixels) +
                                                     static_cast<size_t>(y) * argb->pitch);
        uint32_t* dst = image.pixels.data() + static_cast<size_t>(y) * argb->w;
        for (int x = 0; x < argb->w; ++x) {
            uint32_t p = row[x];
            uint32_t a = p >> 24, r = (p >> 16) & 0xFF, g = (p >> 8) & 0xFF, b = p & 0xFF;
            if (a != 255) {
                r = r * a / 255;
                g = g * a / 255;
                b = b * a / 255;
            }
            if (greyToBlack && r <= 16 && g <= 16 && b <= 16) r = g = b = 0;
            dst[x] = (r << 16) | (g << 8) | b;
        }
    }
    SDL_UnlockSurface(argb);
    SDL_FreeSurface(argb);
    return image;
}

SDL_Surface* Load(SDL_RWops* rw, ImageFormat format) {
    switch (format) {
        case ImageFormat::Png:
            return IMG_LoadPNG_RW(rw);
        case ImageFormat::Bmp:
            return IMG_LoadBMP_RW(rw);
        case ImageFormat::Jpeg:
            return IMG_LoadJPG_RW(rw);
        case ImageFormat::Gif:
            return IMG_LoadGIF_RW(rw);
        case ImageFormat::Tga:
            return IMG_LoadTGA_RW(rw);
    }
    return nullptr;
}

}  // namespace

void EnsureImageLibrary() {
    static std::once_flag once;
    std::call_once(once, [] { IMG_Init(IMG_INIT_PNG | IMG_INIT_JPG); });
}

std::optional<Image> DecodeImage(const std::string& path, bool greyToBlack) {
    media::Reservation budget;
    return DecodeImage(path, greyToBlack, budget);
}

std::optional<Image> DecodeImage(const std::string& path, bool greyToBlack,
                                 media::Reservation& budget) {
    std::optional<std::string> bytes = ReadFile(path, kMaxImageFileBytes);
    if (!bytes || bytes->empty()) return std::nullopt;
    // The extension only matters for formats without a signature (TGA); the others are
    // recognised by their contents whatever the name says.
    size_t dot = path.rfind('.');
    std::string ext = dot != std::string::npos && path.find('/', dot) == std::string::npos
                          ? path.substr(dot + 1)
                          : std::string();
    std::optional<ImageFormat> format = ImageFormatOf(*bytes, ext);
    if (!format) return std::nullopt;
    std::optional<ImageSize> size = ProbeImageSize(*bytes, *format);
    if (!size || !ImageSizeAllowed(size->width, size->height)) return std::nullopt;
    // The picture's own bytes, and while decoding the file, the decoded surface (at most 4 bytes
    // a pixel) and what the decoder keeps besides.
    const auto pixels = static_cast<size_t>(size->width * size->height);
    const size_t own = 4 * pixels;
    const size_t working =
        bytes->size() + (4 + static_cast<size_t>(DecoderBytesPerPixel(*bytes, *format))) * pixels;
    if (!budget.Add(own + working)) throw media::OverBudget();
    EnsureImageLibrary();
    SDL_RWops* rw = SDL_RWFromConstMem(bytes->data(), static_cast<int>(bytes->size()));
    SDL_Surface* decoded = rw ? Load(rw, *format) : nullptr;
    if (rw) SDL_RWclose(rw);
    bytes.reset();
    std::optional<Image> image = decoded ? ToXrgb(decoded, greyToBlack) : std::nullopt;
    budget.Drop(working);
    if (!image) budget.Drop(own);
    return image;
}

bool WritePng(const std::string& path, const Image& image) {
    if (image.width <= 0 || image.height <= 0 ||
        image.pixels.size() != static_cast<size_t>(image.width) * image.height)
        return false;
    EnsureImageLibrary();
    // Saved as RGB without alpha: the X byte of XRGB carries nothing.
    SDL_Surface* rgb =
        SDL_CreateRGBSurfaceWithFormat(0, image.width, image.height, 24, SDL_PIXELFORMAT_RGB24);
    if (!rgb) return false;
    SDL_LockSurface(rgb);
    for (int y = 0; y < image.height; ++y) {
        uint8_t* row = static_cast<uint8_t*>(rgb->pixels) + static_cast<size_t>(y) * rgb->pitch;
        const uint32_t* src = image.pixels.data() + static_cast<size_t>(y) * image.width;
        for (int x = 0; x < image.width; ++x) {
            row[3 * x] = static_cast<uint8_t>(src[x] >> 16);
            row[3 * x + 1] = static_cast<uint8_t>(src[x] >> 8);
            row[3 * x + 2] = static_cast<uint8_t>(src[x]);
        }
    }
    SDL_UnlockSurface(rgb);
    bool ok = IMG_SavePNG(rgb, path.c_str()) == 0;
    SDL_FreeSurface(rgb);
    return ok;
}

}  // namespace plat
