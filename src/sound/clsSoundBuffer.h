// One loaded sound of a chart: its PCM in a mixer voice, with the bookkeeping to start it on the
// chart clock, pause and resume it at the right sample, follow the playback speed and mute it.
#pragma once

#include <memory>
#include <string>

#include "platform/mixer.h"
#include "shell/vb.h"

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

class clsSoundBuffer {
public:
    clsSoundBuffer() = default;
    ~clsSoundBuffer();
    clsSoundBuffer(const clsSoundBuffer&) = delete;
    clsSoundBuffer& operator=(const clsSoundBuffer&) = delete;

    bool init(const std::string& cFileName);
    void clear();
    void reset();
    void play(vb::Long ch = 0);
    void pause();
    void stopstop();
    bool isInitialized() const { return initialized_; }
    bool isPlaying();
    bool isPaused() const { return paused_; }
    void setPosition(vb::Currency pos);
    void setFrequency(vb::Single percent);
    void changeVolume();
    WAVEFORMATEX Format() const;
    vb::Single Length() const { return length_; }
    const std::string& FileName() const { return fileName_; }

private:
    bool loadFile(const std::string& cFileName);
    bool createBuffer(const std::string& cFileName);
    void setVolume(vb::Single percent);

    plat::VoiceId buffer_ = 0;
    std::shared_ptr<const plat::Pcm> pcm_;
    std::string fileName_;
    WAVEFORMATEX format_;
    vb::Single length_ = 0;
    bool initialized_ = false;
    bool paused_ = false;
    vb::Long channel_ = 0;
    vb::Currency startTime_;
    vb::Long resumePosition_ = 0;
};
