// Reads the picture size from an image file's header without decoding it, so that a file
// claiming an enormous picture is refused before any decoder allocates for it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace plat {

struct ImageSize {
    int64_t width = 0;
    int64_t height = 0;
};

// The formats Korvane opens: those whose picture size it reads before any pixel is decoded. Every
// other format the picture library knows (TIFF, SVG, PNM, WebP, ...) is refused unopened.
enum class ImageFormat { Png, Bmp, Jpeg, Gif, Tga };

// The format by the file's signature, or TGA (which has none) by the extension `ext`; empty for
// any other file.
std::optional<ImageFormat> ImageFormatOf(const std::string& bytes, const std::string& ext);

// The size stated by a PNG, BMP, GIF or JPEG header (for a GIF the larger of its screen and its
// first frame); empty when the format is not one of these or the header is cut short.
std::optional<ImageSize> ProbeImageSize(const std::string& bytes);
// The size stated by the header of a file of `format`; empty when it is cut short or malformed.
std::optional<ImageSize> ProbeImageSize(const std::string& bytes, ImageFormat format);
// Bytes per pixel the format's decoder holds besides its picture (a progressive JPEG keeps every
// coefficient until the end).
int64_t DecoderBytesPerPixel(const std::string& bytes, ImageFormat format);

// The largest picture Korvane decodes.
constexpr int64_t kMaxImageSide = 16384;
constexpr int64_t kMaxImagePixels = int64_t(64) << 20;
inline bool ImageSizeAllowed(int64_t w, int64_t h) {
    return w > 0 && h > 0 && w <= kMaxImageSide && h <= kMaxImageSide && w * h <= kMaxImagePixels;
}

}  // namespace plat
