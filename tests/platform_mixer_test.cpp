#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "platform/headless.h"
#include "platform/mixer.h"

using plat::Mixer;
using plat::Pcm;
using plat::SampleType;

namespace {

// A sound of `frames` frames whose every sample holds the same raw value.
std::shared_ptr<Pcm> Constant(SampleType type, int channels, int rate, int frames,
                              const void* sample) {
    auto pcm = std::make_shared<Pcm>();
    pcm->type = type;
    pcm->channels = channels;
    pcm->rate = rate;
    int bytes = pcm->BytesPerSample();
    pcm->data.resize(static_cast<size_t>(frames) * channels * bytes);
    for (size_t at = 0; at < pcm->data.size(); at += bytes)
        std::memcpy(&pcm->data[at], sample, bytes);
    return pcm;
}

std::shared_ptr<Pcm> MonoS16(std::vector<int16_t> samples, int rate = 44100) {
    auto pcm = std::make_shared<Pcm>();
    pcm->type = SampleType::S16;
    pcm->channels = 1;
    pcm->rate = rate;
    pcm->data.resize(samples.size() * 2);
    if (!samples.empty()) std::memcpy(pcm->data.data(), samples.data(), pcm->data.size());
    return pcm;
}

std::vector<float> MixFrames(Mixer& m, int frames) {
    std::vector<float> out(2 * static_cast<size_t>(frames));
    m.Mix(out.data(), frames);
    return out;
}

}  // namespace

TEST(PlatformMixer, EachSampleFormatReadsAtTheSameLevel) {
    const uint8_t u8 = 192;                     // +0.5
    const int16_t s16 = 16384;                  // +0.5
    const uint8_t s24[3] = {0x00, 0x00, 0x40};  // +0.5
    const int32_t s32 = 1 << 30;                // +0.5
    const float f32 = 0.5f;
    struct Case {
        SampleType type;
        const void* sample;
    } cases[] = {{SampleType::U8, &u8},
                 {SampleType::S16, &s16},
                 {SampleType::S24, s24},
                 {SampleType::S32, &s32},
                 {SampleType::F32, &f32}};
    for (const Case& c : cases) {
        Mixer m;
        plat::VoiceId id = m.Create(Constant(c.type, 2, 44100, 8, c.sample));
        m.Play(id, 0);
        auto out = MixFrames(m, 4);
        for (float v : out) EXPECT_FLOAT_EQ(v, 0.5f) << "type " << int(c.type);
    }
}

TEST(PlatformMixer, NegativeSamplesAndTheExtremes) {
    // S24 sign extension and the most negative values of each width.
    const uint8_t s24[3] = {0x00, 0x00, 0x80};
    const int16_t s16 = -32768;
    const uint8_t u8 = 0;
    for (auto [type, sample] : {std::pair<SampleType, const void*>{SampleType::S24, s24},
                                {SampleType::S16, &s16},
                                {SampleType::U8, &u8}}) {
        Mixer m;
        plat::VoiceId id = m.Create(Constant(type, 1, 44100, 2, sample));
        m.Play(id, 0);
        EXPECT_FLOAT_EQ(MixFrames(m, 1)[0], -1.0f);
    }
}

TEST(PlatformMixer, MonoGoesToBothSidesAndStereoKeepsItsSides) {
    Mixer m;
    const int16_t half = 16384;
    m.Play(m.Create(Constant(SampleType::S16, 1, 44100, 4, &half)), 0);
    auto mono = MixFrames(m, 1);
    EXPECT_FLOAT_EQ(mono[0], 0.5f);
    EXPECT_FLOAT_EQ(mono[1], 0.5f);

    Mixer s;
    auto pcm = std::make_shared<Pcm>();
    pcm->type = SampleType::S16;
    pcm->channels = 2;
    pcm->rate = 44100;
    int16_t lr[2] = {8192, -8192};
    pcm->data.resize(4);
    std::memcpy(pcm->data.data(), lr, 4);
    s.Play(s.Create(pcm), 0);
    auto stereo = MixFrames(s, 1);
    EXPECT_FLOAT_EQ(stereo[0], 0.25f);
    EXPECT_FLOAT_EQ(stereo[1], -0.25f);
}

TEST(PlatformMixer, MoreThanTwoChannelsFoldDownWithinFullScale) {
    // 5.1 at full scale on every channel must not pass full scale, and front left must land
    // on the left only.
    const int16_t full = 32767;
    Mixer m;
    m.Play(m.Create(Constant(SampleType::S16, 6, 44100, 4, &full)), 0);
    auto all = MixFrames(m, 1);
    EXPECT_NEAR(all[0], 1.0f, 1e-3);
    EXPECT_NEAR(all[1], 1.0f, 1e-3);

    auto pcm = Constant(SampleType::S16, 8, 44100, 4, "\0\0");
    std::memcpy(pcm->data.data(), &full, 2);  // front left of the first frame
    Mixer fl;
    fl.Play(fl.Create(pcm), 0);
    auto out = MixFrames(fl, 1);
    EXPECT_GT(out[0], 0.1f);
    EXPECT_FLOAT_EQ(out[1], 0.0f);
}

TEST(PlatformMixer, ResamplesLinearlyFromTheVoiceRate) {
    // At half the output rate every source frame lasts two output frames, the one between
    // interpolated.
    Mixer m;
    plat::VoiceId id = m.Create(MonoS16({0, 16384, 0}, 22050));
    m.Play(id, 0);
    auto out = MixFrames(m, 7);
    float expected[] = {0.0f, 0.25f, 0.5f, 0.25f, 0.0f, 0.0f, 0.0f};
    for (int i = 0; i < 7; ++i) EXPECT_FLOAT_EQ(out[2 * i], expected[i]) << i;
    EXPECT_FALSE(m.IsPlaying(id));

    // SetFrequency changes the rate; a 4-frame sound at 88.2 kHz lasts 2 output frames.
    plat::VoiceId fast = m.Create(MonoS16({1000, 2000, 3000, 4000}));
    m.SetFrequency(fast, 88200);
    m.Play(fast, 0);
    MixFrames(m, 1);
    EXPECT_TRUE(m.IsPlaying(fast));
    EXPECT_EQ(m.Position(fast), 4u);
    MixFrames(m, 1);
    EXPECT_FALSE(m.IsPlaying(fast));
    // 0 restores the sound's own rate.
    m.SetFrequency(fast, 0);
    m.Play(fast, 0);
    MixFrames(m, 1);
    EXPECT_EQ(m.Position(fast), 2u);
}

TEST(PlatformMixer, SoundLengthInOutputFramesFollowsTheRateRatio) {
    // One second of 48 kHz plays for one second of output, within a frame.
    Mixer m;
    const int16_t v = 1000;
    plat::VoiceId id = m.Create(Constant(SampleType::S16, 1, 48000, 48000, &v));
    m.Play(id, 0);
    std::vector<float> out(2 * 44100);
    m.Mix(out.data(), 44099);
    EXPECT_TRUE(m.IsPlaying(id));
    m.Mix(out.data(), 2);
    EXPECT_FALSE(m.IsPlaying(id));
}

TEST(PlatformMixer, AttenuationIsHundredthsOfADecibel) {
    const int16_t half = 16384;
    struct Case {
        int32_t att;
        float gain;
    } cases[] = {{0, 1.0f},      {-602, 0.5f},   {-2000, 0.1f},
                 {-10000, 0.0f}, {-20000, 0.0f}, {500, 1.0f}};
    for (const Case& c : cases) {
        Mixer m;
        plat::VoiceId id = m.Create(Constant(SampleType::S16, 1, 44100, 4, &half));
        m.SetAttenuation(id, c.att);
        m.Play(id, 0);
        EXPECT_NEAR(MixFrames(m, 1)[0], 0.5f * c.gain, 1e-3) << c.att;
        EXPECT_TRUE(m.IsPlaying(id)) << "a silent voice still plays";
    }
}

TEST(PlatformMixer, PlayStopPositionAndEndOfData) {
    Mixer m;
    plat::VoiceId id = m.Create(MonoS16({100, 200, 300, 400, 500}));
    EXPECT_FALSE(m.IsPlaying(id));
    m.Play(id, 5);  // rounded down to frame 2
    EXPECT_EQ(m.Position(id), 4u);
    EXPECT_TRUE(m.IsPlaying(id));
    auto out = MixFrames(m, 2);
    EXPECT_FLOAT_EQ(out[0], 300.0f / 32768);
    EXPECT_EQ(m.Position(id), 8u);
    m.Stop(id);
    EXPECT_FALSE(m.IsPlaying(id));
    EXPECT_EQ(m.Position(id), 8u) << "stopping keeps the cursor";
    EXPECT_FLOAT_EQ(MixFrames(m, 1)[0], 0.0f);
    m.Play(id, 8);
    out = MixFrames(m, 3);
    EXPECT_FLOAT_EQ(out[0], 500.0f / 32768);
    EXPECT_FLOAT_EQ(out[2], 0.0f);
    EXPECT_FALSE(m.IsPlaying(id)) << "the playing flag clears when the data runs out";
    EXPECT_EQ(m.Position(id), 10u);
    m.Play(id, 1000);  // beyond the end: nothing to play
    EXPECT_FALSE(m.IsPlaying(id));
    EXPECT_EQ(m.PlayingVoices(), 0);
}

TEST(PlatformMixer, SumsVoicesAndSaturates) {
    Mixer m;
    const int16_t big = 24576;  // 0.75
    plat::VoiceId a = m.Create(Constant(SampleType::S16, 1, 44100, 4, &big));
    plat::VoiceId b = m.Create(Constant(SampleType::S16, 1, 44100, 4, &big));
    m.Play(a, 0);
    m.Play(b, 0);
    EXPECT_EQ(m.PlayingVoices(), 2);
    EXPECT_FLOAT_EQ(MixFrames(m, 1)[0], 1.0f);
    m.SetMasterGain(0.5f);
    EXPECT_FLOAT_EQ(MixFrames(m, 1)[0], 0.75f);
    // Non-finite float samples cannot poison the output.
    const float nan = std::nanf("");
    Mixer n;
    n.Play(n.Create(Constant(SampleType::F32, 1, 44100, 4, &nan)), 0);
    EXPECT_TRUE(std::isfinite(MixFrames(n, 1)[0]));
}

TEST(PlatformMixer, VoiceIdsAreReusedAndUnknownIdsAreHarmless) {
    Mixer m;
    plat::VoiceId a = m.Create(MonoS16({1, 2}));
    plat::VoiceId b = m.Create(MonoS16({1, 2}));
    EXPECT_NE(a, 0);
    EXPECT_NE(a, b);
    m.Release(a);
    m.Release(a);
    EXPECT_EQ(m.Create(MonoS16({1})), a);
    for (plat::VoiceId bad : {0, -1, 999}) {
        m.Play(bad, 0);
        m.Stop(bad);
        m.SetFrequency(bad, 1000);
        m.SetAttenuation(bad, -100);
        EXPECT_FALSE(m.IsPlaying(bad));
        EXPECT_EQ(m.Position(bad), 0u);
    }
    // Sounds without a usable shape give voices that never play.
    for (auto pcm : {std::shared_ptr<Pcm>(), std::make_shared<Pcm>(), MonoS16({}, 0)}) {
        plat::VoiceId id = m.Create(pcm);
        m.Play(id, 0);
        EXPECT_FALSE(m.IsPlaying(id));
    }
}

TEST(PlatformHeadlessAudio, ClockMixesExactlyTheFramesThatElapse) {
    plat::HeadlessDevice dev;
    const int16_t v = 8192;
    plat::Mixer& m = dev.GetMixer();
    plat::VoiceId id = m.Create(Constant(SampleType::S16, 1, 44100, 44100, &v));
    m.Play(id, 0);
    dev.StartCapture();
    // floor(ms * 44100 / 1000) frames in total, however the time is cut up.
    for (int i = 0; i < 7; ++i) dev.Sleep(3);
    EXPECT_EQ(dev.TakeCapture().size(), 2u * 926);
    dev.StartCapture();
    dev.SetTime(1000);
    auto cap = dev.TakeCapture();
    EXPECT_EQ(cap.size(), 2u * (44100 - 926));
    EXPECT_FLOAT_EQ(cap.back(), 0.25f);
    EXPECT_FALSE(m.IsPlaying(id)) << "exactly the sound's length has passed";
    EXPECT_EQ(dev.Now(), 1000);
}

TEST(PlatformHeadlessAudio, LongSilentJumpsAreCheapAndWavOutputIsWellFormed) {
    plat::HeadlessDevice dev;
    dev.SetTime(2000000000);
    EXPECT_EQ(dev.Now(), 2000000000);
    dev.Sleep(200000000);  // past the 32-bit limit: the clock wraps
    EXPECT_LT(dev.Now(), 0);

    std::vector<float> samples = {0.0f, 1.0f, -1.0f, 2.0f};
    std::string path = "/tmp/korvane-platform-test-" + std::to_string(getpid()) + ".wav";
    ASSERT_TRUE(plat::WriteWav16(path, samples));
    auto pcm = plat::DecodeSound(path);
    std::remove(path.c_str());
    ASSERT_TRUE(pcm);
    EXPECT_EQ(pcm->channels, 2);
    EXPECT_EQ(pcm->rate, 44100);
    ASSERT_EQ(pcm->data.size(), 8u);
    int16_t s[4];
    std::memcpy(s, pcm->data.data(), 8);
    EXPECT_EQ(s[0], 0);
    EXPECT_EQ(s[1], 32767);
    EXPECT_EQ(s[2], -32767);
    EXPECT_EQ(s[3], 32767) << "clipped";
}
