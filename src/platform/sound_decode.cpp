// Sound files through libsndfile, decoded whole into memory. Plain PCM keeps its sample width so
// the mixer reads the bytes the file held; float and compressed data come out as F32 or S16.
// A file that cannot be read as a sound in full gives nothing, so the caller can try another
// file of the same name.
#include <fcntl.h>
#include <sndfile.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cmath>
#include <cstring>

#include "platform/platform.h"

namespace plat {

namespace {

// More decoded PCM than this is refused: no chart sound is that long, and it keeps a hostile
// header from claiming all memory.
constexpr uint64_t kMaxPcmBytes = uint64_t(1) << 30;
constexpr int kMaxChannels = 64;
constexpr int kMaxRate = 1000000;
constexpr sf_count_t kChunkFrames = 16384;

SampleType StoredType(int format) {
    switch (format & SF_FORMAT_SUBMASK) {
        case SF_FORMAT_PCM_S8:
        case SF_FORMAT_PCM_U8:
            return SampleType::U8;
        case SF_FORMAT_PCM_16:
            return SampleType::S16;
        case SF_FORMAT_PCM_24:
            return SampleType::S24;
        case SF_FORMAT_PCM_32:
            return SampleType::S32;
        case SF_FORMAT_FLOAT:
        case SF_FORMAT_DOUBLE:
        case SF_FORMAT_VORBIS:
        case SF_FORMAT_OPUS:
        case SF_FORMAT_MPEG_LAYER_I:
        case SF_FORMAT_MPEG_LAYER_II:
        case SF_FORMAT_MPEG_LAYER_III:
            return SampleType::F32;
        default:
            return SampleType::S16;  // ADPCM, u-law, A-law, GSM and the like are 16-bit
    }
}

void Append16(std::vector<uint8_t>& out, const short* s, size_t n) {
    size_t at = out.size();
    out.resize(at + 2 * n);
    std::memcpy(out.data() + at, s, 2 * n);
}

void Append8(std::vector<uint8_t>& out, const short* s, size_t n) {
    for (size_t i = 0; i < n; ++i) out.push_back(static_cast<uint8_t>((s[i] >> 8) + 128));
}

void Append24(std::vector<uint8_t>& out, const int* s, size_t n) {
    for (size_t i = 0; i < n; ++i) {
        uint32_t v = static_cast<uint32_t>(s[i]) >> 8;
        out.push_back(static_cast<uint8_t>(v));
        out.push_back(static_cast<uint8_t>(v >> 8));
        out.push_back(static_cast<uint8_t>(v >> 16));
    }
}

void Append32(std::vector<uint8_t>& out, const int* s, size_t n) {
    size_t at = out.size();
    out.resize(at + 4 * n);
    std::memcpy(out.data() + at, s, 4 * n);
}

// Non-finite samples (possible in float files) would poison the whole mix: they become silence.
void AppendF32(std::vector<uint8_t>& out, float* s, size_t n) {
    for (size_t i = 0; i < n; ++i)
        if (!std::isfinite(s[i])) s[i] = 0.0f;
    size_t at = out.size();
    out.resize(at + 4 * n);
    std::memcpy(out.data() + at, s, 4 * n);
}

// Reads every frame; false when the data would pass the size limit.
bool ReadAll(SNDFILE* file, Pcm& pcm) {
    const size_t ch = static_cast<size_t>(pcm.channels);
    const uint64_t frameBytes = static_cast<uint64_t>(pcm.BlockAlign());
    std::vector<short> s16;
    std::vector<int> s32;
    std::vector<float> f32;
    for (;;) {
        sf_count_t got = 0;
        switch (pcm.type) {
            case SampleType::U8:
            case SampleType::S16:
                s16.resize(kChunkFrames * ch);
                got = sf_readf_short(file, s16.data(), kChunkFrames);
                break;
            case SampleType::S24:
            case SampleType::S32:
                s32.resize(kChunkFrames * ch);
                got = sf_readf_int(file, s32.data(), kChunkFrames);
                break;
            case SampleType::F32:
                f32.resize(kChunkFrames * ch);
                got = sf_readf_float(file, f32.data(), kChunkFrames);
                break;
        }
        if (got <= 0) return true;
        if (pcm.data.size() + static_cast<uint64_t>(got) * frameBytes > kMaxPcmBytes) return false;
        size_t n = static_cast<size_t>(got) * ch;
        switch (pcm.type) {
            case SampleType::U8:
                Append8(pcm.data, s16.data(), n);
                break;
            case SampleType::S16:
                Append16(pcm.data, s16.data(), n);
                break;
            case SampleType::S24:
                Append24(pcm.data, s32.data(), n);
                break;
            case SampleType::S32:
                Append32(pcm.data, s32.data(), n);
                break;
            case SampleType::F32:
                AppendF32(pcm.data, f32.data(), n);
                break;
        }
        if (got < kChunkFrames) return true;
    }
}

}  // namespace

std::optional<Pcm> DecodeSound(const std::string& path) {
    // Opened by hand so that only regular files reach the decoder (a FIFO would block it).
    int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return std::nullopt;
    struct stat st;
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_size == 0) {
        close(fd);
        return std::nullopt;
    }
    SF_INFO info{};
    SNDFILE* file = sf_open_fd(fd, SFM_READ, &info, SF_TRUE);
    if (!file) return std::nullopt;  // sf_open_fd closes the descriptor on failure as well

    std::optional<Pcm> result;
    if (info.channels > 0 && info.channels <= kMaxChannels && info.samplerate > 0 &&
        info.samplerate <= kMaxRate && info.frames > 0) {
        Pcm pcm;
        pcm.type = StoredType(info.format);
        pcm.channels = info.channels;
        pcm.rate = info.samplerate;
        uint64_t expected = static_cast<uint64_t>(info.frames) * pcm.BlockAlign();
        // The header's frame count may be an estimate (compressed streams); it only sizes the
        // first allocation, the limit is checked again while reading.
        if (expected <= kMaxPcmBytes) {
            pcm.data.reserve(static_cast<size_t>(expected));
            if (ReadAll(file, pcm) && !pcm.data.empty()) result = std::move(pcm);
        }
    }
    sf_close(file);
    return result;
}

}  // namespace plat
