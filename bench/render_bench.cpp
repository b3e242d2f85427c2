// An export's speed: korvane-render --wav of a generated 150 s chart with 800 keysounds and 9,000
// notes, timed from the frame after the load (the decoding is left out) to the closed file.
// "x_real_time" is seconds of song per second of wall time (to hold: at least 150 on two cores);
// "cpu_x_real_time" the same per second of the process's CPU time. "exact" runs with --exact.
// The chart and its sounds are generated once into /tmp/korvane-render-bench.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cmath>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "chart/modBMSLoad.h"
#include "display/surfaces.h"
#include "platform/headless.h"
#include "play/modCount.h"
#include "play/modKey.h"
#include "shell/modMain.h"
#include "shell/render.h"
#include "sound/modSound.h"

namespace {

namespace fs = std::filesystem;

const std::string kDir = "/tmp/korvane-render-bench";
constexpr int kSounds = 800, kNotes = 9000, kMeasures = 75;  // 2 s a measure at 120 BPM
constexpr double kSongSeconds = kMeasures * 2.0;

std::string Id(int n) {
    const char* digits = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ";
    return {digits[n / 36], digits[n % 36]};
}

void Put(std::ofstream& out, uint32_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) out.put(static_cast<char>((v >> (8 * i)) & 0xFF));
}

// Keysound i: a decaying tone of 0.2 to 1.5 s, mono or stereo, 16-bit at 44.1 kHz.
void WriteSound(int i) {
    const int channels = 1 + i % 2, frames = 44100 * (20 + i % 131) / 100;
    std::ofstream out(kDir + "/k" + std::to_string(i) + ".wav", std::ios::binary);
    const uint32_t data = static_cast<uint32_t>(frames * channels * 2);
    out.write("RIFF", 4), Put(out, 36 + data, 4), out.write("WAVEfmt ", 8), Put(out, 16, 4);
    Put(out, 1, 2), Put(out, channels, 2), Put(out, 44100, 4), Put(out, 44100 * channels * 2, 4);
    Put(out, channels * 2, 2), Put(out, 16, 2), out.write("data", 4), Put(out, data, 4);
    for (int k = 0; k < frames; ++k) {
        double v = std::sin(2 * M_PI * (200 + i) * k / 44100.0) * std::exp(-4.0 * k / frames);
        for (int c = 0; c < channels; ++c) Put(out, static_cast<uint16_t>(int16_t(6000 * v)), 2);
    }
}

// 120 notes a measure on the eight lanes of side 1, in sixteenths; each lane steps through the
// keysounds on its own.
std::string WriteChart() {
    std::string path = kDir + "/render.bms";
    if (fs::exists(path)) return path;
    fs::create_directories(kDir);
    for (int i = 0; i < kSounds; ++i) WriteSound(i);
    std::ofstream out(path);
    out << "#PLAYER 1\n#TITLE render bench\n#BPM 120\n";
    for (int i = 0; i < kSounds; ++i) out << "#WAV" << Id(i + 1) << " k" << i << ".wav\n";
    const int lanes[8] = {11, 12, 13, 14, 15, 16, 18, 19};
    int placed = 0;
    for (int m = 0; m < kMeasures; ++m)
        for (int lane = 0; lane < 8; ++lane) {
            out << "#" << (m < 10 ? "00" : "0") << m << lanes[lane] << ":";
            for (int s = 0; s < 16; ++s) {
                bool note = placed < kNotes && s != 15;
                out << (note ? Id((placed++ * 7 + lane) % kSounds + 1) : "00");
            }
            out << "\n";
        }
    return path;
}

double CpuSeconds() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

void RenderWav(benchmark::State& state, bool exact) {
    const std::string chart = WriteChart();
    double wall = 0, cpu = 0;
    for (auto _ : state) {
        modSound::Reset(), modMain::Reset(), modDraw::Reset(), modBMSLoad::Reset();
        modCount::Reset(), modKey::Reset();
        render::Options opts;
        opts.chart = chart;
        opts.seed = 1;
        opts.wav = kDir + "/out.wav";
        opts.exact = exact;
        int frame = 0;
        std::chrono::steady_clock::time_point start;
        double cpuStart = 0;
        opts.beforeFrame = [&](plat::HeadlessDevice&) {
            if (++frame != 2) return;  // the first frame loads the chart
            start = std::chrono::steady_clock::now();
            cpuStart = CpuSeconds();
        };
        if (render::Play(opts) != 0) state.SkipWithError("the render failed");
        double took =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        wall += took, cpu += CpuSeconds() - cpuStart;
        state.SetIterationTime(took);
    }
    const double n = static_cast<double>(state.iterations());
    state.counters["x_real_time"] = kSongSeconds * n / wall;
    state.counters["cpu_x_real_time"] = kSongSeconds * n / cpu;
    state.counters["wall_s"] = wall / n;
    state.counters["cpu_s"] = cpu / n;
}

void RenderWavDefault(benchmark::State& state) {
    RenderWav(state, false);
}
void RenderWavExact(benchmark::State& state) {
    RenderWav(state, true);
}

BENCHMARK(RenderWavDefault)->UseManualTime()->Iterations(3)->Unit(benchmark::kMillisecond);
BENCHMARK(RenderWavExact)->UseManualTime()->Iterations(3)->Unit(benchmark::kMillisecond);

}  // namespace
