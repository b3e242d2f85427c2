#include "sound/clsSoundBuffer.h"

#include <algorithm>
#include <cmath>

#include "base/helpers.h"
#include "base/settings_record.h"
#include "platform/platform.h"
#include "play/modCount.h"
#include "sound/loader.h"

namespace {

// What the output raises when asked for a sound it does not hold.
[[noreturn]] void NoVoice() {
    vb::Raise(5);
}

// Byte offset of a chart time into the data: the product is a Currency (exact, or error 6), and
// only the scaling to seconds is taken in double.
vb::Long BytesAt(vb::Currency ms, vb::Long avgBytesPerSec) {
    int64_t product;
    if (__builtin_mul_overflow(ms.raw, static_cast<int64_t>(avgBytesPerSec), &product))
        vb::Overflow();
    return vb::CLng(static_cast<double>(product) / vb::Currency::kScale * 0.001);
}

// Output frames from the first one at or after a sound's due time, `late` chart milliseconds
// ago at the current speed, to the frame being mixed now.
int32_t LateFrames(vb::Currency late) {
    const double rate = static_cast<float>(modMain::Settings.Frequency * 0.01);  // as the clock
    if (late <= vb::Currency() || rate <= 0) return 0;
    const double perMs = plat::kOutputRate / 1000.0, now = plat::Now();
    double frames = std::floor(now * perMs) - std::ceil((now - late.ToDouble() / rate) * perMs);
    return static_cast<int32_t>(std::clamp(frames, 0.0, double(INT32_MAX)));
}

}  // namespace

clsSoundBuffer::~clsSoundBuffer() {
    // Only the slots of the program are destroyed, at exit, after ShutDown released every voice;
    // the device may already be gone, so it is not touched here.
    if (pending_) modSound::DropLoad(pending_);
}

bool clsSoundBuffer::init(const std::string& cFileName) {
    try {
        const std::string& held = pending_ ? modSound::LoadName(*pending_) : fileName_;
        if (cFileName != held) {
            clear();
            if (!modSound::SoundFileExists(cFileName)) return false;
            if (std::shared_ptr<modSound::LoadJob> job = modSound::QueueLoad(cFileName)) {
                pending_ = std::move(job);
                return true;
            }
            if (!loadFile(cFileName)) return false;
            fileName_ = cFileName;
        }
        // With a load still running, its completion sets the flag (or leaves the object empty).
        if (!pending_) initialized_ = true;
        return true;
    } catch (const std::exception&) {  // run-time errors, and memory for an absurd sound
        clear();
        return false;
    }
}

void clsSoundBuffer::settle() {
    if (!pending_) return;
    std::shared_ptr<modSound::LoadJob> job = std::move(pending_);
    pending_ = nullptr;
    std::string name = modSound::LoadName(*job);
    std::shared_ptr<const plat::Pcm> pcm = modSound::TakeLoad(job);
    try {
        if (pcm && createBuffer(std::move(pcm))) {
            fileName_ = name;
            initialized_ = true;
            return;
        }
    } catch (const std::exception&) {
    }
    clear();
}

bool clsSoundBuffer::loadFile(const std::string& cFileName) {
    std::shared_ptr<const plat::Pcm> pcm = modSound::FindSound(cFileName);
    if (pcm && createBuffer(std::move(pcm))) return true;
    clear();
    return false;
}

bool clsSoundBuffer::createBuffer(std::shared_ptr<const plat::Pcm> pcm) {
    plat::Mixer& mixer = plat::Dev().GetMixer();
    plat::VoiceId id = mixer.Create(pcm);
    if (id == 0) NoVoice();
    buffer_ = id;
    mixer_ = &mixer;
    format_ = WAVEFORMATEX{};
    format_.FormatTag = 1;
    format_.Channels = static_cast<vb::Integer>(pcm->channels);
    format_.SamplesPerSec = pcm->rate;
    format_.AvgBytesPerSec = pcm->AvgBytesPerSec();
    format_.BlockAlign = static_cast<vb::Integer>(pcm->BlockAlign());
    format_.BitsPerSample = static_cast<vb::Integer>(pcm->BitsPerSample());
    double got = static_cast<double>(pcm->FileBytes());
    length_ = static_cast<vb::Single>(got / format_.AvgBytesPerSec * 1000);
    pcm_ = std::move(pcm);
    return true;
}

plat::Mixer* clsSoundBuffer::voiceMixer() {
    if (buffer_ == 0 || mixer_ != &plat::Dev().GetMixer()) return nullptr;
    return mixer_;
}

void clsSoundBuffer::releaseVoice() {
    if (buffer_ != 0 && mixer_ == &plat::Dev().GetMixer()) mixer_->Release(buffer_);
    buffer_ = 0;
    mixer_ = nullptr;
}

void clsSoundBuffer::clear() {
    if (pending_) {
        modSound::DropLoad(pending_);
        pending_ = nullptr;
    }
    format_ = WAVEFORMATEX{};
    length_ = 0;
    fileName_.clear();
    reset();
    releaseVoice();
    pcm_ = nullptr;
}

void clsSoundBuffer::reset() {
    settle();
    initialized_ = false;
    paused_ = false;
    channel_ = 0;
    startTime_ = vb::Currency();
    resumePosition_ = 0;
}

void clsSoundBuffer::play(vb::Long ch, vb::Currency late) {
    try {
        settle();
        if (!initialized_) return;
        if (ch != 0) {
            channel_ = ch;
            changeVolume();
        }
        const bool fromStart = resumePosition_ == 0;
        if (fromStart) startTime_ = modCount::PlayTime;
        plat::Mixer* mixer = voiceMixer();
        if (!mixer) NoVoice();
        mixer->Stop(buffer_);
        // The cursor must lie inside the data, as the sound card's buffers demand.
        if (resumePosition_ < 0 || static_cast<uint64_t>(resumePosition_) >= pcm_->FileBytes())
            NoVoice();
        auto offset = static_cast<uint32_t>(resumePosition_);
        if (mixer->PlayLate(buffer_, offset, fromStart ? LateFrames(late) : 0) > 0)
            startTime_ = modCount::PlayTime - late;
        paused_ = false;
        resumePosition_ = 0;
    } catch (const std::exception&) {
        // A sound that cannot start is simply not heard.
    }
}

void clsSoundBuffer::pause() {
    settle();
    if (!initialized_ || !isPlaying()) return;
    vb::Currency elapsed = modCount::PlayTime - startTime_;
    if (elapsed.ToDouble() >= length_) {
        stopstop();
        return;
    }
    if (plat::Mixer* mixer = voiceMixer()) mixer->Stop(buffer_);
    resumePosition_ = BytesAt(elapsed, format_.AvgBytesPerSec);
    paused_ = true;
}

void clsSoundBuffer::stopstop() {
    settle();
    if (!initialized_) return;
    if (plat::Mixer* mixer = voiceMixer()) mixer->Stop(buffer_);
    resumePosition_ = 0;
    paused_ = false;
}

bool clsSoundBuffer::isInitialized() {
    settle();
    return initialized_;
}

bool clsSoundBuffer::isPlaying() {
    settle();
    plat::Mixer* mixer = initialized_ ? voiceMixer() : nullptr;
    return mixer && mixer->IsPlaying(buffer_);
}

bool clsSoundBuffer::isPaused() {
    settle();
    return paused_;
}

void clsSoundBuffer::setPosition(vb::Currency pos) {
    settle();
    if (!initialized_) return;
    resumePosition_ = BytesAt(pos, format_.AvgBytesPerSec);
    startTime_ = modCount::PlayTime - pos;
}

void clsSoundBuffer::setFrequency(vb::Single percent) {
    settle();
    if (!initialized_) return;
    vb::Long rate = vb::CLng(static_cast<double>(percent) * 0.01 * format_.SamplesPerSec);
    if (rate < 100) rate = 100;
    if (rate > 100000) rate = 100000;
    if (plat::Mixer* mixer = voiceMixer()) mixer->SetFrequency(buffer_, rate);
}

void clsSoundBuffer::changeVolume() {
    const modMain::SettingsRecord& s = modMain::Settings;
    vb::Long audible = channel_ == 1 ? 1 : 2;  // background sounds : key sounds
    setVolume((s.AutoPlay & audible) != 0 ? s.Volume : 0.0f);
}

void clsSoundBuffer::setVolume(vb::Single percent) {
    settle();
    if (!initialized_) return;
    vb::Long attenuation = modMain::VolumeToAttenuation(percent);
    if (plat::Mixer* mixer = voiceMixer()) mixer->SetAttenuation(buffer_, attenuation);
}

WAVEFORMATEX clsSoundBuffer::Format() {
    settle();
    return initialized_ ? format_ : WAVEFORMATEX{};
}

vb::Single clsSoundBuffer::Length() {
    settle();
    return length_;
}

const std::string& clsSoundBuffer::FileName() {
    settle();
    return fileName_;
}

size_t clsSoundBuffer::DataBytes() {
    settle();
    return pcm_ ? pcm_->data.size() : 0;
}
