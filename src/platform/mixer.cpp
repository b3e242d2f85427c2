// The software mixer. Voices read their sound's PCM in its stored format; converting to float
// happens per sample inside a loop specialised for each format and channel layout, so 256 voices
// stay cheap. Positions are 32.32 fixed-point frame counts of the voice's data. Sounds come
// converted to the output rate by the loader, so at normal speed a voice steps by exactly one
// frame and its samples are copied as they are; other speeds (and sounds left at their own rate)
// interpolate linearly between neighbouring frames.
#include "platform/mixer.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace plat {

namespace {

constexpr int32_t kMinFrequency = 1;
constexpr int32_t kMaxFrequency = 1000000;
constexpr uint64_t kOne = uint64_t(1) << 32;

template <SampleType T>
inline float ReadSample(const uint8_t* p) {
    if constexpr (T == SampleType::U8) {
        return (static_cast<int32_t>(p[0]) - 128) * (1.0f / 128.0f);
    } else if constexpr (T == SampleType::S16) {
        int16_t v;
        std::memcpy(&v, p, 2);
        return v * (1.0f / 32768.0f);
    } else if constexpr (T == SampleType::S24) {
        int32_t v = static_cast<int32_t>((uint32_t(p[0]) << 8) | (uint32_t(p[1]) << 16) |
                                         (uint32_t(p[2]) << 24)) >>
                    8;
        return v * (1.0f / 8388608.0f);
    } else if constexpr (T == SampleType::S32) {
        int32_t v;
        std::memcpy(&v, p, 4);
        return static_cast<float>(v) * (1.0f / 2147483648.0f);
    } else {
        float v;
        std::memcpy(&v, p, 4);
        return v;
    }
}

constexpr int32_t SampleBytes(SampleType t) {
    switch (t) {
        case SampleType::U8:
            return 1;
        case SampleType::S16:
            return 2;
        case SampleType::S24:
            return 3;
        case SampleType::S32:
            return 4;
        case SampleType::F32:
            return 4;
    }
    return 0;
}

// Left and right weights of each channel when a sound has more than two. Layouts follow the
// WAVE default channel order (front L, front R, centre, LFE, back L, back R, side L, side R);
// centre and surround channels fold in at -3 dB, LFE is dropped, and each side is scaled so
// that full-scale input on every channel cannot exceed full scale.
void DownmixWeights(int32_t channels, std::vector<float>& left, std::vector<float>& right) {
    constexpr float h = 0.70710678f;
    left.assign(channels, 0.0f);
    right.assign(channels, 0.0f);
    auto set = [&](int c, float l, float r) {
        if (c < channels) left[c] = l, right[c] = r;
    };
    switch (channels) {
        case 3:  // FL FR FC
            set(0, 1, 0), set(1, 0, 1), set(2, h, h);
            break;
        case 4:  // FL FR BL BR
            set(0, 1, 0), set(1, 0, 1), set(2, h, 0), set(3, 0, h);
            break;
        case 5:  // FL FR FC BL BR
            set(0, 1, 0), set(1, 0, 1), set(2, h, h), set(3, h, 0), set(4, 0, h);
            break;
        case 6:  // FL FR FC LFE BL BR
            set(0, 1, 0), set(1, 0, 1), set(2, h, h), set(4, h, 0), set(5, 0, h);
            break;
        case 7:  // FL FR FC LFE BC SL SR
            set(0, 1, 0), set(1, 0, 1), set(2, h, h), set(4, 0.5f, 0.5f), set(5, h, 0),
                set(6, 0, h);
            break;
        case 8:  // FL FR FC LFE BL BR SL SR
            set(0, 1, 0), set(1, 0, 1), set(2, h, h), set(4, h, 0), set(5, 0, h), set(6, h, 0),
                set(7, 0, h);
            break;
        default:  // unknown layout: alternate channels between the sides
            for (int c = 0; c < channels; ++c) set(c, c % 2 == 0 ? 1.f : 0.f, c % 2 ? 1.f : 0.f);
            break;
    }
    float sumL = 0, sumR = 0;
    for (int c = 0; c < channels; ++c) sumL += left[c], sumR += right[c];
    for (int c = 0; c < channels; ++c) {
        if (sumL > 0) left[c] /= sumL;
        if (sumR > 0) right[c] /= sumR;
    }
}

}  // namespace

int32_t Pcm::BytesPerSample() const {
    return SampleBytes(type);
}

int32_t Pcm::DataBlockAlign() const {
    return SampleBytes(DataType()) * channels;
}

uint64_t Pcm::FileFrames() const {
    if (converted.rate) return converted.fileFrames;
    int32_t align = BlockAlign();
    return align > 0 ? data.size() / static_cast<uint32_t>(align) : 0;
}

uint64_t PlayedFrames(uint64_t frames, int32_t sourceRate, int32_t outputRate) {
    if (sourceRate <= 0 || outputRate <= 0) return 0;
    // The mixer plays frame i while i * step stays below the end, in 32.32 fixed point.
    using Wide = unsigned __int128;
    uint64_t step = static_cast<uint64_t>((Wide(sourceRate) << 32) / Wide(outputRate));
    if (step == 0) return 0;
    Wide end = Wide(frames) << 32;
    return static_cast<uint64_t>((end + step - 1) / step);
}

namespace {
struct VoiceState {
    std::shared_ptr<const Pcm> pcm;
    const uint8_t* data = nullptr;
    SampleType type = SampleType::S16;  // of `data`
    uint32_t frames = 0;                // in `data`
    int32_t channels = 0;
    int32_t blockAlign = 0;  // of `data`
    // The file's own shape, in which play offsets and frequencies are given.
    uint64_t fileFrames = 0;
    int32_t fileAlign = 0;
    int32_t fileRate = 0;
    int32_t dataRate = 0;
    uint64_t pos = 0;  // 32.32 frames of `data`
    uint64_t step = kOne;
    int32_t frequency = 0;
    float gain = 1.0f;
    bool playing = false;
    std::vector<float> weightL, weightR;  // more than two channels only
    // Where the last start went, to take back what it played after a late restart.
    uint64_t startPos = 0;
    uint64_t startedAt = 0;         // output frame
    uint64_t endedAt = UINT64_MAX;  // output frame it stopped on, while it plays none
    bool steady = true;             // the step has not changed since the start
};

enum class Layout { Mono, Stereo, Multi };

// Mono or stereo frames at their fixed stride, a loop the compiler can turn into vector code.
template <SampleType T, int32_t Channels>
void CopyFrames(const uint8_t* __restrict p, float* __restrict out, int32_t n, float gain) {
    constexpr int32_t bytes = SampleBytes(T), align = bytes * Channels;
    for (int32_t i = 0; i < n; ++i) {
        const float l = ReadSample<T>(p + i * align);
        const float r = Channels == 2 ? ReadSample<T>(p + i * align + bytes) : l;
        out[2 * i] += l * gain;
        out[2 * i + 1] += r * gain;
    }
}

// Adds up to `frames` output frames of a voice that steps by whole frames into `out`, fewer when
// the data runs out; returns how many it produced.
template <SampleType T, Layout L>
int32_t CopyVoice(VoiceState& v, float* out, int32_t frames, float gain) {
    constexpr int32_t bytes = SampleBytes(T);
    const uint64_t idx = v.pos >> 32;
    const int32_t n = idx < v.frames ? static_cast<int32_t>(std::min<uint64_t>(
                                           static_cast<uint64_t>(frames), v.frames - idx))
                                     : 0;
    const int32_t align = v.blockAlign;
    const uint8_t* p = v.data + idx * static_cast<uint64_t>(align);
    if constexpr (L == Layout::Mono) {
        CopyFrames<T, 1>(p, out, n, gain);
    } else if constexpr (L == Layout::Stereo) {
        CopyFrames<T, 2>(p, out, n, gain);
    } else {
        for (int32_t i = 0; i < n; ++i, p += align) {
            float l = 0.0f, r = 0.0f;
            for (int32_t c = 0; c < v.channels; ++c) {
                float s = ReadSample<T>(p + c * bytes);
                l += s * v.weightL[c];
                r += s * v.weightR[c];
            }
            out[2 * i] += l * gain;
            out[2 * i + 1] += r * gain;
        }
    }
    v.pos += static_cast<uint64_t>(n) << 32;
    return n;
}

// As CopyVoice, for any step: each output frame interpolates between the two data frames
// around the play cursor.
template <SampleType T, Layout L>
int32_t MixVoice(VoiceState& v, float* out, int32_t frames, float gainL, float gainR) {
    constexpr int32_t bytes = SampleBytes(T);
    const uint8_t* data = v.data;
    const uint32_t total = v.frames;
    const int32_t align = v.blockAlign;
    const int32_t channels = v.channels;
    uint64_t pos = v.pos;
    const uint64_t step = v.step;
    int32_t i = 0;
    for (; i < frames; ++i) {
        uint64_t idx = pos >> 32;
        if (idx >= total) break;
        float frac = static_cast<float>(pos & 0xFFFFFFFFu) * (1.0f / 4294967296.0f);
        const uint8_t* p0 = data + idx * align;
        bool hasNext = idx + 1 < total;
        const uint8_t* p1 = p0 + align;
        float l, r;
        if constexpr (L == Layout::Mono) {
            float s0 = ReadSample<T>(p0);
            float s1 = hasNext ? ReadSample<T>(p1) : 0.0f;
            l = r = s0 + (s1 - s0) * frac;
        } else if constexpr (L == Layout::Stereo) {
            float l0 = ReadSample<T>(p0), r0 = ReadSample<T>(p0 + bytes);
            float l1 = hasNext ? ReadSample<T>(p1) : 0.0f;
            float r1 = hasNext ? ReadSample<T>(p1 + bytes) : 0.0f;
            l = l0 + (l1 - l0) * frac;
            r = r0 + (r1 - r0) * frac;
        } else {
            l = r = 0.0f;
            for (int32_t c = 0; c < channels; ++c) {
                float s0 = ReadSample<T>(p0 + c * bytes);
                float s1 = hasNext ? ReadSample<T>(p1 + c * bytes) : 0.0f;
                float s = s0 + (s1 - s0) * frac;
                l += s * v.weightL[c];
                r += s * v.weightR[c];
            }
        }
        out[2 * i] += l * gainL;
        out[2 * i + 1] += r * gainR;
        pos += step;
    }
    v.pos = pos;
    return i;
}

template <SampleType T>
int32_t MixVoiceOfType(VoiceState& v, float* out, int32_t frames, float gain) {
    // A cursor on a whole frame moving one frame at a time never falls between two frames.
    if (v.step == kOne && (v.pos & 0xFFFFFFFFu) == 0) {
        if (v.channels == 1) return CopyVoice<T, Layout::Mono>(v, out, frames, gain);
        if (v.channels == 2) return CopyVoice<T, Layout::Stereo>(v, out, frames, gain);
        return CopyVoice<T, Layout::Multi>(v, out, frames, gain);
    }
    if (v.channels == 1) return MixVoice<T, Layout::Mono>(v, out, frames, gain, gain);
    if (v.channels == 2) return MixVoice<T, Layout::Stereo>(v, out, frames, gain, gain);
    return MixVoice<T, Layout::Multi>(v, out, frames, gain, gain);
}

int32_t MixAnyVoice(VoiceState& v, float* out, int32_t frames, float gain) {
    switch (v.type) {
        case SampleType::U8:
            return MixVoiceOfType<SampleType::U8>(v, out, frames, gain);
        case SampleType::S16:
            return MixVoiceOfType<SampleType::S16>(v, out, frames, gain);
        case SampleType::S24:
            return MixVoiceOfType<SampleType::S24>(v, out, frames, gain);
        case SampleType::S32:
            return MixVoiceOfType<SampleType::S32>(v, out, frames, gain);
        case SampleType::F32:
            return MixVoiceOfType<SampleType::F32>(v, out, frames, gain);
    }
    return 0;
}

// The voice's step through its data when the file's frames pass at `hz`: a converted sound
// holds dataRate frames for every fileRate frames of the file.
uint64_t StepFor(const VoiceState& v, int32_t hz, int32_t outputRate) {
    using Wide = unsigned __int128;
    if (v.fileRate <= 0 || v.dataRate <= 0)
        return (static_cast<uint64_t>(hz) << 32) / static_cast<uint64_t>(outputRate);
    return static_cast<uint64_t>((Wide(hz) * Wide(v.dataRate) << 32) /
                                 (Wide(v.fileRate) * Wide(outputRate)));
}

// The data frame that plays where the file's frame `f` would. A converted sound counts from its
// end, so that from any start it stops on the very output frame the file's frames would.
uint64_t DataFrameOf(const VoiceState& v, uint64_t f) {
    if (v.dataRate == v.fileRate) return f;
    uint64_t left = PlayedFrames(v.fileFrames - std::min(f, v.fileFrames), v.fileRate, v.dataRate);
    return v.frames - std::min<uint64_t>(left, v.frames);
}

// The last of the file's frames that plays at or before data frame `d` (DataFrameOf the other
// way): an estimate from the rates, then set right against DataFrameOf itself.
uint64_t FileFrameOf(const VoiceState& v, uint64_t d) {
    if (v.dataRate == v.fileRate) return d;
    using Wide = unsigned __int128;
    uint64_t left = static_cast<uint64_t>(Wide(v.frames - std::min<uint64_t>(d, v.frames)) *
                                          Wide(v.fileRate) / Wide(v.dataRate));
    uint64_t f = v.fileFrames - std::min(left, v.fileFrames);
    while (f > 0 && DataFrameOf(v, f) > d) --f;
    while (f < v.fileFrames && DataFrameOf(v, f + 1) <= d) ++f;
    return f;
}

}  // namespace

struct Mixer::Voice : VoiceState {};

Mixer::Mixer(int32_t outputRate) : outputRate_(outputRate > 0 ? outputRate : 44100) {}
Mixer::~Mixer() = default;

Mixer::Voice* Mixer::Find(VoiceId id) {
    if (id <= 0 || static_cast<size_t>(id) > voices_.size()) return nullptr;
    return voices_[static_cast<size_t>(id) - 1].get();
}

std::unique_ptr<Mixer::Voice> Mixer::NewVoice(std::shared_ptr<const Pcm> pcm) {
    auto v = std::make_unique<Voice>();
    if (!pcm) pcm = std::make_shared<const Pcm>();
    v->pcm = std::move(pcm);
    const Pcm& p = *v->pcm;
    int32_t align = p.channels > 0 ? p.DataBlockAlign() : 0;
    // A sound without a usable shape gets a voice that holds no frames, so it ends as it starts.
    if (align > 0 && p.rate > 0 && p.DataRate() > 0) {
        v->data = p.data.data();
        v->type = p.DataType();
        v->frames = static_cast<uint32_t>(std::min<size_t>(p.data.size() / align, UINT32_MAX));
        v->channels = p.channels;
        v->blockAlign = align;
        v->fileFrames = p.converted.rate ? p.FileFrames() : v->frames;
        v->fileAlign = p.BlockAlign();
        v->fileRate = p.rate;
        v->dataRate = p.DataRate();
        v->frequency = std::clamp(p.rate, kMinFrequency, kMaxFrequency);
        if (p.channels > 2) DownmixWeights(p.channels, v->weightL, v->weightR);
    }
    v->step = StepFor(*v, v->frequency > 0 ? v->frequency : outputRate_, outputRate_);
    return v;
}

VoiceId Mixer::Create(std::shared_ptr<const Pcm> pcm) {
    std::unique_ptr<Voice> v = NewVoice(std::move(pcm));
    std::lock_guard<std::mutex> guard(lock_);
    if (!free_.empty()) {
        VoiceId id = free_.back();
        free_.pop_back();
        voices_[static_cast<size_t>(id) - 1] = std::move(v);
        return id;
    }
    voices_.push_back(std::move(v));
    return static_cast<VoiceId>(voices_.size());
}

void Mixer::Fill(VoiceId id, std::shared_ptr<const Pcm> pcm) {
    std::unique_ptr<Voice> v = NewVoice(std::move(pcm));
    std::lock_guard<std::mutex> guard(lock_);
    if (Find(id)) v.swap(voices_[static_cast<size_t>(id) - 1]);
}  // the voice replaced is freed here, outside the lock

void Mixer::Release(VoiceId id) {
    std::unique_ptr<Voice> gone;  // freed outside the lock: the PCM may be large
    {
        std::lock_guard<std::mutex> guard(lock_);
        if (!Find(id)) return;
        gone = std::move(voices_[static_cast<size_t>(id) - 1]);
        free_.push_back(id);
    }
}

void Mixer::Start(Voice& v, uint32_t byteOffset, uint64_t atFrame) {
    uint64_t frame = v.fileAlign > 0 ? byteOffset / static_cast<uint32_t>(v.fileAlign) : 0;
    frame = DataFrameOf(v, std::min<uint64_t>(frame, v.fileFrames));
    v.pos = frame << 32;
    v.playing = frame < v.frames;
    v.startPos = v.pos;
    v.startedAt = atFrame;
    v.endedAt = v.playing ? UINT64_MAX : atFrame;
    v.steady = true;
}

void Mixer::Play(VoiceId id, uint32_t byteOffset) {
    std::lock_guard<std::mutex> guard(lock_);
    if (Voice* v = Find(id)) Start(*v, byteOffset, mixed_);
}

void Mixer::SetLateLimit(int32_t frames) {
    std::lock_guard<std::mutex> guard(lock_);
    lateLimit_ = std::max(frames, 0);
    late_.clear();
}

// The late difference for the last `frames` frames mixed.
float* Mixer::LateFrames(int32_t frames) {
    size_t want = 2 * static_cast<size_t>(frames);
    if (late_.size() < want) late_.insert(late_.begin(), want - late_.size(), 0.0f);
    return late_.data() + late_.size() - want;
}

int32_t Mixer::PlayLate(VoiceId id, uint32_t byteOffset, int32_t lateFrames) {
    std::lock_guard<std::mutex> guard(lock_);
    Voice* v = Find(id);
    if (!v) return 0;
    const auto late = static_cast<int32_t>(
        std::min<uint64_t>(static_cast<uint64_t>(std::clamp(lateFrames, 0, lateLimit_)), mixed_));
    const uint64_t at = mixed_ - static_cast<uint64_t>(late);
    const float gain = v->gain * masterGain_;
    // The voice's earlier sound ends where the new one starts: what it played since is taken
    // back by mixing the same frames again, negated.
    const uint64_t from = std::max(at, v->startedAt), to = std::min(v->endedAt, mixed_);
    if (v->steady && from < to) {
        v->pos = v->startPos + (from - v->startedAt) * v->step;
        MixAnyVoice(*v, LateFrames(late) + 2 * (from - at), static_cast<int32_t>(to - from), -gain);
    }
    Start(*v, byteOffset, at);
    if (late > 0 && v->playing) {
        int32_t n = MixAnyVoice(*v, LateFrames(late), late, gain);
        if ((v->pos >> 32) >= v->frames) v->playing = false, v->endedAt = at + n;
    }
    return late;
}

void Mixer::TakeLate(float* tail, int32_t tailFrames) {
    std::lock_guard<std::mutex> guard(lock_);
    size_t n = std::min(late_.size(), 2 * static_cast<size_t>(std::max(tailFrames, 0)));
    const float* from = late_.data() + late_.size() - n;
    float* to = tail + 2 * static_cast<size_t>(tailFrames) - n;
    for (size_t i = 0; i < n; ++i) to[i] += from[i];
    late_.clear();
}

void Mixer::Stop(VoiceId id) {
    std::lock_guard<std::mutex> guard(lock_);
    Voice* v = Find(id);
    if (v && v->playing) v->playing = false, v->endedAt = mixed_;
}

bool Mixer::IsPlaying(VoiceId id) {
    std::lock_guard<std::mutex> guard(lock_);
    Voice* v = Find(id);
    return v && v->playing;
}

uint32_t Mixer::Position(VoiceId id) {
    std::lock_guard<std::mutex> guard(lock_);
    Voice* v = Find(id);
    if (!v) return 0;
    uint64_t frame = FileFrameOf(*v, std::min<uint64_t>(v->pos >> 32, v->frames));
    return static_cast<uint32_t>(
        std::min<uint64_t>(frame * static_cast<uint64_t>(v->fileAlign), UINT32_MAX));
}

void Mixer::SetFrequency(VoiceId id, int32_t hz) {
    std::lock_guard<std::mutex> guard(lock_);
    Voice* v = Find(id);
    if (!v || v->blockAlign == 0) return;
    // 0 restores the sound's own rate, as the sound card's buffers do.
    v->frequency = hz <= 0 ? std::clamp(v->pcm->rate, kMinFrequency, kMaxFrequency)
                           : std::clamp(hz, kMinFrequency, kMaxFrequency);
    uint64_t step = StepFor(*v, v->frequency, outputRate_);
    if (step != v->step) v->steady = false;
    v->step = step;
}

void Mixer::SetAttenuation(VoiceId id, int32_t att) {
    std::lock_guard<std::mutex> guard(lock_);
    Voice* v = Find(id);
    if (!v) return;
    att = std::clamp(att, -10000, 0);
    v->gain = att <= -10000 ? 0.0f : static_cast<float>(std::pow(10.0, att / 2000.0));
}

void Mixer::SetMasterGain(float gain) {
    std::lock_guard<std::mutex> guard(lock_);
    masterGain_ = std::isfinite(gain) ? std::max(gain, 0.0f) : 1.0f;
}

void Mixer::Mix(float* out, int32_t frames) {
    MixUnclipped(out, frames);
    // The sound card saturated its sum; so do we.
    ClipSamples(out, 2 * static_cast<size_t>(std::max(frames, 0)));
}

void Mixer::MixUnclipped(float* out, int32_t frames) {
    if (frames <= 0) return;
    std::fill(out, out + 2 * static_cast<size_t>(frames), 0.0f);
    std::lock_guard<std::mutex> guard(lock_);
    late_.clear();
    for (auto& slot : voices_) {
        Voice* v = slot.get();
        if (!v || !v->playing) continue;
        int32_t n = MixAnyVoice(*v, out, frames, v->gain * masterGain_);
        // Cleared as soon as the cursor reaches the end, not one mix later.
        if ((v->pos >> 32) >= v->frames) v->playing = false, v->endedAt = mixed_ + n;
    }
    mixed_ += static_cast<uint64_t>(frames);
}

int32_t Mixer::PlayingVoices() {
    std::lock_guard<std::mutex> guard(lock_);
    int32_t n = 0;
    for (auto& slot : voices_)
        if (slot && slot->playing) ++n;
    return n;
}

}  // namespace plat
