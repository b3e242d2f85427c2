// The software mixer. Voices read their sound's PCM in its stored format; converting to float
// happens per sample inside a loop specialised for each format and channel layout, so 256 voices
// stay cheap. Positions are 32.32 fixed-point frame counts: a voice at the output rate steps by
// exactly one frame, and resampling is linear interpolation between neighbouring frames.
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

namespace {
struct VoiceState {
    std::shared_ptr<const Pcm> pcm;
    const uint8_t* data = nullptr;
    uint32_t frames = 0;
    int32_t channels = 0;
    int32_t blockAlign = 0;
    uint64_t pos = 0;  // 32.32 frames
    uint64_t step = kOne;
    int32_t frequency = 0;
    float gain = 1.0f;
    bool playing = false;
    std::vector<float> weightL, weightR;  // more than two channels only
};

enum class Layout { Mono, Stereo, Multi };

// Adds up to `frames` output frames of one voice into `out`, fewer when the data runs out;
// returns how many it produced.
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
    if (v.channels == 1) return MixVoice<T, Layout::Mono>(v, out, frames, gain, gain);
    if (v.channels == 2) return MixVoice<T, Layout::Stereo>(v, out, frames, gain, gain);
    return MixVoice<T, Layout::Multi>(v, out, frames, gain, gain);
}

int32_t MixAnyVoice(VoiceState& v, float* out, int32_t frames, float gain) {
    switch (v.pcm->type) {
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

uint64_t StepFor(int32_t hz, int32_t outputRate) {
    return (static_cast<uint64_t>(hz) << 32) / static_cast<uint64_t>(outputRate);
}

}  // namespace

struct Mixer::Voice : VoiceState {};

Mixer::Mixer(int32_t outputRate) : outputRate_(outputRate > 0 ? outputRate : 44100) {}
Mixer::~Mixer() = default;

Mixer::Voice* Mixer::Find(VoiceId id) {
    if (id <= 0 || static_cast<size_t>(id) > voices_.size()) return nullptr;
    return voices_[static_cast<size_t>(id) - 1].get();
}

VoiceId Mixer::Create(std::shared_ptr<const Pcm> pcm) {
    auto v = std::make_unique<Voice>();
    if (!pcm) pcm = std::make_shared<const Pcm>();
    v->pcm = std::move(pcm);
    const Pcm& p = *v->pcm;
    int32_t align = p.channels > 0 ? p.BlockAlign() : 0;
    // A sound without a usable shape gets a voice that holds no frames, so it ends as it starts.
    if (align > 0 && p.rate > 0) {
        v->data = p.data.data();
        v->frames = static_cast<uint32_t>(std::min<size_t>(p.data.size() / align, UINT32_MAX));
        v->channels = p.channels;
        v->blockAlign = align;
        v->frequency = std::clamp(p.rate, kMinFrequency, kMaxFrequency);
        if (p.channels > 2) DownmixWeights(p.channels, v->weightL, v->weightR);
    }
    v->step = StepFor(v->frequency > 0 ? v->frequency : outputRate_, outputRate_);

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

void Mixer::Release(VoiceId id) {
    std::unique_ptr<Voice> gone;  // freed outside the lock: the PCM may be large
    {
        std::lock_guard<std::mutex> guard(lock_);
        if (!Find(id)) return;
        gone = std::move(voices_[static_cast<size_t>(id) - 1]);
        free_.push_back(id);
    }
}

void Mixer::Play(VoiceId id, uint32_t byteOffset) {
    std::lock_guard<std::mutex> guard(lock_);
    Voice* v = Find(id);
    if (!v) return;
    uint64_t frame = v->blockAlign > 0 ? byteOffset / static_cast<uint32_t>(v->blockAlign) : 0;
    frame = std::min<uint64_t>(frame, v->frames);
    v->pos = frame << 32;
    v->playing = frame < v->frames;
}

void Mixer::Stop(VoiceId id) {
    std::lock_guard<std::mutex> guard(lock_);
    if (Voice* v = Find(id)) v->playing = false;
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
    uint64_t frame = std::min<uint64_t>(v->pos >> 32, v->frames);
    return static_cast<uint32_t>(
        std::min<uint64_t>(frame * static_cast<uint64_t>(v->blockAlign), UINT32_MAX));
}

void Mixer::SetFrequency(VoiceId id, int32_t hz) {
    std::lock_guard<std::mutex> guard(lock_);
    Voice* v = Find(id);
    if (!v || v->blockAlign == 0) return;
    // 0 restores the sound's own rate, as the sound card's buffers do.
    v->frequency = hz <= 0 ? std::clamp(v->pcm->rate, kMinFrequency, kMaxFrequency)
                           : std::clamp(hz, kMinFrequency, kMaxFrequency);
    v->step = StepFor(v->frequency, outputRate_);
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
    if (frames <= 0) return;
    std::fill(out, out + 2 * static_cast<size_t>(frames), 0.0f);
    std::lock_guard<std::mutex> guard(lock_);
    for (auto& slot : voices_) {
        Voice* v = slot.get();
        if (!v || !v->playing) continue;
        MixAnyVoice(*v, out, frames, v->gain * masterGain_);
        // Cleared as soon as the cursor reaches the end, not one mix later.
        if ((v->pos >> 32) >= v->frames) v->playing = false;
    }
    // The sound card saturated its sum; so do we (fmax/fmin also turn a NaN into a rail).
    for (size_t i = 0; i < 2 * static_cast<size_t>(frames); ++i)
        out[i] = std::fmin(std::fmax(out[i], -1.0f), 1.0f);
}

int32_t Mixer::PlayingVoices() {
    std::lock_guard<std::mutex> guard(lock_);
    int32_t n = 0;
    for (auto& slot : voices_)
        if (slot && slot->playing) ++n;
    return n;
}

}  // namespace plat
