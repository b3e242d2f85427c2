// Loading a chart's sounds. Figures to hold on a 2-core machine:
//  - decoding 1,000 one-second keysounds with the parallel loader at least 1.8 times as fast as
//    one thread ("speedup" counter), for WAV and for OGG Vorbis; the 22.05 kHz sets (wav22,
//    ogg22) show what converting every sound to the output rate adds to a load;
//  - reloading the same chart (same names) under 50 ms ("reload_ms");
//  - peak memory (VmHWM) of a loaded chart within 1.2 x its decoded PCM + 50 MB ("hwm_mb" against
//    "limit_mb", "pcm_mb" being what the sounds hold after conversion to the output rate); run
//    each alone for a clean peak: --benchmark_filter=SoundPeakMemory/ogg/ (or ogg22).
// The sounds are generated once into /tmp/korvane-sound-bench (OGG encoding takes a while).
#include <benchmark/benchmark.h>
#include <sndfile.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "bench_support.h"
#include "chart/modBMSLoad.h"
#include "platform/headless.h"
#include "platform/platform.h"
#include "shell/modMain.h"
#include "shell/settings.h"
#include "sound/modSound.h"

namespace {

namespace fs = std::filesystem;

constexpr int kSounds = 1000;
const std::string kDir = "/tmp/korvane-sound-bench";

// A set of keysounds: "wav" and "ogg" at 44.1 kHz, "wav22" and "ogg22" at 22.05 kHz.
std::string Extension(const std::string& set) {
    return set.substr(0, 3);
}

int SampleRate(const std::string& set) {
    return set.size() > 3 ? 22050 : 44100;
}

std::string SoundPath(const std::string& set, int i) {
    return kDir + "/" + set + "/k" + std::to_string(i) + "." + Extension(set);
}

// One second of a tone with a little noise, different for every sound.
std::vector<short> Keysound(int i, int rate) {
    std::vector<short> s(static_cast<size_t>(rate));
    uint32_t x = static_cast<uint32_t>(i) * 2654435761u + 1;
    for (size_t k = 0; k < s.size(); ++k) {
        x = x * 1103515245u + 12345u;
        double tone = std::sin(2 * M_PI * (110 + i % 600) * static_cast<double>(k) / rate);
        double decay = std::exp(-3.0 * static_cast<double>(k) / rate);
        s[k] = static_cast<short>(12000 * tone * decay + static_cast<int>((x >> 20) & 255) - 128);
    }
    return s;
}

bool WriteSound(const std::string& path, int format, int rate, const std::vector<short>& samples) {
    SF_INFO info{};
    info.samplerate = rate;
    info.channels = 1;
    info.format = format;
    SNDFILE* f = sf_open(path.c_str(), SFM_WRITE, &info);
    if (!f) return false;
    sf_count_t n = sf_write_short(f, samples.data(), static_cast<sf_count_t>(samples.size()));
    sf_close(f);
    return n == static_cast<sf_count_t>(samples.size());
}

// Generates the keysounds of one set unless a complete set is already there.
bool EnsureSounds(const std::string& set) {
    std::string marker = kDir + "/" + set + "/complete";
    if (fs::exists(marker)) return true;
    fs::create_directories(kDir + "/" + set);
    int format = Extension(set) == "ogg" ? (SF_FORMAT_OGG | SF_FORMAT_VORBIS)
                                         : (SF_FORMAT_WAV | SF_FORMAT_PCM_16);
    int rate = SampleRate(set);
    std::fprintf(stderr, "generating %d %s keysounds in %s ...\n", kSounds, set.c_str(),
                 kDir.c_str());
    for (int i = 0; i < kSounds; ++i)
        if (!WriteSound(SoundPath(set, i), format, rate, Keysound(i, rate))) return false;
    std::ofstream(marker) << "ok\n";
    return true;
}

void Prepare() {
    bench::HeadlessPlayer();
}

void ClearAll() {
    for (auto& s : modSound::WavBuffer) s.clear();
}

// init of 1,000 slots as a chart's #WAV lines make them, in parallel or on this thread alone,
// until every sound is ready to play.
double LoadSeconds(const std::string& set, bool parallel) {
    ClearAll();
    auto t0 = std::chrono::steady_clock::now();
    if (parallel) modSound::BeginLoads();
    for (int i = 0; i < kSounds; ++i) modSound::WavBuffer[i + 1].init(SoundPath(set, i));
    if (parallel) modSound::JoinPendingLoads();
    int loaded = 0;
    for (int i = 1; i <= kSounds; ++i) loaded += modSound::WavBuffer[i].isInitialized();
    double s = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    if (loaded != kSounds) std::fprintf(stderr, "only %d of %d sounds loaded\n", loaded, kSounds);
    return s;
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    size_t n = v.size();
    return n == 0 ? 0 : n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

void ParallelDecodeSpeedup(benchmark::State& state, const std::string& set) {
    Prepare();
    if (!EnsureSounds(set)) {
        state.SkipWithError("cannot write the keysounds");
        return;
    }
    // The first loads bring the files into the page cache and memory for the sounds into the
    // process; the timed ones are those of loading one chart after another.
    double firstOne = LoadSeconds(set, false);
    double firstMany = LoadSeconds(set, true);
    std::vector<double> one, many;
    for (auto _ : state) {
        one.push_back(LoadSeconds(set, false));
        many.push_back(LoadSeconds(set, true));
    }
    // Medians, and the speedup as the median of the ratios of loads made one after the other: a
    // load of 20 ms is easily disturbed by whatever else the machine does.
    std::vector<double> ratios;
    for (size_t i = 0; i < one.size(); ++i) ratios.push_back(one[i] / many[i]);
    double oneMs = Median(one) * 1000, manyMs = Median(many) * 1000;
    state.counters["first_one_thread_ms"] = firstOne * 1000;
    state.counters["first_parallel_ms"] = firstMany * 1000;
    state.counters["one_thread_ms"] = oneMs;
    state.counters["parallel_ms"] = manyMs;
    state.counters["speedup"] = Median(ratios);
    state.counters["threads"] = std::thread::hardware_concurrency();
    ClearAll();
}
BENCHMARK_CAPTURE(ParallelDecodeSpeedup, wav, std::string("wav"))
    ->Iterations(21)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(ParallelDecodeSpeedup, ogg, std::string("ogg"))
    ->Iterations(5)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(ParallelDecodeSpeedup, wav22, std::string("wav22"))
    ->Iterations(21)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(ParallelDecodeSpeedup, ogg22, std::string("ogg22"))
    ->Iterations(5)
    ->Unit(benchmark::kMillisecond);

// A chart naming the 1,000 keysounds (half under another extension, as charts often do), with a
// note for each.
std::string WriteChart(const std::string& set) {
    const char* digits = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ";
    std::string text = "#TITLE bench\n#BPM 150\n";
    for (int i = 0; i < kSounds; ++i) {
        std::string id = {digits[(i + 1) / 36], digits[(i + 1) % 36]};
        std::string name = "k" + std::to_string(i) + (i % 2 ? ".wav" : "." + Extension(set));
        text += "#WAV" + id + " " + name + "\n";
        char line[32];
        std::snprintf(line, sizeof line, "#%03d%02d:%s\n", i / 8, 11 + i % 8, id.c_str());
        text += line;
    }
    std::string path = kDir + "/" + set + "/chart.bms";
    std::ofstream(path) << text;
    return path;
}

// What the play clock does on a load request: LoadBMS with the sounds decoded alongside.
void LoadChart(const std::string& path) {
    modBMSLoad::BMSFileName = path;
    modMain::PlayState = modMain::PS_LOAD;
    modSound::BeginLoads();
    modBMSLoad::LoadBMS();
    modSound::JoinPendingLoads();
}

void ReloadSameChart(benchmark::State& state) {
    Prepare();
    if (!EnsureSounds("ogg")) {
        state.SkipWithError("cannot write the keysounds");
        return;
    }
    std::string chart = WriteChart("ogg");
    ClearAll();
    auto t0 = std::chrono::steady_clock::now();
    LoadChart(chart);
    double first = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    double total = 0;
    for (auto _ : state) {
        auto t = std::chrono::steady_clock::now();
        LoadChart(chart);
        total += std::chrono::duration<double>(std::chrono::steady_clock::now() - t).count();
    }
    state.counters["first_load_ms"] = first * 1000;
    state.counters["reload_ms"] = total / static_cast<double>(state.iterations()) * 1000;
    state.counters["objects"] = static_cast<double>(modBMSLoad::Obj.UBound() + 1);
    ClearAll();
}
BENCHMARK(ReloadSameChart)->Iterations(5)->Unit(benchmark::kMillisecond);

double StatusMb(const char* key) {
    std::ifstream in("/proc/self/status");
    std::string line;
    while (std::getline(in, line))
        if (line.rfind(key, 0) == 0) return std::atof(line.c_str() + std::strlen(key)) / 1024.0;
    return 0;
}

void SoundPeakMemory(benchmark::State& state, const std::string& set) {
    Prepare();
    if (!EnsureSounds(set)) {
        state.SkipWithError("cannot write the keysounds");
        return;
    }
    std::string chart = WriteChart(set);
    ClearAll();
    // Start the peak afresh where the kernel allows it, so earlier benchmarks do not count.
    std::ofstream("/proc/self/clear_refs") << "5";
    double before = StatusMb("VmRSS:");
    for (auto _ : state) LoadChart(chart);
    double pcm = 0;
    for (auto& s : modSound::WavBuffer) pcm += static_cast<double>(s.DataBytes());
    pcm /= 1024.0 * 1024.0;
    double hwm = StatusMb("VmHWM:");
    state.counters["rss_before_mb"] = before;
    state.counters["pcm_mb"] = pcm;
    state.counters["hwm_mb"] = hwm;
    state.counters["limit_mb"] = 1.2 * pcm + 50;
    state.counters["within"] = hwm <= 1.2 * pcm + 50 ? 1 : 0;
    ClearAll();
}
BENCHMARK_CAPTURE(SoundPeakMemory, ogg, std::string("ogg"))
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);
// The same sounds at 22.05 kHz: converted to the output rate, they take as much memory again.
BENCHMARK_CAPTURE(SoundPeakMemory, ogg22, std::string("ogg22"))
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);

}  // namespace

// main() comes from bench/mixer_bench.cpp: the benchmarks share one program.
