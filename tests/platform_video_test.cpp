// Video decoding against the fixtures that tests/data/video/make_videos.sh writes into the build
// folder; the cases are in tests/data/video/cases.txt.
#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <sstream>
#include <thread>

#include "platform/video.h"
#include "platform_test_util.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

const std::string kFixtures = std::string(KORVANE_BINARY_DIR) + "/video-fixtures/";

struct Case {
    std::string kind, file;
    std::vector<std::string> args;
};

std::vector<Case> Cases(const std::string& kind) {
    std::ifstream in(std::string(KORVANE_SOURCE_DIR) + "/tests/data/video/cases.txt");
    std::vector<Case> out;
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream words(line);
        Case c;
        if (!(words >> c.kind >> c.file) || c.kind[0] == '#' || c.kind != kind) continue;
        for (std::string w; words >> w;) c.args.push_back(w);
        out.push_back(c);
    }
    return out;
}

// (ms, frame number) pairs of a frames case.
std::vector<std::pair<int64_t, int>> Steps(const Case& c) {
    std::vector<std::pair<int64_t, int>> steps;
    for (const std::string& a : c.args) {
        size_t colon = a.find(':');
        steps.emplace_back(std::stoll(a.substr(0, colon)), std::stoi(a.substr(colon + 1)));
    }
    return steps;
}

uint32_t FrameColour(int n) {
    uint32_t r = 32 + 64 * (n % 4), g = 32 + 64 * (n / 4 % 4), b = 32 + 64 * (n / 16 % 4);
    return r << 16 | g << 8 | b;
}

// Within a codec's error of the colour (the levels are 64 apart).
bool Near(uint32_t a, uint32_t b, int tolerance = 24) {
    for (int shift : {0, 8, 16}) {
        int d = static_cast<int>((a >> shift) & 0xFF) - static_cast<int>((b >> shift) & 0xFF);
        if (d > tolerance || d < -tolerance) return false;
    }
    return true;
}

uint32_t At(const plat::Image& image, int x, int y) {
    return image.pixels[static_cast<size_t>(y) * image.width + x];
}

bool Whole(const plat::Image& image) {
    return image.width == plat::kVideoFrameSize && image.height == plat::kVideoFrameSize &&
           image.pixels.size() == size_t(plat::kVideoFrameSize) * plat::kVideoFrameSize;
}

std::string Hex(uint32_t c) {
    char s[16];
    std::snprintf(s, sizeof s, "%06X", c);
    return s;
}

// Ends the process when the work in scope overruns: a hang must fail the run, not stall it.
class Watchdog {
  public:
    explicit Watchdog(std::chrono::seconds limit) {
        thread_ = std::thread([this, limit] {
            std::unique_lock lock(mutex_);
            if (!done_cv_.wait_for(lock, limit, [this] { return done_; })) {
                std::fprintf(stderr, "video test overran its deadline\n");
                std::abort();
            }
        });
    }
    ~Watchdog() {
        {
            std::lock_guard lock(mutex_);
            done_ = true;
        }
        done_cv_.notify_one();
        thread_.join();
    }

  private:
    std::mutex mutex_;
    std::condition_variable done_cv_;
    bool done_ = false;
    std::thread thread_;
};

// Asks the real-time way until `accept` takes the frame or the deadline passes.
template <typename Accept>
bool PollUntil(plat::Video& video, int64_t ms, Accept accept) {
    const auto deadline = Clock::now() + std::chrono::seconds(20);
    while (!accept(video.Frame(ms))) {
        if (Clock::now() > deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

class PlatformVideo : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!fs::exists(kFixtures + "stamp"))
            GTEST_SKIP() << "no video fixtures (the ffmpeg command was missing at build time)";
    }
};

TEST_F(PlatformVideo, SteppedFramesFollowTheClockTheSameEveryRun) {
    Watchdog watchdog(std::chrono::seconds(120));
    for (const Case& c : Cases("frames")) {
        std::vector<std::vector<uint32_t>> firstRun;
        for (int run = 0; run < 2; ++run) {
            auto video = plat::Video::Open(kFixtures + c.file, false);
            ASSERT_TRUE(video) << c.file;
            size_t i = 0;
            for (auto [ms, n] : Steps(c)) {
                const plat::Image& frame = video->FrameAt(ms);
                ASSERT_TRUE(Whole(frame));
                EXPECT_TRUE(Near(At(frame, 128, 128), FrameColour(n)))
                    << c.file << " at " << ms << " ms: " << Hex(At(frame, 128, 128)) << ", frame "
                    << n << " is " << Hex(FrameColour(n));
                if (run == 0)
                    firstRun.push_back(frame.pixels);
                else
                    EXPECT_TRUE(frame.pixels == firstRun[i]) << c.file << " at " << ms << " ms";
                ++i;
            }
        }
    }
}

TEST_F(PlatformVideo, RealTimeNeverWaitsAndReachesTheSteppedFrame) {
    Watchdog watchdog(std::chrono::seconds(240));
    for (const Case& c : Cases("frames")) {
        auto stepped = plat::Video::Open(kFixtures + c.file, false);
        auto video = plat::Video::Open(kFixtures + c.file, false);
        ASSERT_TRUE(stepped && video) << c.file;
        // Nothing is decoded yet when the worker starts: the first frame comes back at once.
        EXPECT_TRUE(Near(At(video->Frame(2000), 128, 128), FrameColour(0))) << c.file;
        video->Frame(0);
        for (auto [ms, n] : Steps(c)) {
            const std::vector<uint32_t> want = stepped->FrameAt(ms).pixels;
            EXPECT_TRUE(PollUntil(
                *video, ms, [&](const plat::Image& f) { return Whole(f) && f.pixels == want; }))
                << c.file << " at " << ms << " ms shows " << Hex(At(video->Frame(ms), 128, 128))
                << ", not frame " << n;
        }
        EXPECT_LT(video->Bytes(), size_t(8) << 20) << c.file;
    }
}

TEST_F(PlatformVideo, PictureIsFittedAndCentredOnBlack) {
    for (const Case& c : Cases("area")) {
        auto video = plat::Video::Open(kFixtures + c.file, false);
        ASSERT_TRUE(video) << c.file;
        const plat::Image& frame = video->FrameAt(0);
        int left = std::stoi(c.args[0]), top = std::stoi(c.args[1]);
        int right = std::stoi(c.args[2]), bottom = std::stoi(c.args[3]);
        // Scaling blends the edge rows and columns; the checks keep clear of them.
        for (int y = 0; y < 256; y += 3) {
            for (int x = 0; x < 256; x += 3) {
                bool inside = x >= left + 2 && x < right - 2 && y >= top + 2 && y < bottom - 2;
                bool outside = x < left || x >= right || y < top || y >= bottom;
                if (inside) {
                    ASSERT_TRUE(Near(At(frame, x, y), FrameColour(0))) << c.file << " " << x;
                } else if (outside) {
                    ASSERT_EQ(At(frame, x, y), 0u) << c.file << " " << x << "," << y;
                }
            }
        }
    }
}

TEST_F(PlatformVideo, InfoComesFromTheFile) {
    for (const Case& c : Cases("info")) {
        auto video = plat::Video::Open(kFixtures + c.file, false);
        ASSERT_TRUE(video) << c.file;
        const plat::VideoInfo& info = video->Info();
        EXPECT_EQ(info.width, std::stoi(c.args[0])) << c.file;
        EXPECT_EQ(info.height, std::stoi(c.args[1])) << c.file;
        EXPECT_NEAR(info.fps, std::stod(c.args[2]), 0.01) << c.file;
        EXPECT_NEAR(static_cast<double>(info.durationMs), std::stod(c.args[3]), 100) << c.file;
    }
}

TEST_F(PlatformVideo, DarkGreyBecomesBlackOnlyWhenAsked) {
    for (const Case& c : Cases("dark")) {
        auto keyed = plat::Video::Open(kFixtures + c.file, true);
        auto plain = plat::Video::Open(kFixtures + c.file, false);
        ASSERT_TRUE(keyed && plain) << c.file;
        EXPECT_EQ(At(keyed->FrameAt(0), 128, 128), 0u) << c.file;
        EXPECT_NE(At(plain->FrameAt(0), 128, 128), 0u) << c.file;
        EXPECT_TRUE(Near(At(plain->FrameAt(0), 128, 128), 0x0A0A0A, 6)) << c.file;
    }
}

TEST_F(PlatformVideo, UnusableFilesDoNotOpen) {
    Watchdog watchdog(std::chrono::seconds(60));
    for (const Case& c : Cases("none")) {
        std::string path = c.file[0] == '/' ? c.file : kFixtures + c.file;
        EXPECT_FALSE(plat::Video::Open(path, true)) << c.file;
    }
}

TEST_F(PlatformVideo, DamagedFilesShowWhatDecodesWithinBounds) {
    Watchdog watchdog(std::chrono::seconds(120));
    for (const Case& c : Cases("damaged")) {
        auto video = plat::Video::Open(kFixtures + c.file, true);
        if (!video) continue;
        for (int64_t ms = 0; ms <= 4000; ms += 40) ASSERT_TRUE(Whole(video->FrameAt(ms)));
        ASSERT_TRUE(Whole(video->FrameAt(100)));
        const std::vector<uint32_t> end = video->FrameAt(10000).pixels;
        EXPECT_TRUE(PollUntil(*video, 10000, [&](const plat::Image& f) { return f.pixels == end; }))
            << c.file;
        for (int64_t ms = 3000; ms >= 0; ms -= 150) ASSERT_TRUE(Whole(video->Frame(ms)));
        EXPECT_LT(video->Bytes(), size_t(8) << 20) << c.file;
        video->Stop();
        ASSERT_TRUE(Whole(video->Frame(0)));
    }
}

// A video let go keeps its last frame, frees its queue, and starts again where it is asked.
TEST_F(PlatformVideo, StoppedVideoStartsAgain) {
    Watchdog watchdog(std::chrono::seconds(60));
    auto video = plat::Video::Open(kFixtures + "mpeg4.avi", false);
    ASSERT_TRUE(video);
    size_t idle = video->Bytes();
    ASSERT_TRUE(PollUntil(
        *video, 1000, [](const plat::Image& f) { return Near(At(f, 128, 128), FrameColour(25)); }));
    video->Stop();
    EXPECT_TRUE(Near(At(video->Frame(1000), 128, 128), FrameColour(25)));
    EXPECT_TRUE(PollUntil(
        *video, 1200, [](const plat::Image& f) { return Near(At(f, 128, 128), FrameColour(30)); }));
    EXPECT_TRUE(Near(At(video->Frame(0), 128, 128), FrameColour(0)));
    video->Stop();
    // What stays is the frame on screen and at most the one the worker was converting.
    EXPECT_LE(video->Bytes(), idle + 2 * 256 * 256 * 4);
}

// The frame loop's worst: jumps both ways, pauses, stops and stepped asks mixed in, the video
// dropped while its worker runs. Every answer is a whole frame, and the last one settles.
TEST_F(PlatformVideo, MixedUseStaysConsistent) {
    Watchdog watchdog(std::chrono::seconds(120));
    for (const char* file : {"h264.mp4", "mpeg1.mpg", "garbage_middle.avi"}) {
        auto video = plat::Video::Open(kFixtures + file, false);
        ASSERT_TRUE(video) << file;
        uint32_t x = 12345;
        int64_t ms = 0;
        for (int i = 0; i < 400; ++i) {
            x = x * 1103515245u + 12345u;
            switch ((x >> 16) % 8) {
                case 0:
                    ms = (x >> 8) % 3000;
                    break;
                case 1:
                    video->Stop();
                    break;
                case 2:
                    ASSERT_TRUE(Whole(video->FrameAt(ms)));
                    break;
                default:
                    ms += (x >> 12) % 50;
                    break;
            }
            ASSERT_TRUE(Whole(video->Frame(ms))) << file;
        }
        const std::vector<uint32_t> settled =
            plat::Video::Open(kFixtures + file, false)->FrameAt(ms).pixels;
        EXPECT_TRUE(
            PollUntil(*video, ms, [&](const plat::Image& f) { return f.pixels == settled; }))
            << file << " at " << ms << " ms";
        video->Frame(ms + 500);
    }
}

TEST_F(PlatformVideo, ReloadKeepsAnUnchangedFile) {
    plattest::TempDir dir;
    std::string path = dir / "clip.avi";
    fs::copy_file(kFixtures + "mpeg4.avi", path);
    auto video = plat::Video::Open(path, false);
    ASSERT_TRUE(video);
    EXPECT_EQ(video->Path(), path);
    EXPECT_TRUE(video->Unchanged());
    fs::copy_file(kFixtures + "tall.avi", path, fs::copy_options::overwrite_existing);
    EXPECT_FALSE(video->Unchanged());
    fs::remove(path);
    EXPECT_FALSE(video->Unchanged());
}

}  // namespace
