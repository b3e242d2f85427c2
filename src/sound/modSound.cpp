#include "sound/modSound.h"

#include "base/program.h"
#include "base/report.h"
#include "base/settings_record.h"
#include "base/stage_timing.h"
#include "platform/platform.h"
#include "sound/loader.h"

namespace modSound {

vb::Array<clsSoundBuffer, 0, 1295> WavBuffer;
long UnreadyPlays = 0;

namespace {

// Runs `step` over every sound slot; a run-time error goes to the report under `procName`.
template <typename Step>
void EverySound(const char* procName, Step step) {
    try {
        for (long id = WavBuffer.kLower; id <= WavBuffer.kUpper; ++id) step(WavBuffer[id]);
    } catch (const vb::Error& e) {
        modMain::Report(e, procName);
    }
}

}  // namespace

void SoundMain() {
    try {
        modMain::StageMark(3, plat::Now());
        if (modMain::PlayState == modMain::PS_END) SoundCheck();
        modMain::StageMark(3, plat::Now());
    } catch (const vb::Error& e) {
        modMain::Report(e, "SoundMain");
    }
}

void SoundCheck() {
    try {
        for (long id = WavBuffer.kLower; id <= WavBuffer.kUpper; ++id)
            if (WavBuffer[id].isPlaying()) return;  // the last sounds are still ringing
        if (!modMain::Settings.SinglePlay)
            modMain::PlayState = modMain::PS_IDLE;
        else
            modMain::ShutDown(0, "", "");
    } catch (const vb::Error& e) {
        modMain::Report(e, "SoundCheck");
    }
}

void SoundPause() {
    EverySound("SoundPause", [](clsSoundBuffer& s) { s.pause(); });
}

// No handler of its own: its errors belong to the caller (the key step).
void SoundResume() {
    for (long id = WavBuffer.kLower; id <= WavBuffer.kUpper; ++id)
        if (WavBuffer[id].isPaused()) WavBuffer[id].play();
}

void SoundStop() {
    EverySound("SoundStop", [](clsSoundBuffer& s) { s.stopstop(); });
}

void ChangeFrequency() {
    modMain::SettingsRecord& s = modMain::Settings;
    if (s.Frequency > s.MaxFrequency) s.Frequency = s.MaxFrequency;
    auto percent = static_cast<vb::Single>(s.Frequency);
    EverySound("ChangeFrequency", [percent](clsSoundBuffer& b) { b.setFrequency(percent); });
}

void ChangeVolume() {
    EverySound("ChangeVolume", [](clsSoundBuffer& s) { s.changeVolume(); });
}

int MaxSampleRate() {
    JoinPendingLoads();
    vb::Long rate = 0;
    for (long id = WavBuffer.kLower; id <= WavBuffer.kUpper; ++id) {
        vb::Long r = WavBuffer[id].Format().SamplesPerSec;
        if (r > rate) rate = r;
    }
    return rate;
}

int PendingDecodes() {
    return 0;
}

void Reset() {
    JoinPendingLoads();
    for (auto& s : WavBuffer) s.clear();
}

}  // namespace modSound
