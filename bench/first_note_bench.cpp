// Opening a song with 1,295 one-second OGG keysounds (as many as two-character ids name): the time
// from the start of the load to the play clock running ("open_ms", page cache warm; to hold: at
// most 300 ms on two cores), and, with the play clock then driven in real time until every sound
// is decoded, how often a sound was due before it was decoded ("sound_waits", each a wait of the
// play clock; to hold: 0). "ready_ms" is when the last sound was decoded. The sounds are
// generated once into /tmp/korvane-open-bench.
#include <benchmark/benchmark.h>
#include <sndfile.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "bench_support.h"
#include "chart/modBMSLoad.h"
#include "platform/headless.h"
#include "platform/platform.h"
#include "play/modCount.h"
#include "shell/modMain.h"
#include "shell/settings.h"
#include "sound/modSound.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr int kSounds = 1295;
constexpr int kRate = 44100;
const std::string kDir = "/tmp/korvane-open-bench";
const char* const kDigits = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ";

// One second of a decaying tone, different for every sound.
std::vector<short> Keysound(int i) {
    std::vector<short> s(kRate);
    for (size_t k = 0; k < s.size(); ++k) {
        double t = static_cast<double>(k) / kRate;
        s[k] = static_cast<short>(12000 * std::sin(2 * M_PI * (110 + i % 700) * t) *
                                  std::exp(-3.0 * t));
    }
    return s;
}

bool WriteOgg(const std::string& path, const std::vector<short>& samples) {
    SF_INFO info{};
    info.samplerate = kRate;
    info.channels = 1;
    info.format = SF_FORMAT_OGG | SF_FORMAT_VORBIS;
    SNDFILE* f = sf_open(path.c_str(), SFM_WRITE, &info);
    if (!f) return false;
    sf_count_t n = sf_write_short(f, samples.data(), static_cast<sf_count_t>(samples.size()));
    sf_close(f);
    return n == static_cast<sf_count_t>(samples.size());
}

std::string Id(int i) {
    return {kDigits[i / 36], kDigits[i % 36]};
}

// The chart uses every sound once, sixteen to a measure of 1.6 s, in #WAV order, on the lanes
// 11 to 16 that sound in this layout: a new sound every tenth of a second for two minutes.
std::string WriteChart() {
    std::string text = "#TITLE open bench\n#BPM 150\n";
    for (int i = 1; i <= kSounds; ++i) text += "#WAV" + Id(i) + " k" + std::to_string(i) + ".ogg\n";
    for (int i = 1; i <= kSounds; ++i) {
        std::string slots(32, '0');
        slots.replace(static_cast<size_t>((i - 1) % 16) * 2, 2, Id(i));
        char head[16];
        std::snprintf(head, sizeof head, "#%03d%02d:", (i - 1) / 16, 11 + (i - 1) % 6);
        text += head + slots + "\n";
    }
    std::string path = kDir + "/chart.bms";
    std::ofstream(path) << text;
    return path;
}

bool EnsureSounds() {
    if (fs::exists(kDir + "/complete")) return true;
    fs::create_directories(kDir);
    std::fprintf(stderr, "generating %d OGG keysounds in %s ...\n", kSounds, kDir.c_str());
    for (int i = 1; i <= kSounds; ++i)
        if (!WriteOgg(kDir + "/k" + std::to_string(i) + ".ogg", Keysound(i))) return false;
    std::ofstream(kDir + "/complete") << "ok\n";
    return true;
}

double MsSince(Clock::time_point t0) {
    return std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
}

// The load as the frame loop makes it; the milliseconds until the play clock runs.
double Open(const std::string& chart) {
    modBMSLoad::BMSFileName = chart;
    modMain::PlayState = modMain::PS_LOAD;
    auto t0 = Clock::now();
    modCount::CountMain();
    return MsSince(t0);
}

// Frames of the play clock on the headless device, its clock kept at the real time, until every
// sound is decoded (or ten seconds); the real milliseconds that took.
double PlayWhileDecoding(plat::HeadlessDevice& device) {
    auto t0 = Clock::now();
    int32_t start = device.Now();
    while (modSound::PendingDecodes() > 0 && MsSince(t0) < 10000) {
        std::this_thread::sleep_for(std::chrono::milliseconds(8));
        device.SetTime(start + static_cast<int32_t>(MsSince(t0)));
        modCount::CountMain();
    }
    return MsSince(t0);
}

void OpenManyKeysounds(benchmark::State& state) {
    plat::HeadlessDevice& device = bench::HeadlessPlayer();
    if (!EnsureSounds()) {
        state.SkipWithError("cannot write the keysounds");
        return;
    }
    std::string chart = WriteChart();
    std::vector<double> opens, ready;
    long waits = 0;
    for (auto _ : state) {
        modSound::Reset();
        opens.push_back(Open(chart));
        ready.push_back(opens.back() + PlayWhileDecoding(device));
        waits += modCount::LateSounds;
    }
    std::sort(opens.begin(), opens.end());
    std::sort(ready.begin(), ready.end());
    state.counters["open_ms"] = opens[opens.size() / 2];
    state.counters["open_max_ms"] = opens.back();
    state.counters["ready_ms"] = ready[ready.size() / 2];
    state.counters["sound_waits"] = static_cast<double>(waits);
    modSound::Reset();
}
BENCHMARK(OpenManyKeysounds)->Iterations(5)->Unit(benchmark::kMillisecond);

}  // namespace
