#include "platform/image_probe.h"

#include <algorithm>

namespace plat {

namespace {

uint32_t Be16(const std::string& b, size_t at) {
    return (uint32_t(uint8_t(b[at])) << 8) | uint8_t(b[at + 1]);
}
uint32_t Be32(const std::string& b, size_t at) {
    return (Be16(b, at) << 16) | Be16(b, at + 2);
}
uint32_t Le16(const std::string& b, size_t at) {
    return uint8_t(b[at]) | (uint32_t(uint8_t(b[at + 1])) << 8);
}
uint32_t Le32(const std::string& b, size_t at) {
    return Le16(b, at) | (Le16(b, at + 2) << 16);
}

bool StartsWith(const std::string& b, const char* magic, size_t n) {
    return b.size() >= n && b.compare(0, n, magic, n) == 0;
}

// JPEG: walk the marker segments up to the first start-of-frame; its offset, or 0.
size_t JpegFrame(const std::string& b) {
    size_t at = 2;
    while (at + 4 <= b.size()) {
        if (uint8_t(b[at]) != 0xFF) return 0;
        uint8_t marker = uint8_t(b[at + 1]);
        if (marker == 0xFF) {  // fill byte
            ++at;
            continue;
        }
        if (marker == 0xD8 || (marker >= 0xD0 && marker <= 0xD7) || marker == 0x01) {
            at += 2;
            continue;
        }
        uint32_t length = Be16(b, at + 2);
        bool sof =
            marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
        if (sof) return at + 9 > b.size() ? 0 : at;
        if (length < 2) return 0;
        at += 2 + length;
    }
    return 0;
}

std::optional<ImageSize> ProbeJpeg(const std::string& b) {
    size_t at = JpegFrame(b);
    if (at == 0) return std::nullopt;
    return ImageSize{Be16(b, at + 7), Be16(b, at + 5)};
}

// GIF: the logical screen, and the first frame's descriptor after the colour table and any
// extension blocks. A frame may be larger than the screen, and is decoded at its own size.
std::optional<ImageSize> ProbeGif(const std::string& b) {
    ImageSize size{Le16(b, 6), Le16(b, 8)};
    if (b.size() < 13) return size;
    size_t at = 13;
    if (uint8_t(b[10]) & 0x80) at += size_t(3) << ((uint8_t(b[10]) & 7) + 1);
    while (at < b.size() && b[at] == 0x21) {  // an extension: label, then sub-blocks up to 0
        at += 2;
        while (at < b.size() && b[at] != 0) at += 1 + uint8_t(b[at]);
        ++at;
    }
    if (at + 9 <= b.size() && b[at] == 0x2C) {
        size.width = std::max<int64_t>(size.width, Le16(b, at + 5));
        size.height = std::max<int64_t>(size.height, Le16(b, at + 7));
    }
    return size;
}

// TGA has no signature: a header whose fields are not those of a picture is no TGA.
std::optional<ImageSize> ProbeTga(const std::string& b) {
    if (b.size() < 18) return std::nullopt;
    const uint8_t mapType = uint8_t(b[1]), type = uint8_t(b[2]), depth = uint8_t(b[16]);
    const bool typeKnown = (type >= 1 && type <= 3) || (type >= 9 && type <= 11);
    const bool depthKnown = depth == 8 || depth == 15 || depth == 16 || depth == 24 || depth == 32;
    if (mapType > 1 || !typeKnown || !depthKnown) return std::nullopt;
    return ImageSize{Le16(b, 12), Le16(b, 14)};
}

bool IsTgaName(const std::string& ext) {
    return ext.size() == 3 && (ext[0] | 0x20) == 't' && (ext[1] | 0x20) == 'g' &&
           (ext[2] | 0x20) == 'a';
}

}  // namespace

std::optional<ImageFormat> ImageFormatOf(const std::string& b, const std::string& ext) {
    if (StartsWith(b, "\x89PNG\r\n\x1a\n", 8)) return ImageFormat::Png;
    if (StartsWith(b, "GIF87a", 6) || StartsWith(b, "GIF89a", 6)) return ImageFormat::Gif;
    if (StartsWith(b, "BM", 2)) return ImageFormat::Bmp;
    if (StartsWith(b, "\xFF\xD8", 2)) return ImageFormat::Jpeg;
    if (IsTgaName(ext)) return ImageFormat::Tga;
    return std::nullopt;
}

std::optional<ImageSize> ProbeImageSize(const std::string& b) {
    std::optional<ImageFormat> format = ImageFormatOf(b, "");
    if (!format) return std::nullopt;
    return ProbeImageSize(b, *format);
}

int64_t DecoderBytesPerPixel(const std::string& b, ImageFormat format) {
    if (format != ImageFormat::Jpeg) return 0;
    size_t at = JpegFrame(b);
    const uint8_t marker = at ? uint8_t(b[at + 1]) : 0;
    const bool progressive = marker == 0xC2 || marker == 0xC6 || marker == 0xCA || marker == 0xCE;
    if (!progressive) return 0;
    return at + 10 <= b.size() ? 2 * int64_t(uint8_t(b[at + 9])) : 8;  // 16-bit coefficients
}

std::optional<ImageSize> ProbeImageSize(const std::string& b, ImageFormat format) {
    if (format == ImageFormat::Png && b.size() >= 24) return ImageSize{Be32(b, 16), Be32(b, 20)};
    if (format == ImageFormat::Gif && b.size() >= 10) return ProbeGif(b);
    if (format == ImageFormat::Tga) return ProbeTga(b);
    if (format == ImageFormat::Bmp && b.size() >= 26) {
        uint32_t headerSize = Le32(b, 14);
        if (headerSize == 12) return ImageSize{Le16(b, 18), Le16(b, 20)};
        // Height is negative for top-down pictures.
        int64_t h = static_cast<int32_t>(Le32(b, 22));
        int64_t w = static_cast<int32_t>(Le32(b, 18));
        return ImageSize{w < 0 ? -w : w, h < 0 ? -h : h};
    }
    if (format == ImageFormat::Jpeg) return ProbeJpeg(b);
    return std::nullopt;
}

}  // namespace plat
