// The volume setting as heard: tests/data/sound/volume.txt gives, for each volume, the
// attenuation every sound gets (hundredths of a decibel) and the level a sound at -6.0 dB of full
// scale is heard at.
#include <cmath>
#include <cstdio>

#include "base/helpers.h"
#include "sound/clsSoundBuffer.h"
#include "support.h"

namespace {

class SoundVolume : public testsupport::Test {};

TEST_F(SoundVolume, VolumeBecomesAnAttenuationOfEverySound) {
    clsSoundBuffer& sound = modSound::WavBuffer[1];
    ASSERT_TRUE(sound.init(testsupport::DataPath("sound/a6.wav")));
    for (const testsupport::Case& c :
         testsupport::ReadCases(testsupport::DataPath("sound/volume.txt"))) {
        float volume = std::stof(c.at("volume"));
        EXPECT_EQ(modMain::VolumeToAttenuation(volume), std::stoi(c.at("attenuation"))) << volume;
        modMain::Settings.Volume = volume;
        sound.play(1);
        dev->StartCapture();
        dev->Advance(10);
        float peak = 0;
        for (float v : dev->TakeCapture()) peak = std::fmax(peak, std::fabs(v));
        sound.stopstop();
        char heard[16] = "-";
        if (peak > 0) std::snprintf(heard, sizeof heard, "%.1f", 20 * std::log10(peak));
        EXPECT_EQ(heard, c.at("heard")) << "volume " << volume;
    }
}

}  // namespace
