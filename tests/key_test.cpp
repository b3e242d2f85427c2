// Key input on the headless device: states, auto-repeat timing and the commands.
#include <gtest/gtest.h>

#include <vector>

#include "support.h"

namespace {

using modKey::KeyState;
using modMain::Settings;

class KeyInput : public ::testing::Test {
  protected:
    void SetUp() override {
        dev = &testsupport::ResetAll();
        dev->SetTime(1000);
    }
    // One key step at the current time, then the clock moves on.
    void Frame(int ms = 1) {
        modKey::KeyMain();
        dev->Advance(ms);
    }
    // Holds a key for `ms` milliseconds of 1 ms frames; returns the frame times it acted on.
    std::vector<int32_t> Hold(int vk, int ms) {
        std::vector<int32_t> acted;
        dev->SetKey(vk, true);
        int32_t start = dev->Now();
        for (int t = 0; t < ms; ++t) {
            int32_t now = dev->Now();
            Frame();
            if (KeyState[vk] == 2) acted.push_back(now - start);
        }
        dev->SetKey(vk, false);
        Frame();
        return acted;
    }
    plat::HeadlessDevice* dev = nullptr;
};

TEST_F(KeyInput, KeyGoesPressedThenHeldThenUp) {
    dev->SetKey('9', true);
    Frame();
    EXPECT_EQ(KeyState['9'], 2);
    EXPECT_EQ(modKey::KeyPressTime['9'], 1000);
    Frame();
    EXPECT_EQ(KeyState['9'], 1);
    dev->SetKey('9', false);
    Frame();
    EXPECT_EQ(KeyState['9'], 0);
    EXPECT_EQ(modKey::KeyRepeat['9'], 250);
}

TEST_F(KeyInput, AutoRepeatShortensFrom250To50) {
    // Each action comes on the first frame after the delay has run out (1 ms frames here).
    std::vector<int32_t> acted = Hold('2', 1000);
    std::vector<int32_t> expected = {0, 251, 444, 593, 708, 797, 866, 919, 970};
    acted.resize(std::min(acted.size(), expected.size()));
    EXPECT_EQ(acted, expected);
}

TEST_F(KeyInput, UnrepeatedKeysActOncePerPress) {
    Settings.BGA = 0;
    EXPECT_EQ(Hold('5', 2000).size(), 1u);
    EXPECT_EQ(Settings.BGA, 1);
}

TEST_F(KeyInput, InactiveWindowFreezesKeysAndCommands) {
    dev->SetKey('9', true);
    Frame();
    EXPECT_TRUE(Settings.DispInfo);
    dev->SetActive(false);
    dev->SetKey('2', true);
    for (int i = 0; i < 600; ++i) Frame();
    EXPECT_EQ(Settings.HS, 1.0f);
    EXPECT_EQ(KeyState['2'], 0);
    dev->SetKey('2', false);
    dev->SetActive(true);
    Frame();
    // Still held since before the focus left: no new press.
    EXPECT_EQ(KeyState['9'], 1);
    EXPECT_TRUE(Settings.DispInfo);
}

TEST_F(KeyInput, HiSpeedMovesOnAQuarterGrid) {
    Settings.HS = 0.25f;
    Hold('1', 1);
    EXPECT_EQ(Settings.HS, 0.25f);
    Hold('2', 1);
    EXPECT_EQ(Settings.HS, 0.5f);
    Settings.HS = 1.1f;
    Hold('2', 1);
    EXPECT_EQ(Settings.HS, 1.25f);
    Hold('1', 1);
    EXPECT_EQ(Settings.HS, 1.0f);
}

TEST_F(KeyInput, BothHiSpeedKeysWalkBackToOne) {
    Settings.HS = 3.0f;
    dev->SetKey('1', true);
    dev->SetKey('2', true);
    int frames = 0;
    while (Settings.HS != 1.0f && frames < 100) Frame(), ++frames;
    EXPECT_EQ(frames, 8);
    Frame();
    EXPECT_EQ(Settings.HS, 1.0f);
}

TEST_F(KeyInput, FrequencyStaysBetween25AndTheLimit) {
    Settings.Frequency = 25;
    Hold('3', 1);
    EXPECT_EQ(Settings.Frequency, 25);
    Hold('4', 1);
    EXPECT_EQ(Settings.Frequency, 30);
    Settings.Frequency = Settings.MaxFrequency = 150;
    Hold('4', 1);
    EXPECT_EQ(Settings.Frequency, 150);
    dev->SetKey('3', true);
    dev->SetKey('4', true);
    for (int i = 0; i < 20; ++i) Frame();
    EXPECT_EQ(Settings.Frequency, 100);
}

TEST_F(KeyInput, OptionKeysCycle) {
    std::vector<int> effects, bgas, autos, skins;
    Settings.Effect = 0;
    Settings.SkinType = 0;
    Settings.AutoPlay = 1;
    for (int i = 0; i < 5; ++i) {
        Hold('6', 1);
        effects.push_back(Settings.Effect);
        Hold('5', 1);
        bgas.push_back(Settings.BGA);
        Hold(plat::vk::F1, 1);
        autos.push_back(Settings.AutoPlay);
        Hold('8', 1);
        skins.push_back(Settings.SkinType);
    }
    EXPECT_EQ(effects, (std::vector<int>{1, 3, 7, 0, 1}));
    EXPECT_EQ(bgas, (std::vector<int>{4, 0, 1, 2, 3}));
    EXPECT_EQ(autos, (std::vector<int>{3, 2, 1, 3, 2}));
    EXPECT_EQ(skins, (std::vector<int>{1, 2, 3, 0, 1}));
    EXPECT_EQ(modKey::LaneX1PScratch, 125);  // SkinType 1: 1P scratch on the right
    Hold('7', 1);
    EXPECT_TRUE(dev->AlwaysOnTop());
    Settings.DispInfo = true;
    Hold(plat::vk::Ctrl, 1);
    EXPECT_TRUE(Settings.ShowDebug);
}

TEST_F(KeyInput, SpaceHoldReloadsOnce) {
    modBMSLoad::BMSFileName = "song.bms";
    Hold(plat::vk::Space, 450);
    EXPECT_EQ(modMain::PlayState, modMain::PS_IDLE);
    dev->SetKey(plat::vk::Space, true);
    int reloads = 0;
    for (int i = 0; i < 3000; ++i) {
        Frame();
        if (modMain::PlayState == modMain::PS_LOAD) ++reloads, modMain::PlayState = 0;
    }
    EXPECT_EQ(reloads, 1);
}

TEST_F(KeyInput, PauseAndResumeMoveTheClocksPastThePause) {
    modMain::PlayState = modMain::PS_PLAY;
    modCount::StartTime = 1000;
    modCount::LastTime = 1000;
    Hold('0', 1);
    EXPECT_EQ(modMain::PlayState, modMain::PS_PAUSE);
    dev->Advance(5000);
    Hold('0', 1);
    EXPECT_EQ(modMain::PlayState, modMain::PS_PLAY);
    EXPECT_EQ(modCount::StartTime, 1000 + 5000 + 2);
    EXPECT_EQ(modCount::LastTime, 1000 + 5000 + 2);
}

TEST_F(KeyInput, HomeWinsOverPageDownInOneFrame) {
    modBMSLoad::Title = "x";
    modBMSLoad::MaxMeasure = 20;
    modMain::PlayState = modMain::PS_PLAY;
    modCount::CurrentMeasure = 5;
    dev->SetKey(plat::vk::Home, true);
    dev->SetKey(plat::vk::PageDown, true);
    Frame();
    EXPECT_EQ(modCount::CurrentMeasure, 0);
}

TEST_F(KeyInput, EscapeEndsTheProgram) {
    dev->SetKey(plat::vk::Escape, true);
    EXPECT_THROW(Frame(), plat::ProcessExit);
}

}  // namespace
