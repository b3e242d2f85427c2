// Sounds at another rate than the output's are converted once, band-limited, when loaded: they
// must sound like the ideal signal, follow the playback speed, and keep the timing and format of
// the file. Cases in tests/data/sound/resample/.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>

#include "platform/mixer.h"
#include "platform/platform.h"

using plat::Mixer;
using plat::Pcm;
using plat::SampleType;

namespace {

const std::string kData = std::string(KORVANE_SOURCE_DIR) + "/tests/data/sound/resample/";

std::vector<std::vector<std::string>> ReadTable(const std::string& name) {
    std::vector<std::vector<std::string>> rows;
    std::ifstream in(kData + name);
    std::string line, word;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#') continue;
        std::istringstream words(line);
        rows.emplace_back();
        while (words >> word) rows.back().push_back(word);
    }
    return rows;
}

SampleType TypeNamed(const std::string& name) {
    if (name == "u8") return SampleType::U8;
    if (name == "s24") return SampleType::S24;
    if (name == "s32") return SampleType::S32;
    if (name == "f32") return SampleType::F32;
    return SampleType::S16;
}

void PutSample(uint8_t* p, SampleType type, double v) {
    if (type == SampleType::U8) {
        *p = static_cast<uint8_t>(std::lround(v * 128) + 128);
    } else if (type == SampleType::S16) {
        auto s = static_cast<int16_t>(std::lround(v * 32767));
        std::memcpy(p, &s, 2);
    } else if (type == SampleType::S24) {
        auto s = static_cast<uint32_t>(std::lround(v * 8388607));
        p[0] = static_cast<uint8_t>(s), p[1] = static_cast<uint8_t>(s >> 8),
        p[2] = static_cast<uint8_t>(s >> 16);
    } else if (type == SampleType::S32) {
        auto s = static_cast<int32_t>(std::lround(v * 2147483647.0));
        std::memcpy(p, &s, 4);
    } else {
        auto s = static_cast<float>(v);
        std::memcpy(p, &s, 4);
    }
}

// `frames` mono frames of signal(t in seconds).
template <typename Signal>
Pcm Make(int rate, SampleType type, size_t frames, Signal signal) {
    Pcm pcm;
    pcm.type = type;
    pcm.channels = 1;
    pcm.rate = rate;
    pcm.data.resize(frames * static_cast<size_t>(pcm.BlockAlign()));
    for (size_t i = 0; i < frames; ++i)
        PutSample(&pcm.data[i * pcm.BytesPerSample()], type, signal(static_cast<double>(i) / rate));
    return pcm;
}

double Tone(double t) {
    return 0.5 * std::sin(2 * M_PI * 1000 * t);
}

std::shared_ptr<Pcm> Converted(Pcm pcm) {
    plat::ConvertToOutputRate(pcm);
    return std::make_shared<Pcm>(std::move(pcm));
}

// Plays the voice from `byteOffset` to its end, a frame at a time; the left channel heard.
std::vector<float> PlayToEnd(Mixer& m, plat::VoiceId id, uint32_t byteOffset = 0) {
    std::vector<float> heard;
    m.Play(id, byteOffset);
    float frame[2];
    while (m.IsPlaying(id) && heard.size() < 2000000) {
        m.Mix(frame, 1);
        heard.push_back(frame[0]);
    }
    return heard;
}

// Plays the sound with the file's frames passing at `hz` (0: its own rate).
std::vector<float> Render(std::shared_ptr<Pcm> pcm, int hz = 0) {
    Mixer m;
    plat::VoiceId id = m.Create(pcm);
    if (hz) m.SetFrequency(id, hz);
    return PlayToEnd(m, id);
}

// Energy of the difference from the ideal tone, relative to the tone's, in dB; the first and
// last 5 ms left out (the sound starts and stops abruptly).
double ErrorDb(const std::vector<float>& heard, double speed) {
    const size_t edge = 5 * plat::kOutputRate / 1000;
    double error = 0, tone = 0;
    for (size_t i = edge; i + edge < heard.size(); ++i) {
        double ideal = Tone(static_cast<double>(i) * speed / plat::kOutputRate);
        error += (heard[i] - ideal) * (heard[i] - ideal);
        tone += ideal * ideal;
    }
    return 10 * std::log10(error / tone);
}

}  // namespace

TEST(PlatformResample, ATonePlaysCleanFromEverySourceRate) {
    auto rows = ReadTable("tones.txt");
    ASSERT_GE(rows.size(), 5u);
    for (const auto& row : rows) {
        int rate = std::stoi(row[0]);
        double limit = std::stod(row[2]);
        Pcm source = Make(rate, TypeNamed(row[1]), static_cast<size_t>(rate / 2), Tone);
        double interpolated = ErrorDb(Render(std::make_shared<Pcm>(source)), 1.0);
        double converted = ErrorDb(Render(Converted(source)), 1.0);
        std::printf("  1 kHz from %6d Hz %s: error %7.1f dB converted, %7.1f dB interpolated\n",
                    rate, row[1].c_str(), converted, interpolated);
        EXPECT_LT(converted, limit) << rate << " " << row[1];
    }
}

TEST(PlatformResample, SpeedChangesMoveThePitchAndTheLength) {
    auto rows = ReadTable("speeds.txt");
    ASSERT_GE(rows.size(), 4u);
    for (const auto& row : rows) {
        int rate = std::stoi(row[0]), speed = std::stoi(row[1]);
        double limit = std::stod(row[2]);
        const size_t frames = static_cast<size_t>(rate / 2);
        const int hz = rate * speed / 100;  // as the sound buffer sets it: whole hertz
        std::vector<float> heard = Render(Converted(Make(rate, SampleType::S16, frames, Tone)), hz);
        double expected = static_cast<double>(frames) * plat::kOutputRate / hz;
        double error = ErrorDb(heard, static_cast<double>(hz) / rate);
        std::printf("  1 kHz from %6d Hz at %3d %%: error %7.1f dB, %zu frames\n", rate, speed,
                    error, heard.size());
        EXPECT_LT(error, limit) << rate << " at " << speed;
        EXPECT_NEAR(static_cast<double>(heard.size()), expected, 1.0) << rate << " at " << speed;
    }
}

// Converted or not, a sound started at any of its frames stops on the same output frame, and
// the play cursor reads back in the file's bytes (to the frame, unless several of the file's
// frames share an output frame).
TEST(PlatformResample, AConvertedSoundKeepsTheTimingOfTheFile) {
    for (int rate : {8000, 11025, 22050, 32000, 48000, 96000}) {
        const uint64_t frames = static_cast<uint64_t>(rate) / 10 + 7;
        Pcm source = Make(rate, SampleType::S16, frames, Tone);
        Mixer m;
        plat::VoiceId plain = m.Create(std::make_shared<Pcm>(source));
        plat::VoiceId conv = m.Create(Converted(source));
        for (uint64_t start : {uint64_t(0), uint64_t(1), frames / 3, frames - 1}) {
            auto offset = static_cast<uint32_t>(2 * start);
            size_t expected = PlayToEnd(m, plain, offset).size();
            m.Play(conv, offset);
            EXPECT_NEAR(m.Position(conv), offset, 2 * (rate / plat::kOutputRate))
                << rate << " from " << start;
            EXPECT_EQ(PlayToEnd(m, conv, offset).size(), expected) << rate << " from " << start;
            EXPECT_EQ(m.Position(conv), 2 * frames) << rate;
        }
        m.Play(conv, static_cast<uint32_t>(2 * frames));
        EXPECT_FALSE(m.IsPlaying(conv)) << "a start past the end plays nothing";
    }
}

TEST(PlatformResample, TheFileFormatStaysAndEverySampleTypeKeepsItsLevel) {
    struct Case {
        SampleType type;
        SampleType held;
    } cases[] = {{SampleType::U8, SampleType::S16},
                 {SampleType::S16, SampleType::S16},
                 {SampleType::S24, SampleType::F32},
                 {SampleType::S32, SampleType::F32},
                 {SampleType::F32, SampleType::F32}};
    for (const Case& c : cases) {
        Pcm source = Make(11025, c.type, 1103, [](double) { return 0.5; });
        auto pcm = Converted(source);
        EXPECT_EQ(pcm->type, c.type);
        EXPECT_EQ(pcm->rate, 11025);
        EXPECT_EQ(pcm->channels, 1);
        EXPECT_EQ(pcm->FileFrames(), 1103u);
        EXPECT_EQ(pcm->FileBytes(), source.data.size());
        EXPECT_EQ(pcm->DataType(), c.held);
        EXPECT_EQ(pcm->DataRate(), plat::kOutputRate);
        EXPECT_EQ(pcm->data.size(), 4412u * pcm->DataBlockAlign()) << "1103 frames last 4412";
        std::vector<float> heard = Render(pcm);
        ASSERT_EQ(heard.size(), 4412u);
        EXPECT_NEAR(heard[2206], 0.5f, 1e-3) << int(c.type);
    }
    // Converting is deterministic, and a stereo sound keeps its sides apart.
    Pcm stereo = Make(22050, SampleType::S16, 2000, Tone);
    stereo.channels = 2;
    EXPECT_TRUE(Converted(stereo)->data == Converted(stereo)->data);
    Mixer m;
    plat::VoiceId id = m.Create(Converted(stereo));
    m.Play(id, 0);
    std::vector<float> both(2 * 1000);
    m.Mix(both.data(), 1000);
    for (size_t i = 600; i < 1000; ++i) {
        EXPECT_NEAR(both[2 * i], Tone(i / 22050.0), 1e-3) << i;
        EXPECT_NEAR(both[2 * i + 1], Tone((i + 1) / 22050.0), 1e-3) << i;
    }
    // At the output rate already, the decoded bytes are played as they are.
    Pcm same = Make(plat::kOutputRate, SampleType::S24, 100, Tone);
    auto kept = Converted(same);
    EXPECT_EQ(kept->converted.rate, 0);
    EXPECT_TRUE(kept->data == same.data);
}
