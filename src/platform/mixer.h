// The software mixer that stands in for the sound card's secondary buffers: each voice holds one
// sound's PCM in its own sample format, a play cursor, a frequency, an attenuation and a playing
// flag that clears when the data runs out. The device pulls mixed stereo float frames from it
// (the real one from its audio thread, the headless one as the virtual clock moves).
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <utility>
#include <vector>

namespace plat {

enum class SampleType : uint8_t { U8, S16, S24, S32, F32 };

// An allocator whose new elements are left as they are, not zeroed: a decoder grows a sound's
// bytes and writes over them at once, and zeroing first would cost a second pass over memory.
template <typename T>
struct UninitAllocator : std::allocator<T> {
    template <typename U>
    struct rebind {
        using other = UninitAllocator<U>;
    };
    UninitAllocator() = default;
    template <typename U>
    UninitAllocator(const UninitAllocator<U>&) noexcept {}
    template <typename U>
    void construct(U* p) noexcept {
        ::new (static_cast<void*>(p)) U;
    }
    template <typename U, typename... Args>
    void construct(U* p, Args&&... args) {
        ::new (static_cast<void*>(p)) U(std::forward<Args>(args)...);
    }
};

using PcmBytes = std::vector<uint8_t, UninitAllocator<uint8_t>>;

// The rate the mixer's output runs at, on the sound card and on the headless clock alike.
constexpr int32_t kOutputRate = 44100;

// Decoded PCM, interleaved, little-endian. `type`, `channels` and `rate` are the file's own
// format, and what the program reports and times a sound by. `data` holds the file's samples as
// decoded, or, once ConvertToOutputRate has run, the same sound converted to another rate:
// then `converted` tells what `data` holds and how many frames the file had.
struct Pcm {
    struct Conversion {
        int32_t rate = 0;  // 0: `data` holds the file's own samples
        SampleType type = SampleType::S16;
        uint64_t fileFrames = 0;
    };

    SampleType type = SampleType::S16;
    int32_t channels = 0;
    int32_t rate = 0;  // samples per second
    PcmBytes data;
    Conversion converted;

    int32_t BytesPerSample() const;
    int32_t BlockAlign() const { return BytesPerSample() * channels; }
    int32_t BitsPerSample() const { return BytesPerSample() * 8; }
    int32_t AvgBytesPerSec() const { return BlockAlign() * rate; }
    // The sound's length in the file's frames and bytes, whatever `data` holds.
    uint64_t FileFrames() const;
    uint64_t FileBytes() const { return FileFrames() * static_cast<uint64_t>(BlockAlign()); }
    // The format of the samples in `data`.
    SampleType DataType() const { return converted.rate ? converted.type : type; }
    int32_t DataRate() const { return converted.rate ? converted.rate : rate; }
    int32_t DataBlockAlign() const;
};

// How many output frames the mixer plays of `frames` source frames when it steps through them
// at `sourceRate` to an output of `outputRate`: a sound converted to the output rate holds
// exactly this many frames, so it ends on the same output frame as it would unconverted.
uint64_t PlayedFrames(uint64_t frames, int32_t sourceRate, int32_t outputRate);

// Holds samples to -1..1, as the sound card saturated its sum; a NaN becomes -1.
inline void ClipSamples(float* __restrict s, size_t count) {
    for (size_t i = 0; i < count; ++i) {
        const float v = s[i] > -1.0f ? s[i] : -1.0f;
        s[i] = v < 1.0f ? v : 1.0f;
    }
}

using VoiceId = int32_t;  // 0 is never a voice

class Mixer {
  public:
    explicit Mixer(int32_t outputRate = 44100);
    ~Mixer();
    Mixer(const Mixer&) = delete;
    Mixer& operator=(const Mixer&) = delete;

    int32_t OutputRate() const { return outputRate_; }

    // A stopped voice over the sound's data; the data is shared, never copied. Byte offsets and
    // frequencies are those of the file's format even when the data was converted.
    VoiceId Create(std::shared_ptr<const Pcm> pcm);
    // Puts other data under an existing voice, as a voice made anew (stopped, at the sound's own
    // frequency, full volume); it keeps its place in the mix. Create(nullptr) makes a voice to be
    // filled later.
    void Fill(VoiceId id, std::shared_ptr<const Pcm> pcm);
    void Release(VoiceId id);
    // Stops, moves the play cursor to byteOffset (rounded down to a whole frame), starts once.
    void Play(VoiceId id, uint32_t byteOffset);
    void Stop(VoiceId id);
    bool IsPlaying(VoiceId id);
    // Byte offset of the play cursor.
    uint32_t Position(VoiceId id);
    void SetFrequency(VoiceId id, int32_t hz);
    // Hundredths of a decibel, -10000 (silence) to 0; gain = 10^(att / 2000).
    void SetAttenuation(VoiceId id, int32_t att);
    void SetMasterGain(float gain);

    // Adds nothing, writes `frames` stereo float frames (interleaved L, R) of the mix.
    void Mix(float* out, int32_t frames);
    // The same before the sum is clipped to -1..1, for a listener that clips later.
    void MixUnclipped(float* out, int32_t frames);
    int32_t PlayingVoices();

    // Late starts, for a listener that holds back the last frames of the mix before it takes them
    // for good (an export): PlayLate starts a voice as if Play had been called `lateFrames`
    // output frames ago (at most the limit; the limit 0, the default, makes it Play). A voice
    // restarted so is cut where the new start lies. The frames that were mixed without the late
    // voice are made good by TakeLate, which adds the difference to `tail`, the last
    // `tailFrames` frames of the unclipped mix; it must be called before the next mix, which
    // drops what was not taken. Returns the frames by which the voice was moved back.
    void SetLateLimit(int32_t frames);
    int32_t PlayLate(VoiceId id, uint32_t byteOffset, int32_t lateFrames);
    void TakeLate(float* tail, int32_t tailFrames);

  private:
    struct Voice;
    std::mutex lock_;
    int32_t outputRate_;
    float masterGain_ = 1.0f;
    uint64_t mixed_ = 0;  // output frames mixed so far
    int32_t lateLimit_ = 0;
    std::vector<float> late_;                     // the late difference, for the frames mixed last
    std::vector<std::unique_ptr<Voice>> voices_;  // index = id - 1
    std::vector<VoiceId> free_;
    Voice* Find(VoiceId id);
    void Start(Voice& v, uint32_t byteOffset, uint64_t atFrame);
    float* LateFrames(int32_t frames);
    std::unique_ptr<Voice> NewVoice(std::shared_ptr<const Pcm> pcm);
};

}  // namespace plat
