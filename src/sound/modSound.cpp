#include "sound/modSound.h"

#include "base/program.h"
#include "base/report.h"
#include "base/settings_record.h"
#include "base/stage_timing.h"
#include "platform/platform.h"
#include "sound/loader.h"

namespace modSound {

vb::Array<clsSoundBuffer, 0, 1295> WavBuffer;
bool DecodeAllFirst = false;

namespace {

int SettledFailures = 0;  // FailedLoads() at the last SettleFailedDecodes

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
    vb::Long rate = 0;
    for (long id = WavBuffer.kLower; id <= WavBuffer.kUpper; ++id) {
        // The point where a sound decoded during the load got its voice; a sound still decoding
        // takes its place in the mix here too, so the mix adds the voices in the same order.
        WavBuffer[id].makeVoice();
        vb::Long r = WavBuffer[id].Format().SamplesPerSec;
        if (r > rate) rate = r;
    }
    return rate;
}

void DecodeInOrder(const std::vector<long>& ids) {
    std::vector<const LoadJob*> jobs;
    for (long id : ids)
        if (const LoadJob* job = WavBuffer[id].pendingLoad()) jobs.push_back(job);
    PutFirst(jobs);
}

void AwaitDecodes(const std::vector<long>& ids, void (*between)()) {
    for (long id : ids) {
        if (WavBuffer[id].isDecoded()) continue;
        if (between) between();
        WavBuffer[id].awaitDecode();
    }
}

void AwaitAllDecodes() {
    for (auto& s : WavBuffer) s.awaitDecode();
}

bool SettleFailedDecodes() {
    int failures = FailedLoads();
    if (failures == SettledFailures) return false;
    SettledFailures = failures;
    // Only the failed ones: a decoded sound takes its voice where the load would have given it.
    for (auto& s : WavBuffer)
        if (s.pendingLoad() && LoadFailed(*s.pendingLoad())) s.awaitDecode();
    return true;
}

void Reset() {
    JoinPendingLoads();
    SettledFailures = FailedLoads();
    DecodeAllFirst = false;
    for (auto& s : WavBuffer) s.clear();
}

}  // namespace modSound
