// Small helpers for the platform tests: hand-made sound files, tables of calls and raw
// connections to the instance hand-over (and support.h's temporary folder).
#pragma once

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstdint>
#include <cstring>
#include <fstream>
#include <functional>
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

// Case tables of calls: each line of a record is "Name(arg, arg): result", and `call` gives the
// text of a call's result.
inline void CheckCalls(
    const std::string& table,
    const std::function<std::string(const std::string& name, const std::vector<std::string>& args)>&
        call) {
    for (const testsupport::Case& c : testsupport::ReadCases(testsupport::DataPath(table))) {
        for (const auto& [text, result] : c.fields) {
            size_t open = text.find('('), close = text.rfind(')');
            std::vector<std::string> args(1);
            for (size_t i = open + 1; i < close; ++i) {
                if (text.compare(i, 2, ", ") == 0)
                    args.emplace_back(), ++i;
                else
                    args.back() += text[i];
            }
            EXPECT_EQ(call(text.substr(0, open), args), result) << table << ": " << text;
        }
    }
}

// One hand-over message: the length the sender claims (little-endian), then the line.
inline std::string Framed(const std::string& line, size_t claimed) {
    std::string m(4, '\0');
    for (int i = 0; i < 4; ++i) m[i] = static_cast<char>((claimed >> (8 * i)) & 0xFF);
    return m + line;
}
inline std::string Framed(const std::string& line) {
    return Framed(line, line.size());
}

// A client connection to the socket at `path` that speaks no protocol of its own (-1 if none).
inline int RawConnect(const std::string& path) {
    int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    std::strncpy(addr.sun_path, path.c_str(), sizeof addr.sun_path - 1);
    if (connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0) return fd;
    close(fd);
    return -1;
}

}  // namespace plattest
