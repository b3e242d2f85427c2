// One loaded sound of a chart: its PCM in a mixer voice, with the bookkeeping to start it on the
// chart clock, pause and resume it at the right sample, follow the playback speed and mute it.
#pragma once

#include <memory>
#include <string>

#include "base/vb.h"
#include "platform/mixer.h"
#include "platform/platform.h"

struct WAVEFORMATEX {
    vb::Integer FormatTag = 0;
    vb::Integer Channels = 0;
    vb::Long SamplesPerSec = 0;
    vb::Long AvgBytesPerSec = 0;
    vb::Integer BlockAlign = 0;
    vb::Integer BitsPerSample = 0;
    vb::Integer Size = 0;
    vb::Long Extra = 0;
};

namespace modSound {
struct LoadJob;
}

class clsSoundBuffer {
  public:
    clsSoundBuffer() = default;
    ~clsSoundBuffer();
    clsSoundBuffer(const clsSoundBuffer&) = delete;
    clsSoundBuffer& operator=(const clsSoundBuffer&) = delete;

    // With the decoding threads running (modSound::BeginLoads) init reads only the file's header
    // and queues its decoding; the object behaves exactly as if the load had been made at once:
    // format and length come from the header, the voice is made when the slots get their voices
    // (makeVoice), and play waits for the decode. A file whose decode then fails stays silent.
    bool init(const std::string& cFileName);
    // Whether play would start at once, with no decoding to wait for.
    bool isDecoded();
    // Waits for a queued decoding (or runs it on this thread) and gives its data to the voice.
    void awaitDecode();
    // Gives a sound whose decoding is queued its place in the mix now (an empty voice), as a
    // sound decoded at once gets it when its slot is first asked about after the load.
    void makeVoice();
    // The queued decoding, null when there is none.
    const modSound::LoadJob* pendingLoad() const { return pending_.get(); }
    void clear();
    void reset();
    // Starts the sound (for a lane or background channel `ch`, 0 to resume). `late`: how long
    // ago on the chart clock the sound was due; a device that can start sounds late (an exact
    // export) places it there, any other starts it now.
    void play(vb::Long ch = 0, vb::Currency late = {});
    void pause();
    void stopstop();
    bool isInitialized();
    bool isPlaying();
    bool isPaused();
    void setPosition(vb::Currency pos);
    void setFrequency(vb::Single percent);
    void changeVolume();
    WAVEFORMATEX Format();
    vb::Single Length();
    const std::string& FileName();
    // Bytes of PCM held in memory, after its conversion to the output rate (0 when empty).
    size_t DataBytes();

  private:
    bool loadFile(const std::string& cFileName);
    bool createBuffer(std::shared_ptr<const plat::Pcm> pcm);
    void setVolume(vb::Single percent);
    // Completes a load that is still running on a worker (see init).
    void settle();
    bool queueLoad(const std::string& cFileName);
    void setFormat(const plat::Pcm& shape, uint64_t fileBytes);
    // The voice's mixer; null when there is no voice or the device it was made on was replaced
    // (a voice without its device is silent and stopped).
    plat::Mixer* voiceMixer();
    void releaseVoice();

    plat::VoiceId buffer_ = 0;
    plat::Mixer* mixer_ = nullptr;  // the mixer buffer_ belongs to
    std::shared_ptr<const plat::Pcm> pcm_;
    std::shared_ptr<modSound::LoadJob> pending_;
    std::string fileName_;
    WAVEFORMATEX format_;
    vb::Single length_ = 0;
    bool initialized_ = false;
    bool paused_ = false;
    vb::Long channel_ = 0;
    vb::Currency startTime_;
    vb::Long resumePosition_ = 0;
    // The voice's frequency and attenuation, kept to be set once a queued decode arrives.
    vb::Single frequency_ = 0;  // percent; 0 for the sound's own rate
    vb::Long attenuation_ = 0;
    bool attenuationSet_ = false;
};
