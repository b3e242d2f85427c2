// The header of an Ogg Vorbis file read without the decoder: opening one through the decoder sets
// up its codebooks, which for a one-second keysound costs as much as decoding it. The format is
// in the first page, the length is the granule position of the last page.
#include "platform/ogg_probe.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <string>

namespace plat {

namespace {

// Enough for the first page's header and the identification packet.
constexpr size_t kHeadBytes = 512;
// A page holds at most 65,307 bytes, so the last page starts within this much of the end.
constexpr size_t kTailBytes = 65536 + 512;
constexpr size_t kPageHeader = 27;

uint32_t Le32(const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

uint64_t Le64(const uint8_t* p) {
    return uint64_t(Le32(p)) | uint64_t(Le32(p + 4)) << 32;
}

bool ReadExactly(int fd, uint8_t* out, size_t count, off_t at) {
    size_t done = 0;
    while (done < count) {
        ssize_t n = pread(fd, out + done, count - done, at + static_cast<off_t>(done));
        if (n <= 0) return false;
        done += static_cast<size_t>(n);
    }
    return true;
}

bool IsPage(const uint8_t* p) {
    return std::memcmp(p, "OggS", 4) == 0 && p[4] == 0;
}

// The first page: a lone Vorbis identification packet at the start of the only stream.
bool ReadFormat(const uint8_t* head, size_t size, SoundHeader& out, uint32_t& serial) {
    if (size < kPageHeader || !IsPage(head) || (head[5] & 0x02) == 0) return false;
    size_t segments = head[26];
    size_t packet = kPageHeader + segments;
    if (segments == 0 || packet + 16 > size) return false;
    const uint8_t* id = head + packet;
    if (id[0] != 1 || std::memcmp(id + 1, "vorbis", 6) != 0 || Le32(id + 7) != 0) return false;
    serial = Le32(head + 14);
    out.type = SampleType::F32;
    out.channels = id[11];
    out.rate = static_cast<int32_t>(std::min<uint32_t>(Le32(id + 12), INT32_MAX));
    return out.channels > 0 && out.rate > 0;
}

// The granule position of the last page of the stream, which marks the end of a stream that
// starts at zero; 0 when no such page is found.
uint64_t LastGranule(const uint8_t* tail, size_t size, uint32_t serial) {
    for (size_t at = size >= kPageHeader ? size - kPageHeader + 1 : 0; at-- > 0;) {
        const uint8_t* p = tail + at;
        if (!IsPage(p) || Le32(p + 14) != serial) continue;
        uint64_t granule = Le64(p + 6);
        if (granule != ~uint64_t(0)) return (p[5] & 0x04) ? granule : 0;
    }
    return 0;
}

}  // namespace

std::optional<SoundHeader> ProbeOggVorbis(const std::string& path) {
    int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return std::nullopt;
    std::optional<SoundHeader> result;
    struct stat st;
    uint8_t head[kHeadBytes];
    SoundHeader header;
    uint32_t serial = 0;
    if (fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_size >= off_t(kHeadBytes) &&
        ReadExactly(fd, head, kHeadBytes, 0) && ReadFormat(head, kHeadBytes, header, serial)) {
        size_t size = static_cast<size_t>(st.st_size);
        size_t tailBytes = std::min(size, kTailBytes);
        std::string tail(tailBytes, '\0');
        auto* bytes = reinterpret_cast<uint8_t*>(tail.data());
        if (ReadExactly(fd, bytes, tailBytes, static_cast<off_t>(size - tailBytes))) {
            header.frames = LastGranule(bytes, tailBytes, serial);
            if (header.frames > 0) result = header;
        }
    }
    close(fd);
    return result;
}

}  // namespace plat
