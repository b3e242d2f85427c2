// A chart's file lookup and shared decodes. Figures to hold:
//  - 1,000 sounds named ".wav" whose files are ".ogg" load within 1.1 times the load of the same
//    chart with exact names ("renamed_ratio");
//  - with every one of 1,000 sounds missing the load takes within 1.2 times the load of the chart
//    without #WAV lines ("missing_ratio");
//  - ten #BMP slots naming one 8192 x 8192 picture hold one picture's memory ("bmp_mb" against
//    "picture_mb");
//  - ten #BMP slots naming ten small videos add under 100 ms to the load ("video_added_ms"), and
//    a reload of the same chart reuses them ("video_reload_ms").
// The files are made once into /tmp/korvane-media-bench (the sounds hold WAV data whatever their
// name says, so the figures show the lookup rather than the decoder).
#include <benchmark/benchmark.h>
#include <time.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "base/media_budget.h"
#include "bench_support.h"
#include "chart/modBMSLoad.h"
#include "display/surfaces.h"
#include "platform/headless.h"
#include "platform/platform.h"
#include "play/modCount.h"
#include "shell/modMain.h"
#include "shell/settings.h"
#include "sound/modSound.h"

namespace {

namespace fs = std::filesystem;

constexpr int kSounds = 1000;
constexpr int kPictureSide = 8192;
const std::string kDir = "/tmp/korvane-media-bench";
const char* const kDigits = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ";

void Put(std::string& s, uint32_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) s += static_cast<char>((v >> (8 * i)) & 0xFF);
}

// A tenth of a second of mono 16-bit sound, different for each i.
std::string Wav(int i) {
    const uint32_t data = 4410 * 2;
    std::string s = "RIFF";
    Put(s, 36 + data, 4);
    s += "WAVEfmt ";
    for (uint32_t v : {16u, 1u | (1u << 16), 44100u, 88200u, 2u | (16u << 16)}) Put(s, v, 4);
    s += "data";
    Put(s, data, 4);
    for (uint32_t k = 0; k < data / 2; ++k) Put(s, (k * (i + 1)) & 0x3FFF, 2);
    return s;
}

// The chart: `wavs` #WAV lines naming k<i>.wav, #BMP lines, and 8,000 objects over 100
// measures (each sound about eight times), as a song with 1,000 keysounds has.
std::string Chart(bool wavs, int bmps) {
    std::string c = "#TITLE bench\r\n";
    for (int i = 1; i <= kSounds && wavs; ++i)
        c += "#WAV" + std::string(1, kDigits[i / 36]) + kDigits[i % 36] + " k" + std::to_string(i) +
             ".wav\r\n";
    for (int i = 1; i <= bmps; ++i) c += "#BMP0" + std::to_string(i % 10) + " big.png\r\n";
    for (int m = 1; m <= 100; ++m)
        for (const char* channel : {"01", "01", "01", "11", "12", "13", "14", "15", "16", "17"}) {
            c += "#" + std::to_string(100 + m) + channel + ":";
            for (int k = 0; k < 8; ++k) {
                int id = 1 + (m * 80 + k * 10 + channel[1] - '0') % kSounds;
                c += std::string(1, kDigits[id / 36]) + kDigits[id % 36];
            }
            c += "\r\n";
        }
    return c;
}

void Write(const std::string& path, const std::string& bytes) {
    fs::create_directories(fs::path(path).parent_path());
    std::ofstream(path, std::ios::binary) << bytes;
}

void Prepare() {
    bench::HeadlessPlayer();
    if (fs::exists(kDir + "/ready")) return;
    for (int i = 1; i <= kSounds; ++i) {
        Write(kDir + "/exact/k" + std::to_string(i) + ".wav", Wav(i));
        Write(kDir + "/renamed/k" + std::to_string(i) + ".ogg", Wav(i));
    }
    Write(kDir + "/exact/chart.bms", Chart(true, 0));
    Write(kDir + "/renamed/chart.bms", Chart(true, 0));
    Write(kDir + "/missing/chart.bms", Chart(true, 0));
    Write(kDir + "/missing/nowav.bms", Chart(false, 0));
    Write(kDir + "/bmp/chart.bms", Chart(false, 10));
    plat::Image big{kPictureSide, kPictureSide, {}};
    big.pixels.resize(size_t(kPictureSide) * kPictureSide);
    for (size_t p = 0; p < big.pixels.size(); ++p) big.pixels[p] = uint32_t(p * 2654435761u) >> 8;
    plat::WritePng(kDir + "/bmp/big.png", big);
    std::ofstream(kDir + "/ready") << "ok\n";
}

double CpuMs() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
}

// The load of a chart as the player makes it, after every slot was emptied (no reuse), in
// wall-clock milliseconds; `cpu` gets the processor time of every thread.
double LoadMs(const std::string& chart, double* cpu = nullptr) {
    for (auto& s : modSound::WavBuffer) s.clear();
    for (auto& s : modDraw::BmpSurface) s.clear();
    modBMSLoad::BMSFileName = kDir + "/" + chart;
    modMain::PlayState = modMain::PS_LOAD;
    auto t0 = std::chrono::steady_clock::now();
    double c0 = CpuMs();
    modCount::CountMain();
    if (cpu) *cpu = CpuMs() - c0;
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// Median wall and processor milliseconds of `runs` loads. The machine is shared: the processor
// time is the steadier figure where other work competes for the cores.
std::pair<double, double> MedianMs(const std::string& chart, int runs) {
    std::vector<double> wall, cpu;
    for (int i = 0; i < runs; ++i) {
        double c = 0;
        wall.push_back(LoadMs(chart, &c));
        cpu.push_back(c);
    }
    return {Median(wall), Median(cpu)};
}

void LookupOfRenamedAndMissingSounds(benchmark::State& state) {
    Prepare();
    for (auto _ : state) {
        auto exact = MedianMs("exact/chart.bms", 15), renamed = MedianMs("renamed/chart.bms", 15);
        auto missing = MedianMs("missing/chart.bms", 15), none = MedianMs("missing/nowav.bms", 15);
        state.counters["exact_ms"] = exact.first;
        state.counters["renamed_ms"] = renamed.first;
        state.counters["renamed_ratio"] = renamed.first / exact.first;
        state.counters["renamed_cpu_ratio"] = renamed.second / exact.second;
        state.counters["nowav_ms"] = none.first;
        state.counters["missing_ms"] = missing.first;
        state.counters["missing_ratio"] = missing.first / none.first;
        state.counters["missing_cpu_ratio"] = missing.second / none.second;
    }
}
BENCHMARK(LookupOfRenamedAndMissingSounds)->Iterations(1)->Unit(benchmark::kMillisecond);

void TenSlotsOfOnePicture(benchmark::State& state) {
    Prepare();
    for (auto _ : state) {
        size_t before = media::InUse();
        state.counters["load_ms"] = LoadMs("bmp/chart.bms");
        int loaded = 0;
        for (auto& s : modDraw::BmpSurface) loaded += s.isInitialized();
        state.counters["slots"] = loaded;
        state.counters["bmp_mb"] = double(media::InUse() - before) / (1 << 20);
        state.counters["picture_mb"] = 4.0 * kPictureSide * kPictureSide / (1 << 20);
    }
    for (auto& s : modDraw::BmpSurface) s.clear();
}
BENCHMARK(TenSlotsOfOnePicture)->Iterations(1)->Unit(benchmark::kMillisecond);

// Ten five-second 256 x 256 videos in the codecs charts use, and the chart with and without
// slots naming them; false when the ffmpeg command cannot make them.
bool PrepareVideos() {
    const std::string dir = kDir + "/video/";
    if (fs::exists(dir + "ready")) return true;
    fs::create_directories(dir);
    const char* codecs[][2] = {{"mpg", "mpeg1video"},
                               {"avi", "mpeg4"},
                               {"wmv", "wmv2"},
                               {"mp4", "libx264 -pix_fmt yuv420p"}};
    std::string slots;
    for (int i = 0; i < 10; ++i) {
        std::string name = "v" + std::to_string(i) + "." + codecs[i % 4][0];
        std::string cmd = "ffmpeg -nostdin -loglevel error -y -f lavfi -i ";
        cmd +=
            "testsrc2=s=256x256:r=30:d=5 -c:v " + std::string(codecs[i % 4][1]) + " " + dir + name;
        if (std::system(cmd.c_str()) != 0) return false;
        slots += "#BMP0" + std::to_string(i) + " " + name + "\r\n";
    }
    Write(dir + "chart.bms", slots + Chart(false, 0));
    Write(dir + "none.bms", Chart(false, 0));
    std::ofstream(dir + "ready") << "ok\n";
    return true;
}

void TenVideoSlots(benchmark::State& state) {
    Prepare();
    if (!PrepareVideos()) return state.SkipWithError("ffmpeg could not make the videos");
    for (auto _ : state) {
        auto with = MedianMs("video/chart.bms", 9), without = MedianMs("video/none.bms", 9);
        state.counters["video_ms"] = with.first;
        state.counters["none_ms"] = without.first;
        state.counters["video_added_ms"] = with.first - without.first;
        state.counters["video_added_cpu_ms"] = with.second - without.second;
        LoadMs("video/chart.bms");
        modBMSLoad::BMSFileName = kDir + "/video/chart.bms";
        modMain::PlayState = modMain::PS_LOAD;
        auto t0 = std::chrono::steady_clock::now();
        modCount::CountMain();
        state.counters["video_reload_ms"] =
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0)
                .count();
        int videos = 0;
        for (auto& s : modDraw::BmpSurface) videos += s.isVideo();
        state.counters["video_slots"] = videos;
    }
    for (auto& s : modDraw::BmpSurface) s.clear();
}
BENCHMARK(TenVideoSlots)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace
