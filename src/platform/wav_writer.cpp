// Writes rendered audio as a plain 16-bit PCM WAV file, the format every tool reads.
#include <cmath>
#include <cstring>

#include "platform/platform.h"

namespace plat {

namespace {

void Put16(std::string& s, uint16_t v) {
    s += static_cast<char>(v & 0xFF);
    s += static_cast<char>(v >> 8);
}

void Put32(std::string& s, uint32_t v) {
    Put16(s, static_cast<uint16_t>(v & 0xFFFF));
    Put16(s, static_cast<uint16_t>(v >> 16));
}

}  // namespace

bool WriteWav16(const std::string& path, const std::vector<float>& stereo) {
    constexpr uint32_t kRate = 44100, kChannels = 2, kAlign = 4;
    size_t frames = stereo.size() / 2;
    // The RIFF size fields are 32-bit: refuse rather than write a header that lies.
    if (frames > (UINT32_MAX - 64) / kAlign) return false;
    uint32_t dataBytes = static_cast<uint32_t>(frames * kAlign);
    std::string out;
    out.reserve(44 + dataBytes);
    out += "RIFF";
    Put32(out, 36 + dataBytes);
    out += "WAVEfmt ";
    Put32(out, 16);
    Put16(out, 1);
    Put16(out, kChannels);
    Put32(out, kRate);
    Put32(out, kRate * kAlign);
    Put16(out, kAlign);
    Put16(out, 16);
    out += "data";
    Put32(out, dataBytes);
    for (size_t i = 0; i < frames * 2; ++i) {
        float v = std::fmin(std::fmax(stereo[i], -1.0f), 1.0f);
        auto s = static_cast<int16_t>(std::lrint(v * 32767.0f));
        Put16(out, static_cast<uint16_t>(s));
    }
    return WriteFileAtomic(path, out);
}

}  // namespace plat
