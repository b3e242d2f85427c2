// Video backgrounds. Figures to hold on a 2-core machine:
//  - a 640 x 480 MPEG-4 video asked for in real time at 60 frames a second costs under 15 % of
//    one core ("cpu_pct": process CPU time over the wall time played; "shown" counts the
//    distinct frames that reached the screen, "dropped" the video's frames that did not);
//  - opening ten small videos (header and first frame) takes well under 100 ms ("ms_per_ten");
//  - "held_kb" is what the playing video holds (Video::Bytes: frames and decoder estimate).
// The videos are made once into /tmp/korvane-video-bench with the ffmpeg command.
#include <benchmark/benchmark.h>
#include <time.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "platform/video.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

const std::string kDir = "/tmp/korvane-video-bench";

bool Make(const std::string& name, const std::string& args) {
    std::string path = kDir + "/" + name;
    if (fs::exists(path)) return true;
    fs::create_directories(kDir);
    std::string cmd = "ffmpeg -nostdin -hide_banner -loglevel error -y " + args + " " + path;
    return std::system(cmd.c_str()) == 0 && fs::exists(path);
}

// Ten seconds of moving test picture at 30 frames a second.
std::string Clip640() {
    std::string name = "clip640.avi";
    return Make(name, "-f lavfi -i testsrc2=s=640x480:r=30:d=10 -c:v mpeg4 -q:v 4 -g 30")
               ? kDir + "/" + name
               : "";
}

std::vector<std::string> SmallClips() {
    const char* codecs[][2] = {{"mpg", "-c:v mpeg1video -q:v 4"},
                               {"avi", "-c:v mpeg4 -q:v 4"},
                               {"wmv", "-c:v wmv2 -q:v 4"},
                               {"mp4", "-c:v libx264 -preset veryfast -pix_fmt yuv420p"}};
    std::vector<std::string> paths;
    for (int i = 0; i < 10; ++i) {
        std::string name = "small" + std::to_string(i) + "." + codecs[i % 4][0];
        std::string args =
            "-f lavfi -i testsrc2=s=256x256:r=30:d=5 -f lavfi -i "
            "sine=frequency=440:duration=5 " +
            std::string(codecs[i % 4][1]) + (i % 4 == 3 ? "" : " -c:a mp2");
        if (!Make(name, args)) return {};
        paths.push_back(kDir + "/" + name);
    }
    return paths;
}

double ProcessCpuSeconds() {
    timespec ts;
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

void VideoRealTime640(benchmark::State& state) {
    std::string path = Clip640();
    if (path.empty()) return state.SkipWithError("ffmpeg could not make the video");
    constexpr int kSeconds = 8;
    double cpu = 0, wall = 0;
    int shown = 0, asks = 0;
    size_t held = 0;
    for (auto _ : state) {
        auto video = plat::Video::Open(path, true);
        if (!video) return state.SkipWithError("the video does not open");
        const double cpu0 = ProcessCpuSeconds();
        const auto start = Clock::now();
        std::vector<uint32_t> last;
        // The frame loop: ask for the time every 1/60 s, then wait for the next tick.
        for (int tick = 0; tick < kSeconds * 60; ++tick) {
            int64_t ms = static_cast<int64_t>(tick) * 1000 / 60;
            const plat::Image& frame = video->Frame(ms);
            ++asks;
            if (frame.pixels != last) {
                ++shown;
                last = frame.pixels;
            }
            std::this_thread::sleep_until(start + std::chrono::microseconds((tick + 1) * 16667));
        }
        wall += std::chrono::duration<double>(Clock::now() - start).count();
        cpu += ProcessCpuSeconds() - cpu0;
        held = video->Bytes();
    }
    // The comparison of whole frames above is the test loop's own cost, not the video's.
    state.counters["cpu_pct"] = 100 * cpu / wall;
    state.counters["shown"] = static_cast<double>(shown) / static_cast<double>(state.iterations());
    state.counters["dropped"] =
        kSeconds * 30 - static_cast<double>(shown) / static_cast<double>(state.iterations());
    state.counters["asks"] = asks;
    state.counters["held_kb"] = static_cast<double>(held) / 1024;
}
BENCHMARK(VideoRealTime640)->Iterations(2)->Unit(benchmark::kMillisecond)->UseRealTime();

void VideoStepped640(benchmark::State& state) {
    std::string path = Clip640();
    if (path.empty()) return state.SkipWithError("ffmpeg could not make the video");
    int frames = 0;
    double seconds = 0;
    for (auto _ : state) {
        auto video = plat::Video::Open(path, true);
        const double cpu0 = ProcessCpuSeconds();
        for (int64_t ms = 0; ms < 10000; ms += 33) {
            benchmark::DoNotOptimize(video->FrameAt(ms).pixels.data());
            ++frames;
        }
        seconds += ProcessCpuSeconds() - cpu0;
    }
    state.counters["ms_per_frame"] = 1000 * seconds / frames;
}
BENCHMARK(VideoStepped640)->Iterations(2)->Unit(benchmark::kMillisecond);

void VideoOpenTen(benchmark::State& state) {
    std::vector<std::string> paths = SmallClips();
    if (paths.empty()) return state.SkipWithError("ffmpeg could not make the videos");
    double seconds = 0;
    for (auto _ : state) {
        const auto start = Clock::now();
        std::vector<std::unique_ptr<plat::Video>> videos;
        for (const std::string& p : paths) videos.push_back(plat::Video::Open(p, true));
        seconds += std::chrono::duration<double>(Clock::now() - start).count();
        for (const auto& v : videos)
            if (!v) return state.SkipWithError("a video does not open");
    }
    state.counters["ms_per_ten"] = 1000 * seconds / static_cast<double>(state.iterations());
}
BENCHMARK(VideoOpenTen)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
