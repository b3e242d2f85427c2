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

// The size stated by a PNG, BMP, GIF or JPEG header; empty when the format is not one of these
// or the header is cut short (the decoder then decides).
std::optional<ImageSize> ProbeImageSize(const std::string& bytes);

// The largest picture Korvane decodes.
constexpr int64_t kMaxImageSide = 16384;
constexpr int64_t kMaxImagePixels = int64_t(64) << 20;
inline bool ImageSizeAllowed(int64_t w, int64_t h) {
    return w > 0 && h > 0 && w <= kMaxImageSide && h <= kMaxImageSide && w * h <= kMaxImagePixels;
}

}  // namespace plat
