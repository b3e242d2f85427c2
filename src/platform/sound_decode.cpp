// Sound files through libsndfile, decoded whole into memory. Plain PCM keeps its sample width so
// the mixer reads the bytes the file held; float and compressed data come out as F32 or S16.
// A file that gives no samples at all gives nothing, so the caller can try another file of the
// same name; one cut short gives the samples before the cut.
#include <fcntl.h>
#include <malloc.h>
#include <sndfile.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>

#include "base/media_budget.h"
#include "platform/ogg_probe.h"
#include "platform/platform.h"

namespace plat {

namespace {

// More decoded PCM than this is refused: no chart sound is that long, and it keeps a hostile
// header from claiming all memory.
constexpr uint64_t kMaxPcmBytes = uint64_t(1) << 30;
constexpr int kMaxChannels = 64;
constexpr int kMaxRate = 1000000;
// Samples decoded per read (all channels), kept by each decoding thread between files.
constexpr size_t kChunkSamples = 32768;
// The file reader's buffer for the decoder's small reads (headers, compressed pages).
constexpr size_t kReadBufferBytes = 4096;

// The decoder's view of a sound file. Small reads come from a buffer filled a page at a time;
// a large read (the samples of a plain PCM file) goes from the system straight into the sound's
// own bytes. The decoder's own file access made some thirty small reads and seeks per file, and a
// whole-file buffer copied every byte twice; both limited how well loads on several threads scaled.
struct FileReader {
    int fd;
    sf_count_t size;
    sf_count_t pos = 0;
    uint8_t* buffer;             // kReadBufferBytes, kept by the decoding thread
    sf_count_t bufferStart = 0;  // the file offset of buffer[0]
    sf_count_t bufferLength = 0;
};

// Reads up to `count` bytes at `offset`, riding out interruptions; what was read.
sf_count_t ReadAt(int fd, void* out, sf_count_t count, sf_count_t offset) {
    sf_count_t done = 0;
    while (done < count) {
        ssize_t n = pread(fd, static_cast<uint8_t*>(out) + done, static_cast<size_t>(count - done),
                          static_cast<off_t>(offset + done));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        done += n;
    }
    return done;
}

sf_count_t FileLength(void* user) {
    return static_cast<FileReader*>(user)->size;
}

sf_count_t FileSeek(sf_count_t offset, int whence, void* user) {
    auto* f = static_cast<FileReader*>(user);
    sf_count_t base = whence == SEEK_CUR ? f->pos : whence == SEEK_END ? f->size : 0;
    if (offset < -base || offset > f->size - base) return -1;
    f->pos = base + offset;
    return f->pos;
}

sf_count_t FileRead(void* out, sf_count_t count, void* user) {
    auto* f = static_cast<FileReader*>(user);
    auto* to = static_cast<uint8_t*>(out);
    sf_count_t want = std::clamp<sf_count_t>(count, 0, f->size - f->pos);
    sf_count_t done = 0;
    while (done < want) {
        sf_count_t inBuffer = f->bufferStart + f->bufferLength - f->pos;
        if (f->pos >= f->bufferStart && inBuffer > 0) {
            sf_count_t n = std::min(inBuffer, want - done);
            std::memcpy(to + done, f->buffer + (f->pos - f->bufferStart), static_cast<size_t>(n));
            done += n;
            f->pos += n;
        } else if (want - done >= static_cast<sf_count_t>(kReadBufferBytes)) {
            sf_count_t n = ReadAt(f->fd, to + done, want - done, f->pos);
            done += n;
            f->pos += n;
            break;
        } else {
            f->bufferStart = f->pos;
            f->bufferLength = ReadAt(f->fd, f->buffer, kReadBufferBytes, f->pos);
            if (f->bufferLength == 0) break;
        }
    }
    return done;
}

sf_count_t FileWrite(const void*, sf_count_t, void*) {
    return 0;
}

sf_count_t FileTell(void* user) {
    return static_cast<FileReader*>(user)->pos;
}

SF_VIRTUAL_IO kFileIo = {FileLength, FileSeek, FileRead, FileWrite, FileTell};

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

void AppendBytes(PcmBytes& out, const void* samples, size_t bytes) {
    const auto* p = static_cast<const uint8_t*>(samples);
    out.insert(out.end(), p, p + bytes);
}

void Append8(PcmBytes& out, const short* s, size_t n) {
    for (size_t i = 0; i < n; ++i) out.push_back(static_cast<uint8_t>((s[i] >> 8) + 128));
}

void Append24(PcmBytes& out, const int* s, size_t n) {
    for (size_t i = 0; i < n; ++i) {
        uint32_t v = static_cast<uint32_t>(s[i]) >> 8;
        out.push_back(static_cast<uint8_t>(v));
        out.push_back(static_cast<uint8_t>(v >> 8));
        out.push_back(static_cast<uint8_t>(v >> 16));
    }
}

// Non-finite samples (possible in float files) would poison the whole mix: they become silence.
void SilenceNonFinite(PcmBytes& data) {
    for (size_t at = 0; at + 4 <= data.size(); at += 4) {
        float v;
        std::memcpy(&v, data.data() + at, 4);
        if (!std::isfinite(v)) std::memset(data.data() + at, 0, 4);
    }
}

// Makes room for `more` bytes of samples. The larger buffer is taken from the budget before it is
// made, and the old one given back only after the move, so the budget also bounds what a decode
// takes while it grows. False when the sound would pass the size limit; OverBudget when the
// budget cannot give the room.
bool MakeRoom(PcmBytes& data, uint64_t more, media::Reservation& budget) {
    const uint64_t need = data.size() + more;
    if (need <= data.capacity()) return true;
    if (need > kMaxPcmBytes) return false;
    const size_t old = data.capacity();
    const auto grown = static_cast<size_t>(
        std::min<uint64_t>(kMaxPcmBytes, std::max<uint64_t>(need, 2 * uint64_t(old))));
    if (!budget.Add(grown)) throw media::OverBudget();
    data.reserve(grown);
    budget.Drop(old);
    return true;
}

// The decoder's reads, by the sample type asked for.
sf_count_t ReadFrames(SNDFILE* file, short* out, sf_count_t frames) {
    return sf_readf_short(file, out, frames);
}
sf_count_t ReadFrames(SNDFILE* file, int* out, sf_count_t frames) {
    return sf_readf_int(file, out, frames);
}
sf_count_t ReadFrames(SNDFILE* file, float* out, sf_count_t frames) {
    return sf_readf_float(file, out, frames);
}

void Store(Pcm& pcm, const short* s, size_t n) {
    if (pcm.type == SampleType::U8)
        Append8(pcm.data, s, n);
    else
        AppendBytes(pcm.data, s, 2 * n);
}

void Store(Pcm& pcm, const int* s, size_t n) {
    if (pcm.type == SampleType::S24)
        Append24(pcm.data, s, n);
    else
        AppendBytes(pcm.data, s, 4 * n);
}

void Store(Pcm& pcm, const float* s, size_t n) {
    AppendBytes(pcm.data, s, 4 * n);
}

// Reads the frames the header announced straight into the sound's bytes, for samples kept as
// the decoder gives them: the bytes are written once, with no copy in between.
template <typename Sample>
void ReadAnnounced(SNDFILE* file, Pcm& pcm, sf_count_t frames, media::Reservation& budget) {
    if (frames <= 0) return;
    const auto frameBytes = static_cast<size_t>(pcm.BlockAlign());
    if (!MakeRoom(pcm.data, static_cast<uint64_t>(frames) * frameBytes, budget)) return;
    pcm.data.resize(static_cast<size_t>(frames) * frameBytes);
    sf_count_t got = ReadFrames(file, reinterpret_cast<Sample*>(pcm.data.data()), frames);
    pcm.data.resize(static_cast<size_t>(std::max<sf_count_t>(got, 0)) * frameBytes);
}

// Reads the remaining frames as `Sample` through a chunk this thread keeps; false when the data
// would pass the size limit.
template <typename Sample>
bool ReadRest(SNDFILE* file, Pcm& pcm, media::Reservation& budget) {
    thread_local std::vector<Sample> chunk(kChunkSamples);
    const size_t ch = static_cast<size_t>(pcm.channels);
    const uint64_t frameBytes = static_cast<uint64_t>(pcm.BlockAlign());
    const auto frames = static_cast<sf_count_t>(kChunkSamples / ch);
    for (;;) {
        sf_count_t got = ReadFrames(file, chunk.data(), frames);
        if (got <= 0) return true;
        if (!MakeRoom(pcm.data, static_cast<uint64_t>(got) * frameBytes, budget)) return false;
        Store(pcm, chunk.data(), static_cast<size_t>(got) * ch);
        if (got < frames) return true;
    }
}

// Reads every frame. The header's count may be an estimate (compressed streams), so whatever
// follows the announced frames is read too; with no count (0) everything is read in chunks.
bool ReadAll(SNDFILE* file, Pcm& pcm, sf_count_t announced, media::Reservation& budget) {
    switch (pcm.type) {
        case SampleType::U8:
            return ReadRest<short>(file, pcm, budget);
        case SampleType::S16:
            ReadAnnounced<short>(file, pcm, announced, budget);
            return ReadRest<short>(file, pcm, budget);
        case SampleType::S24:
            return ReadRest<int>(file, pcm, budget);
        case SampleType::S32:
            ReadAnnounced<int>(file, pcm, announced, budget);
            return ReadRest<int>(file, pcm, budget);
        case SampleType::F32: {
            ReadAnnounced<float>(file, pcm, announced, budget);
            bool ok = ReadRest<float>(file, pcm, budget);
            SilenceNonFinite(pcm.data);
            return ok;
        }
    }
    return false;
}

// The frame count the header announced when it is one to go by, else 0 (everything is then read
// in chunks).
sf_count_t AnnouncedFrames(const SF_INFO& info) {
    return info.frames > 0 ? info.frames : 0;
}

bool FormatAllowed(const SF_INFO& info) {
    return info.channels > 0 && info.channels <= kMaxChannels && info.samplerate > 0 &&
           info.samplerate <= kMaxRate;
}

// The most frames of the file's format that fit the size limit.
sf_count_t FrameLimit(const SF_INFO& info) {
    Pcm shape;
    shape.type = StoredType(info.format);
    shape.channels = info.channels;
    return static_cast<sf_count_t>(kMaxPcmBytes / static_cast<uint64_t>(shape.BlockAlign()));
}

// A count past the size limit says nothing about the frames that will come: a stream whose end
// the decoder cannot find (an Ogg file whose last page is cut off) announces the largest count
// there is, and a hostile header any count it likes.
bool CountUntrusted(const SF_INFO& info) {
    return info.frames > 0 && info.frames > FrameLimit(info);
}

// The frames a stream gives when read to its end, kept nowhere; -1 past the size limit. Reading
// an untrusted stream twice costs time only for such files, and its memory is then exactly the
// sound's, never a buffer grown on the chance that more comes.
sf_count_t CountFrames(SNDFILE* file, const SF_INFO& info) {
    thread_local std::vector<float> chunk(kChunkSamples);
    const auto frames = static_cast<sf_count_t>(kChunkSamples / static_cast<size_t>(info.channels));
    const sf_count_t limit = FrameLimit(info);
    sf_count_t total = 0;
    for (;;) {
        sf_count_t got = sf_readf_float(file, chunk.data(), frames);
        if (got <= 0) return total;
        total += got;
        if (total > limit) return -1;
        if (got < frames) return total;
    }
}

// Decodes an opened file, when its format fits in memory and the limits.
std::optional<Pcm> Decode(SNDFILE* file, const SF_INFO& info, media::Reservation& budget) {
    Pcm pcm;
    pcm.type = StoredType(info.format);
    pcm.channels = info.channels;
    pcm.rate = info.samplerate;
    sf_count_t announced = AnnouncedFrames(info);
    if (!MakeRoom(pcm.data, static_cast<uint64_t>(announced) * pcm.BlockAlign(), budget))
        return std::nullopt;
    if (!ReadAll(file, pcm, announced, budget) || pcm.data.empty()) return std::nullopt;
    return pcm;
}

}  // namespace

void PrepareParallelDecoding() {
    // Decoded sounds outlive the threads that decode them, and the sounds of one chart are freed
    // while the next chart's are decoded. By default the C library hands such memory back to the
    // system at once (a decoding thread's heap even as soon as it is empty), and every load then
    // touches fresh pages, which costs more than the decoding and does not get faster with more
    // threads. Up to these sizes freed sound memory stays in the process for the next load;
    // sounds above 4 MB (long background music) are mapped on their own and come and go.
    static const bool once = mallopt(M_TRIM_THRESHOLD, 256 << 20) && mallopt(M_TOP_PAD, 64 << 20) &&
                             mallopt(M_MMAP_THRESHOLD, 4 << 20);
    (void)once;
}

void LowerThreadPriority() {
    // Linux keeps a nice value per thread; a thread may always lower its own priority.
    setpriority(PRIO_PROCESS, static_cast<id_t>(gettid()), 10);
}

std::optional<Pcm> DecodeSound(const std::string& path) {
    media::Reservation budget;
    return DecodeSound(path, budget);
}

namespace {

// A sound file opened for the decoder: only regular files reach it (a FIFO would block it), and
// only formats within the limits; an untrusted frame count is replaced by the frames counted.
class OpenSound {
  public:
    explicit OpenSound(const std::string& path) {
        fd_ = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
        if (fd_ < 0) return;
        struct stat st;
        if (fstat(fd_, &st) != 0 || !S_ISREG(st.st_mode) || st.st_size == 0) return;
        thread_local uint8_t buffer[kReadBufferBytes];
        reader_ = FileReader{fd_, static_cast<sf_count_t>(st.st_size), 0, buffer};
        file_ = sf_open_virtual(&kFileIo, SFM_READ, &info_, &reader_);
        if (file_ && !FormatAllowed(info_)) Close();
        if (file_ && CountUntrusted(info_)) {
            sf_count_t counted = CountFrames(file_, info_);
            Close();
            reader_.pos = reader_.bufferLength = 0;
            if (counted > 0) file_ = sf_open_virtual(&kFileIo, SFM_READ, &info_, &reader_);
            info_.frames = counted;
        }
    }
    ~OpenSound() {
        Close();
        if (fd_ >= 0) close(fd_);
    }
    OpenSound(const OpenSound&) = delete;
    OpenSound& operator=(const OpenSound&) = delete;

    SNDFILE* File() const { return file_; }
    const SF_INFO& Info() const { return info_; }

  private:
    void Close() {
        if (file_) sf_close(file_);
        file_ = nullptr;
    }

    int fd_ = -1;
    FileReader reader_{};
    SF_INFO info_{};
    SNDFILE* file_ = nullptr;
};

}  // namespace

std::optional<Pcm> DecodeSound(const std::string& path, media::Reservation& budget) {
    OpenSound sound(path);
    if (!sound.File()) return std::nullopt;
    return Decode(sound.File(), sound.Info(), budget);
}

std::optional<SoundHeader> ProbeSound(const std::string& path) {
    if (std::optional<SoundHeader> ogg = ProbeOggVorbis(path)) {
        // Within the limits the decoder's open applies; past them the decoder tells.
        if (ogg->channels <= kMaxChannels && ogg->rate <= kMaxRate &&
            ogg->frames * uint64_t(4 * ogg->channels) <= kMaxPcmBytes)
            return ogg;
    }
    OpenSound sound(path);
    if (!sound.File()) return std::nullopt;
    const SF_INFO& info = sound.Info();
    SoundHeader header;
    header.type = StoredType(info.format);
    header.channels = info.channels;
    header.rate = info.samplerate;
    header.frames = static_cast<uint64_t>(AnnouncedFrames(info));
    return header;
}

}  // namespace plat
