// The shared helpers of the shell: sine table, decibels, zero padding, extension removal.
#include <gtest/gtest.h>

#include <cmath>

#include "shell/modMain.h"

namespace {

using namespace modMain;

class ShellHelpers : public ::testing::Test {
  protected:
    void SetUp() override { FillSineTable(); }
};

TEST_F(ShellHelpers, SineTableCoversOnePeriodIn256Steps) {
    EXPECT_EQ(Sin256(0), 0.0f);
    EXPECT_EQ(Sin256(64), 1.0f);
    EXPECT_EQ(Sin256(192), -1.0f);
    EXPECT_FLOAT_EQ(Sin256(32), static_cast<float>(std::sin(3.1415926535897 / 4)));
    EXPECT_NEAR(Sin256(128), 0.0f, 1e-6);
}

TEST_F(ShellHelpers, DegreesMapToTheNearestTableEntryAndWrap) {
    EXPECT_EQ(SinDeg(90), Sin256(64));
    EXPECT_EQ(SinDeg(360), Sin256(0));  // 256 wraps to 0
    EXPECT_EQ(SinDeg(-90), Sin256(192));
    EXPECT_EQ(SinDeg(1), Sin256(1));  // 0.711 steps
    EXPECT_EQ(SinDeg(2), Sin256(1));  // 1.422 steps
    EXPECT_EQ(SinDeg(3), Sin256(2));  // 2.133 steps
    EXPECT_EQ(SinDeg(720 + 45), Sin256(32));
    EXPECT_EQ(CosDeg(0), 1.0f);
    EXPECT_EQ(CosDeg(90), SinDeg(180));
    EXPECT_EQ(SinDeg(2147483647), Sin256(static_cast<uint8_t>(1527099482)));
}

TEST_F(ShellHelpers, VolumeToAttenuationInHundredthsOfADecibel) {
    EXPECT_EQ(VolumeToAttenuation(50), -602);
    EXPECT_EQ(VolumeToAttenuation(10), -2000);
    EXPECT_EQ(VolumeToAttenuation(1), -4000);
    EXPECT_EQ(VolumeToAttenuation(0), -10000);
    EXPECT_EQ(VolumeToAttenuation(-5), -10000);
    EXPECT_EQ(VolumeToAttenuation(100), 0);
    EXPECT_EQ(VolumeToAttenuation(150), 0);
    EXPECT_EQ(VolumeToAttenuation(0.0001f), -12000);  // quieter than silence is not clamped
}

TEST_F(ShellHelpers, Log10RejectsZeroAndBelow) {
    EXPECT_DOUBLE_EQ(Log10(1000.0f), 3.0);
    EXPECT_THROW(Log10(0.0f), vb::Error);
    EXPECT_THROW(Log10(-1.0f), vb::Error);
}

TEST_F(ShellHelpers, ZeroPadKeepsTheLastCharacters) {
    EXPECT_EQ(ZeroPad(42, 4), "0042");
    EXPECT_EQ(ZeroPad(123456789, 4), "6789");
    EXPECT_EQ(ZeroPad(-5, 4), "00-5");
    EXPECT_EQ(ZeroPad(7, 0), "");
    EXPECT_EQ(ZeroPad(7, 12), "000000007");  // only eight zeros are available
    EXPECT_EQ(ZeroPad(-2147483647 - 1, 3), "648");
    EXPECT_THROW(ZeroPad(1, -1), vb::Error);
}

TEST_F(ShellHelpers, RemoveExtCutsOnlyTheFileNamesLastDot) {
    EXPECT_EQ(RemoveExt("song.wav"), "song");
    EXPECT_EQ(RemoveExt("a.b.c.ogg"), "a.b.c");
    EXPECT_EQ(RemoveExt("dir.v2\\kick"), "dir.v2\\kick");
    EXPECT_EQ(RemoveExt("dir.v2/kick"), "dir.v2/kick");
    EXPECT_EQ(RemoveExt("dir.v2\\kick.wav"), "dir.v2\\kick");
    EXPECT_EQ(RemoveExt("kick"), "kick");
    EXPECT_EQ(RemoveExt("kick."), "kick");
    EXPECT_EQ(RemoveExt(".wav"), "");
    EXPECT_EQ(RemoveExt(""), "");
}

}  // namespace
