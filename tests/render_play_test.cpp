// korvane-render's play: a small chart rendered to WAV and compared with the mix worked out from
// its sounds and the frame timing, the statistics it prints, its frames, and charts whose
// sounds are all missing.
#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "shell/render.h"
#include "sound_fixture.h"

namespace soundtest {
namespace {

namespace fs = std::filesystem;

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

// The left channel of a 16-bit stereo WAV written by the renderer.
std::vector<int> LeftChannel(const std::string& wav) {
    std::vector<int> left;
    if (wav.size() < 44) return left;
    for (size_t at = 44; at + 4 <= wav.size(); at += 4)
        left.push_back(static_cast<int16_t>(static_cast<uint8_t>(wav[at]) |
                                            (static_cast<uint8_t>(wav[at + 1]) << 8)));
    return left;
}

// The mix as the renderer must produce it. At 60 frames per second the frame that loads the
// chart takes no time, then every frame lasts 16 ms and its play time equals the virtual clock
// since the load; an object sounds from the first frame whose play time reaches it, and starting
// a sound again cuts it.
struct Expected {
    struct Hit {
        double ms;
        int id;
    };
    std::vector<std::vector<int16_t>> sounds;  // by id
    std::vector<Hit> hits;

    static size_t Onset(double ms) {
        double frameTime = 16 * std::ceil(ms / 16);
        return static_cast<size_t>(std::floor(frameTime * 44100 / 1000));
    }

    std::vector<int> Mix(size_t length) const {
        std::vector<float> sum(length, 0.0f);
        for (size_t h = 0; h < hits.size(); ++h) {
            size_t from = Onset(hits[h].ms);
            size_t until = from + sounds[hits[h].id].size();
            for (size_t k = 0; k < hits.size(); ++k)
                if (hits[k].id == hits[h].id && Onset(hits[k].ms) > from)
                    until = std::min(until, Onset(hits[k].ms));
            for (size_t i = from; i < until && i < length; ++i)
                sum[i] += sounds[hits[h].id][i - from] * (1.0f / 32768.0f);
        }
        std::vector<int> out(length);
        for (size_t i = 0; i < length; ++i)
            out[i] =
                static_cast<int>(std::lrint(std::fmin(std::fmax(sum[i], -1.0f), 1.0f) * 32767.0f));
        return out;
    }
};

std::vector<int16_t> Scaled(const std::vector<int16_t>& v, int divisor) {
    std::vector<int16_t> out(v.size());
    for (size_t i = 0; i < v.size(); ++i) out[i] = static_cast<int16_t>(v[i] / divisor);
    return out;
}

class RenderPlayTest : public SoundTest {
  protected:
    int Render(render::Options opts, std::string* out = nullptr) {
        testing::internal::CaptureStdout();
        int code = render::Play(opts);
        std::string printed = testing::internal::GetCapturedStdout();
        if (out) *out = printed;
        return code;
    }
    render::Options Opts(const std::string& chart) {
        render::Options o;
        o.chart = chart;
        o.seed = 1;
        return o;
    }
};

TEST_F(RenderPlayTest, TheRenderedMixMatchesTheChart) {
    Expected e;
    e.sounds.resize(4);
    e.sounds[1] = Scaled(Ramp(4410), 4);   // 100 ms
    e.sounds[2] = Constant(13230, 1200);   // 300 ms
    e.sounds[3] = Scaled(Ramp(8820), -5);  // 200 ms, falling
    WriteMono("a.wav", e.sounds[1]);
    WriteMono("b.wav", e.sounds[2]);
    WriteMono("c.wav", e.sounds[3]);
    Write("song.bms",
          "#TITLE mix\n#BPM 240\n#WAV01 a.wav\n#WAV02 b.wav\n#WAV03 c.wav\n"
          "#00011:01010101\n#00012:0002\n#00001:00000003\n"
          "#00111:01010000000000000000000000000000\n");
    e.hits = {{0, 1}, {250, 1}, {500, 1}, {750, 1}, {500, 2}, {750, 3}, {1000, 1}, {1062.5, 1}};

    render::Options opts = Opts(dir / "song.bms");
    opts.wav = dir / "song.wav";
    ASSERT_EQ(Render(opts), 0);
    std::vector<int> got = LeftChannel(ReadAll(opts.wav));
    // The chart ends in the frame that reaches its closing bar line (2000 ms); nothing rings on,
    // so that frame, paced to 2016 ms, is the last.
    ASSERT_NEAR(static_cast<double>(got.size()), 2016 * 44.1, 2.0);
    std::vector<int> want = e.Mix(got.size());
    size_t mismatches = 0;
    for (size_t i = 0; i < got.size(); ++i) {
        if (std::abs(got[i] - want[i]) > 1 && ++mismatches <= 5)
            ADD_FAILURE() << "sample " << i << " (" << i / 44.1 << " ms): rendered " << got[i]
                          << ", expected " << want[i];
    }
    EXPECT_EQ(mismatches, 0u);
    // Both channels carry the mono sounds alike.
    std::string wav = ReadAll(opts.wav);
    EXPECT_EQ(wav.substr(44 + 4 * 100, 2), wav.substr(46 + 4 * 100, 2));
}

TEST_F(RenderPlayTest, StatisticsOfTheAutoPlay) {
    WriteMono("a.wav", Constant(441, 1000));
    Write("song.bms",
          "#PLAYER 1\n#BPM 120\n#RANK 0\n#WAV01 a.wav\n"
          "#00011:01010101\n#00021:0101\n#00115:01\n");
    std::string printed;
    render::Options opts = Opts(dir / "song.bms");
    opts.stats = true;
    ASSERT_EQ(Render(opts, &printed), 0);
    EXPECT_NE(printed.find("\"notes\":[7,5,2]"), std::string::npos) << printed;
    EXPECT_NE(printed.find("\"maxcombo\":[7,0]"), std::string::npos) << printed;
    EXPECT_NE(printed.find("\"points\":["), std::string::npos) << printed;
    EXPECT_NE(printed.find("\"total_time_ms\":4000.0001"), std::string::npos) << printed;
    EXPECT_NE(printed.find("\"end_state\":0"), std::string::npos) << printed;
    // Frames come every 16 ms, so a note is up to 15 ms late: PERFECT or GREAT at rank 0.
    vb::Long perfect = modCount::Score[0].JudgeCount[0], great = modCount::Score[0].JudgeCount[1];
    EXPECT_EQ(perfect + great, 7);
    EXPECT_EQ(modCount::Score[0].Points, 35);
    EXPECT_NE(printed.find("\"score\":\"100000/0\""), std::string::npos) << printed;
    EXPECT_EQ(std::count(printed.begin(), printed.end(), '\n'), 1);
}

TEST_F(RenderPlayTest, ARenderLastsUntilTheLastSoundHasDiedAway) {
    WriteMono("long.wav", Constant(44100 * 3, 500));  // 3 s, started at 1 s
    Write("song.bms", "#BPM 240\n#WAV01 long.wav\n#00101:01\n");
    std::string printed;
    render::Options opts = Opts(dir / "song.bms");
    opts.stats = true;
    opts.wav = dir / "out.wav";
    ASSERT_EQ(Render(opts, &printed), 0);
    // The chart ends at 2 s, where the play clock stops; the sound rings on until 4008 ms (its
    // start frame, 1008 ms, plus 3 s), and the frame after that (4016 ms) finds the silence.
    EXPECT_NE(printed.find("\"play_time_ms\":2000.0000"), std::string::npos) << printed;
    EXPECT_NE(printed.find("\"end_state\":0"), std::string::npos) << printed;
    std::vector<int> samples = LeftChannel(ReadAll(opts.wav));
    ASSERT_NEAR(static_cast<double>(samples.size()), 4032 * 44.1, 2.0);
    EXPECT_EQ(samples[static_cast<size_t>(4007 * 44.1)], 500);
    EXPECT_EQ(samples[static_cast<size_t>(4009 * 44.1)], 0);
}

TEST_F(RenderPlayTest, AChartOfMissingSoundsLoadsAndPlaysSilently) {
    std::string chart = "#BPM 240\n";
    for (int id = 1; id <= 1295; ++id) {
        const char* digits = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ";
        std::string code = {digits[id / 36], digits[id % 36]};
        chart += "#WAV" + code + " missing" + code + ".wav\n";
    }
    chart += "#00011:01020304\n#00001:ZZ\n#00112:0A0B\n";
    Write("song.bms", chart);
    render::Options opts = Opts(dir / "song.bms");
    opts.wav = dir / "out.wav";
    opts.stats = true;
    std::string printed;
    ASSERT_EQ(Render(opts, &printed), 0);
    EXPECT_NE(printed.find("\"notes\":[6,6,0]"), std::string::npos) << printed;
    std::vector<int> samples = LeftChannel(ReadAll(opts.wav));
    EXPECT_GT(samples.size(), 44100u);
    for (int s : samples) ASSERT_EQ(s, 0);
}

TEST_F(RenderPlayTest, FramesAreWrittenAtThePlayTimesAskedFor) {
    WriteMono("a.wav", Constant(441, 1000));
    Write("song.bms", "#BPM 240\n#WAV01 a.wav\n#00011:0101\n");
    render::Options opts = Opts(dir / "song.bms");
    opts.pngs = {{dir / "idle.png", -1}, {dir / "half.png", 500}, {dir / "never.png", 99999}};
    ASSERT_EQ(Render(opts), 0);
    for (const char* name : {"idle.png", "half.png"}) {
        std::optional<plat::Image> img = plat::DecodeImage(dir / name, false);
        ASSERT_TRUE(img.has_value()) << name;
        EXPECT_EQ(img->width, 587);
        EXPECT_EQ(img->height, 256);
    }
    EXPECT_FALSE(fs::exists(dir / "never.png"));
}

TEST_F(RenderPlayTest, AMissingChartIsAnError) {
    EXPECT_EQ(Render(Opts(dir / "nothing.bms")), 1);
}

TEST_F(RenderPlayTest, SettingsAreSetByName) {
    EXPECT_TRUE(render::ApplySetting("Frequency", "150"));
    EXPECT_EQ(modMain::Settings.Frequency, 150);
    EXPECT_TRUE(render::ApplySetting("hs", "2.5"));
    EXPECT_EQ(modMain::Settings.HS, 2.5f);
    EXPECT_TRUE(render::ApplySetting("AutoPlay", "1"));
    EXPECT_EQ(modMain::Settings.AutoPlay, 1);
    EXPECT_TRUE(render::ApplySetting("VSYNC", "True"));
    EXPECT_TRUE(modMain::Settings.VSYNC);
    EXPECT_TRUE(render::ApplySetting("DispInfo", "False"));
    EXPECT_FALSE(modMain::Settings.DispInfo);
    EXPECT_TRUE(render::ApplySetting("Volume", "50"));
    EXPECT_EQ(modMain::Settings.Volume, 50.0f);
    EXPECT_FALSE(render::ApplySetting("Speed", "1"));
    EXPECT_FALSE(render::ApplySetting("Frequency", "fast"));
    EXPECT_FALSE(render::ApplySetting("FrameRate", "100000"));  // beyond an Integer
    EXPECT_FALSE(render::ApplySetting("ShowDebug", "maybe"));
}

TEST_F(RenderPlayTest, SpeedAndMuteSettingsReachThePlay) {
    WriteMono("a.wav", Constant(4410, 2000));
    Write("song.bms", "#BPM 240\n#WAV01 a.wav\n#00011:01\n#00101:01\n");
    render::Options opts = Opts(dir / "song.bms");
    opts.wav = dir / "out.wav";
    opts.sets = {{"AutoPlay", "1"}, {"Frequency", "200"}};
    opts.stats = true;
    std::string printed;
    ASSERT_EQ(Render(opts, &printed), 0);
    EXPECT_EQ(modMain::Settings.Frequency, 200);
    // Twice the speed: the 2000 ms chart ends after about a second of real time.
    std::vector<int> samples = LeftChannel(ReadAll(opts.wav));
    EXPECT_LT(samples.size(), 1100 * 44u);
    // The key sound at 0 is muted, the background sound at 1000 ms (500 ms real) is heard.
    int early = 0, late = 0;
    for (size_t i = 0; i < samples.size(); ++i)
        (i < 400 * 44 ? early : late) += std::abs(samples[i]);
    EXPECT_EQ(early, 0);
    EXPECT_GT(late, 0);
}

TEST_F(RenderPlayTest, VsyncStillMovesTheRenderAlong) {
    WriteMono("a.wav", Constant(441, 1000));
    Write("song.bms", "#BPM 240\n#WAV01 a.wav\n#00011:01\n");
    render::Options opts = Opts(dir / "song.bms");
    opts.sets = {{"VSYNC", "True"}};
    opts.stats = true;
    std::string printed;
    ASSERT_EQ(Render(opts, &printed), 0);
    EXPECT_NE(printed.find("\"end_state\":0"), std::string::npos) << printed;
}

}  // namespace
}  // namespace soundtest
