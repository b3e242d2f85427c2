// The mixer and the headless device's audio, measured into one report that is compared with
// tests/data/sound/mixer.txt: levels of each sample format, the down-mix of 3 to 8 channels,
// resampling, attenuation, saturation, and the frames the virtual clock renders.
#include <cmath>
#include <cstdio>
#include <cstring>
#include <sstream>

#include "platform/headless.h"
#include "platform/mixer.h"
#include "support.h"

namespace {

using plat::Mixer;
using plat::SampleType;

// A sound of interleaved samples, given as floats in [-1, 1] and stored as `type`.
std::shared_ptr<plat::Pcm> Sound(SampleType type, int channels, int rate,
                                 const std::vector<float>& samples) {
    auto pcm = std::make_shared<plat::Pcm>();
    pcm->type = type, pcm->channels = channels, pcm->rate = rate;
    int bytes = pcm->BytesPerSample();
    for (float s : samples) {
        int64_t v = std::llround(std::fmin(s * 2147483648.0, 2147483647.0));  // as 32-bit
        uint8_t b[4];
        std::memcpy(b, &v, 4);  // little-endian, the top bytes hold the narrower widths
        if (type == SampleType::F32) std::memcpy(b, &s, 4);
        if (type == SampleType::U8) b[3] = static_cast<uint8_t>(b[3] + 128);
        pcm->data.insert(pcm->data.end(), b + (type == SampleType::F32 ? 0 : 4 - bytes), b + 4);
    }
    return pcm;
}

// The first `frames` frames of the mix with the voice started, as "L R" pairs (-0 shown as 0).
std::string Heard(Mixer& m, plat::VoiceId id, int frames) {
    m.Play(id, 0);
    std::vector<float> out(2 * static_cast<size_t>(frames));
    m.Mix(out.data(), frames);
    std::string text;
    char pair[32];
    for (int i = 0; i < frames; ++i) {
        std::snprintf(pair, sizeof pair, " %.3f %.3f%s", out[2 * i] + 0.0, out[2 * i + 1] + 0.0,
                      i + 1 < frames ? "," : "");
        text += pair;
    }
    return text;
}

std::string Report() {
    std::ostringstream r;
    const char* names[] = {"U8", "S16", "S24", "S32", "F32"};
    r << "formats, +0.5 then the lowest value:\n";
    for (int t = 0; t < 5; ++t) {
        Mixer m;
        auto type = static_cast<SampleType>(t);
        r << "  " << names[t] << Heard(m, m.Create(Sound(type, 1, 44100, {0.5f, -1.0f})), 2)
          << "\n";
    }
    r << "down-mix, each channel alone at 0.5, then all at full scale:\n";
    for (int n = 3; n <= 8; ++n) {
        r << "  " << n << ":";
        for (int c = 0; c <= n; ++c) {
            std::vector<float> frame(static_cast<size_t>(n), c == n ? 1.0f : 0.0f);
            if (c < n) frame[static_cast<size_t>(c)] = 0.5f;
            Mixer m;
            r << Heard(m, m.Create(Sound(SampleType::S16, n, 44100, frame)), 1)
              << (c < n ? " |" : "\n");
        }
    }
    r << "a 0.5 peak at 22050 Hz, mono, stereo (right inverted) and 3 channels:\n";
    for (int n = 1; n <= 3; ++n) {
        std::vector<float> s(3 * static_cast<size_t>(n), 0.0f);
        for (int c = 0; c < n; ++c) s[static_cast<size_t>(n + c)] = c == 1 ? -0.5f : 0.5f;
        Mixer m;
        r << "  " << Heard(m, m.Create(Sound(SampleType::S16, n, 22050, s)), 6) << "\n";
    }
    r << "frames played of 100 at 22050 Hz in 20 output frames, by frequency set:\n";
    for (int hz : {0, 1, 100, 22050, 44100, 88200, 2000000}) {
        Mixer m;
        plat::VoiceId id = m.Create(Sound(SampleType::S16, 1, 22050, std::vector<float>(100)));
        m.SetFrequency(id, hz);
        Heard(m, id, 20);
        r << "  " << hz << ": " << m.Position(id) / 2 << (m.IsPlaying(id) ? " playing" : " ended")
          << "\n";
    }
    r << "attenuation, a 0.5 sound heard at:\n";
    for (int att : {500, 0, -602, -2000, -10000, -20000}) {
        Mixer m;
        plat::VoiceId id = m.Create(Sound(SampleType::S16, 1, 44100, {0.5f, 0.5f}));
        m.SetAttenuation(id, att);
        r << "  " << att << ":" << Heard(m, id, 1) << "\n";
    }
    Mixer sum;
    for (int k = 0; k < 2; ++k)
        sum.Play(sum.Create(Sound(SampleType::S16, 1, 44100, {0.75f, 0.75f})), 0);
    std::vector<float> out(4);
    sum.Mix(out.data(), 1);
    sum.SetMasterGain(0.5f);
    sum.Mix(out.data() + 2, 1);
    r << "two voices at 0.75, then at master gain 0.5: " << out[0] << " " << out[2] << "\n";
    Mixer nan;
    r << "a NaN sample:" << Heard(nan, nan.Create(Sound(SampleType::F32, 1, 44100, {NAN})), 1)
      << "\n";
    plat::HeadlessDevice dev;
    dev.StartCapture();
    for (int i = 0; i < 7; ++i) dev.Sleep(3);
    r << "frames the headless clock renders in 7 sleeps of 3 ms: " << dev.TakeCapture().size() / 2;
    dev.SetTime(2000000000);
    dev.Sleep(200000000);  // a long silent jump, past the 32-bit limit: the clock wraps
    r << "\nthe clock after 2000000000 and 200000000 ms: " << dev.Now() << "\n";
    return r.str();
}

TEST(PlatformMixer, ReportMatchesTheExpected) {
    EXPECT_TRUE(testsupport::SameTextAsFile(testsupport::DataPath("sound/mixer.txt"), Report()));
}

// Voices of unknown ids, released ones and sounds without a usable shape take every call and
// never play; released ids are given out again.
TEST(PlatformMixer, UnknownVoicesAndShapelessSoundsAreHarmless) {
    Mixer m;
    plat::VoiceId a = m.Create(Sound(SampleType::S16, 1, 44100, {0.5f}));
    m.Release(a);
    m.Release(a);
    EXPECT_EQ(m.Create(Sound(SampleType::S16, 1, 44100, {0.5f})), a);
    auto noRate = Sound(SampleType::S16, 1, 0, {0.5f});
    for (plat::VoiceId id : {0, -1, 999, m.Create(nullptr), m.Create(std::make_shared<plat::Pcm>()),
                             m.Create(noRate)}) {
        m.SetFrequency(id, 1000);
        m.SetAttenuation(id, -100);
        m.Play(id, 0);
        EXPECT_FALSE(m.IsPlaying(id)) << id;
        m.Stop(id);
        EXPECT_EQ(m.Position(id), 0u) << id;
    }
}

}  // namespace
