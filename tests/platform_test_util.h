// Small helpers for the platform tests: hand-made sound files (and support.h's temporary folder).
#pragma once

#include <cstdint>
#include <fstream>
#include <string>
#include <vector>

#include "support.h"

namespace plattest {

using TempDir = testsupport::TempDir;

inline void WriteBytes(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

inline void Put16(std::string& s, uint32_t v) {
    s += static_cast<char>(v & 0xFF);
    s += static_cast<char>((v >> 8) & 0xFF);
}
inline void Put32(std::string& s, uint32_t v) {
    Put16(s, v & 0xFFFF);
    Put16(s, v >> 16);
}

// A RIFF WAVE file with a plain fmt chunk (format tag 1 = PCM, 3 = IEEE float).
inline std::string WavFile(int formatTag, int channels, int rate, int bits,
                           const std::string& data) {
    std::string s = "RIFF";
    Put32(s, static_cast<uint32_t>(36 + data.size()));
    s += "WAVEfmt ";
    Put32(s, 16);
    Put16(s, static_cast<uint32_t>(formatTag));
    Put16(s, static_cast<uint32_t>(channels));
    Put32(s, static_cast<uint32_t>(rate));
    Put32(s, static_cast<uint32_t>(rate * channels * bits / 8));
    Put16(s, static_cast<uint32_t>(channels * bits / 8));
    Put16(s, static_cast<uint32_t>(bits));
    s += "data";
    Put32(s, static_cast<uint32_t>(data.size()));
    return s + data;
}

// 16-bit samples as little-endian bytes.
inline std::string S16(const std::vector<int16_t>& samples) {
    std::string s;
    for (int16_t v : samples) Put16(s, static_cast<uint16_t>(v));
    return s;
}

}  // namespace plattest
