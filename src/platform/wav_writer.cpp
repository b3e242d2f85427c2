// Writes rendered audio as a plain 16-bit PCM WAV file, the format every tool reads, as it is
// rendered: the header goes first with sizes of zero and is corrected when the file is closed.
#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdio>
#include <cstring>

#include <unistd.h>

#include "platform/platform.h"

namespace plat {

namespace {

constexpr uint32_t kRate = 44100, kChannels = 2, kAlign = 4, kHeaderBytes = 44;
constexpr size_t kBlockFrames = 4096;
// The samples go out as the machine holds them, which is the file's little-endian order.
static_assert(std::endian::native == std::endian::little);

void Put16(uint8_t*& p, uint16_t v) {
    *p++ = static_cast<uint8_t>(v & 0xFF);
    *p++ = static_cast<uint8_t>(v >> 8);
}

void Put32(uint8_t*& p, uint32_t v) {
    Put16(p, static_cast<uint16_t>(v & 0xFFFF));
    Put16(p, static_cast<uint16_t>(v >> 16));
}

void PutText(uint8_t*& p, const char* text) {
    std::memcpy(p, text, 4);
    p += 4;
}

void Header(uint8_t* p, uint32_t dataBytes) {
    PutText(p, "RIFF");
    Put32(p, 36 + dataBytes);
    PutText(p, "WAVE");
    PutText(p, "fmt ");
    Put32(p, 16);
    Put16(p, 1);
    Put16(p, kChannels);
    Put32(p, kRate);
    Put32(p, kRate * kAlign);
    Put16(p, kAlign);
    Put16(p, 16);
    PutText(p, "data");
    Put32(p, dataBytes);
}

}  // namespace

// The RIFF size fields are 32-bit: the data must leave room for the header in them.
const uint64_t WavWriter::kFormatLimitBytes = (UINT32_MAX - 64) / kAlign * kAlign;

WavWriter::~WavWriter() { Discard(); }

bool WavWriter::Open(const std::string& path, uint64_t limitBytes, std::string* why) {
    Discard();
    limit_ = std::min(limitBytes, kFormatLimitBytes) / kAlign * kAlign;
    dataBytes_ = 0;
    full_ = false;
    int fd = OpenReplacement(path, replacement_, why);
    if (fd < 0) return false;
    FILE* f = fdopen(fd, "wb");
    if (!f) {
        close(fd);
        CommitReplacement(replacement_, false);
        return false;
    }
    file_ = f;
    uint8_t header[kHeaderBytes];
    Header(header, 0);
    return std::fwrite(header, 1, kHeaderBytes, f) == kHeaderBytes;
}

bool WavWriter::Write(const float* stereo, int64_t frames) {
    if (!file_ || full_) return false;
    uint64_t room = (limit_ - dataBytes_) / kAlign;
    if (static_cast<uint64_t>(frames) > room) {
        full_ = true;
        frames = static_cast<int64_t>(room);
    }
    int16_t block[2 * kBlockFrames];
    for (int64_t done = 0; done < frames;) {
        size_t n = static_cast<size_t>(std::min<int64_t>(kBlockFrames, frames - done));
        for (size_t i = 0; i < 2 * n; ++i)
            block[i] = static_cast<int16_t>(std::lrint(stereo[2 * done + i] * 32767.0f));
        if (std::fwrite(block, kAlign, n, file_) != n) return false;
        dataBytes_ += n * kAlign;
        done += static_cast<int64_t>(n);
    }
    return !full_;
}

bool WavWriter::Close() {
    if (!file_) return false;
    std::FILE* f = file_;
    file_ = nullptr;
    uint8_t header[kHeaderBytes];
    Header(header, static_cast<uint32_t>(dataBytes_));
    bool ok =
        std::fseek(f, 0, SEEK_SET) == 0 && std::fwrite(header, 1, kHeaderBytes, f) == kHeaderBytes;
    ok = std::fclose(f) == 0 && ok;
    return CommitReplacement(replacement_, ok);
}

void WavWriter::Discard() {
    if (!file_) return;
    std::fclose(file_);
    file_ = nullptr;
    CommitReplacement(replacement_, false);
}

}  // namespace plat
