// Shared set-up of the sound, play and render tests: a headless device, every module reset, a
// temporary folder, and hand-made sound files whose samples the tests know.
#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "platform_test_util.h"
#include "support.h"

namespace soundtest {

// A ramp that never repeats a value within 30000 samples, so a sample tells its own position.
inline int16_t RampAt(size_t i) {
    return static_cast<int16_t>(static_cast<int>(i % 30000) - 15000);
}

inline std::vector<int16_t> Ramp(size_t n) {
    std::vector<int16_t> v(n);
    for (size_t i = 0; i < n; ++i) v[i] = RampAt(i);
    return v;
}

inline std::vector<int16_t> Constant(size_t n, int16_t value) {
    return std::vector<int16_t>(n, value);
}

// Mono 16-bit WAV bytes.
inline std::string MonoWav(const std::vector<int16_t>& samples, int rate = 44100) {
    return plattest::WavFile(1, 1, rate, 16, plattest::S16(samples));
}

class SoundTest : public testsupport::Test {
  protected:
    void SetUp() override {
        Test::SetUp();
        dev->OpenAudio();
    }

    std::string Write(const std::string& name, const std::string& bytes) const {
        plattest::WriteBytes(dir / name, bytes);
        return dir / name;
    }
    std::string WriteMono(const std::string& name, const std::vector<int16_t>& samples,
                          int rate = 44100) const {
        return Write(name, MonoWav(samples, rate));
    }

    // Advances the virtual clock and returns the left channel of the audio that elapsed.
    std::vector<float> Listen(int32_t ms) {
        dev->StartCapture();
        dev->Advance(ms);
        std::vector<float> stereo = dev->TakeCapture();
        std::vector<float> left(stereo.size() / 2);
        for (size_t i = 0; i < left.size(); ++i) left[i] = stereo[2 * i];
        return left;
    }

    const testsupport::TempDir& dir = tmp;
};

// Samples as 16-bit values (the mixer hands out floats scaled by 1/32768).
inline int ToS16(float v) {
    return static_cast<int>(std::lround(v * 32768.0f));
}

inline float Peak(const std::vector<float>& v) {
    float p = 0;
    for (float x : v) p = std::fmax(p, std::fabs(x));
    return p;
}

}  // namespace soundtest
