#include "platform/image_probe.h"

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

// JPEG: walk the marker segments up to the first start-of-frame.
std::optional<ImageSize> ProbeJpeg(const std::string& b) {
    size_t at = 2;
    while (at + 4 <= b.size()) {
        if (uint8_t(b[at]) != 0xFF) return std::nullopt;
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
        if (sof) {
            if (at + 9 > b.size()) return std::nullopt;
            return ImageSize{Be16(b, at + 7), Be16(b, at + 5)};
        }
        if (length < 2) return std::nullopt;
        at += 2 + length;
    }
    return std::nullopt;
}

}  // namespace

std::optional<ImageSize> ProbeImageSize(const std::string& b) {
    if (StartsWith(b, "\x89PNG\r\n\x1a\n", 8) && b.size() >= 24)
        return ImageSize{Be32(b, 16), Be32(b, 20)};
    if ((StartsWith(b, "GIF87a", 6) || StartsWith(b, "GIF89a", 6)) && b.size() >= 10)
        return ImageSize{Le16(b, 6), Le16(b, 8)};
    if (StartsWith(b, "BM", 2) && b.size() >= 26) {
        uint32_t headerSize = Le32(b, 14);
        if (headerSize == 12) return ImageSize{Le16(b, 18), Le16(b, 20)};
        // Height is negative for top-down pictures.
        int64_t h = static_cast<int32_t>(Le32(b, 22));
        int64_t w = static_cast<int32_t>(Le32(b, 18));
        return ImageSize{w < 0 ? -w : w, h < 0 ? -h : h};
    }
    if (StartsWith(b, "\xFF\xD8", 2)) return ProbeJpeg(b);
    return std::nullopt;
}

}  // namespace plat
