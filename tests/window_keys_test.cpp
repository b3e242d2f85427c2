// Keys as the window receives them: bursts of key events between two frames, every key at once,
// and keys held while the focus goes elsewhere and comes back.
#include "display/modDraw.h"
#include "window_fixture.h"

namespace {

using modKey::KeyState;
using modMain::PlayState;
using modMain::Settings;
namespace fs = std::filesystem;
using windowtest::WindowTest;

class WindowKeys : public WindowTest {
  protected:
    void SetUp() override {
        WindowTest::SetUp();
        StartPlaying(Chart("song.bms", 40));
    }
    // One frame of the loop in its steps; true when the key step asked for a reload.
    bool FrameReloads(int ms = 16) {
        modMain::MessagePass();
        modKey::KeyMain();
        bool reload = PlayState == modMain::PS_LOAD;
        modCount::CountMain();
        modSound::SoundMain();
        modDraw::DrawMain();
        dev->Advance(ms);
        return reload;
    }
};

TEST_F(WindowKeys, ABurstOfEventsBetweenFramesCountsAsItsLastState) {
    // The keyboard is sampled once a frame: what the burst leaves is what the frame sees.
    for (int i = 0; i < 501; ++i) dev->SetKey('9', i % 2 == 0);
    Frames(1);
    EXPECT_TRUE(Settings.DispInfo) << "ends down: one press";
    dev->SetKey('9', false);
    Frames(1);
    for (int i = 0; i < 500; ++i) dev->SetKey('9', i % 2 == 0);
    Frames(1);
    EXPECT_TRUE(Settings.DispInfo) << "ends up: the frame saw no press";
    EXPECT_EQ(KeyState['9'], 0);

    // Hundreds of different keys going down and up between two frames.
    for (int round = 0; round < 3; ++round)
        for (int vk = 65; vk <= 90; ++vk) dev->SetKey(vk, round != 2);
    for (int vk : {'5', '6', '8', 'B'}) dev->SetKey(vk, true);
    Frames(1);
    EXPECT_EQ(Settings.BGA, 4);
    EXPECT_EQ(Settings.Effect, 0);
    EXPECT_EQ(Settings.SkinType, 1);
    EXPECT_EQ(KeyState['B'], 2);
    EXPECT_EQ(KeyState['A'], 0);
}

TEST_F(WindowKeys, EveryKeyDownAtOnceRunsEachCommandInItsTurn) {
    modCount::CurrentMeasure = 7;
    for (int vk = 0; vk <= 255; ++vk)
        if (vk != plat::vk::Escape) dev->SetKey(vk, true);
    Frames(1, 1);
    EXPECT_EQ(modCount::CurrentMeasure, 0) << "Home first among the seek keys";
    EXPECT_EQ(Settings.HS, 1.0f) << "1 and 2 together hold 1.0";
    EXPECT_EQ(Settings.Frequency, 100);
    EXPECT_EQ(PlayState, modMain::PS_PAUSE) << "0 pauses";
    EXPECT_TRUE(Settings.DispInfo);
    EXPECT_TRUE(Settings.ShowDebug) << "Ctrl after 9 in the same frame";
    EXPECT_TRUE(dev->AlwaysOnTop());

    // Held on: only the repeating keys act again, and Space reloads once after half a second.
    int reloads = 0;
    for (int i = 0; i < 300; ++i) reloads += FrameReloads(10);
    EXPECT_EQ(reloads, 1);
    EXPECT_EQ(Settings.HS, 1.0f);
    EXPECT_EQ(Settings.Frequency, 100);
    EXPECT_TRUE(Settings.DispInfo) << "9 is not a repeating key";
    EXPECT_EQ(modKey::KeyPressTime[plat::vk::Space], -1) << "the reload fired";
    EXPECT_NE(PlayState, modMain::PS_LOAD);
    EXPECT_FALSE(fs::exists(Path("error.txt")));

    dev->SetKey(plat::vk::Escape, true);
    EXPECT_EQ(ExitCodeOf([this] { Frames(1); }), 0);
    EXPECT_NE(shelltest::ReadText(Ini()).find("DispInfo=True"), std::string::npos);
}

TEST_F(WindowKeys, AKeyHeldWhileTheFocusIsAwayIsNoNewPressOnReturn) {
    dev->SetKey('2', true);
    Frames(1);
    EXPECT_EQ(Settings.HS, 1.25f);
    dev->SetActive(false);
    Frames(200);  // three seconds elsewhere, the key held all along
    EXPECT_EQ(Settings.HS, 1.25f);
    EXPECT_EQ(KeyState['2'], 2) << "the tables keep their values";
    dev->SetActive(true);
    Frames(1);
    EXPECT_EQ(KeyState['2'], 0) << "held, then handed to the repeat at once";
    EXPECT_EQ(Settings.HS, 1.25f) << "no press on return";
    Frames(1);
    EXPECT_EQ(Settings.HS, 1.5f) << "the auto-repeat carries on";
    dev->SetKey('2', false);
    Frames(1);
}

TEST_F(WindowKeys, KeysReleasedOrPressedWhileAwayAreSeenOnReturn) {
    dev->SetKey('1', true);
    Frames(1);
    EXPECT_EQ(Settings.HS, 0.75f);
    dev->SetActive(false);
    dev->SetKey('1', false);
    dev->SetKey('9', true);  // went down elsewhere, still down on return
    dev->SetKey(plat::vk::Escape, true);
    dev->SetKey(plat::vk::Space, true);
    Frames(100);
    EXPECT_EQ(PlayState, modMain::PS_PLAY) << "no command while away: no quit, no reload";
    dev->SetKey(plat::vk::Escape, false);
    dev->SetKey(plat::vk::Space, false);
    dev->SetActive(true);
    Frames(1);
    EXPECT_EQ(KeyState['1'], 0);
    EXPECT_EQ(modKey::KeyRepeat['1'], 250);
    EXPECT_EQ(Settings.HS, 0.75f);
    EXPECT_TRUE(Settings.DispInfo) << "down now and up before: a press";
    EXPECT_EQ(PlayState, modMain::PS_PLAY);
}

TEST_F(WindowKeys, SpaceHeldAcrossAFocusChangeReloadsOnce) {
    dev->SetKey(plat::vk::Space, true);
    Frames(10);
    dev->SetActive(false);
    Frames(100);
    dev->SetActive(true);
    int reloads = 0;
    for (int i = 0; i < 200; ++i) reloads += FrameReloads();
    EXPECT_EQ(reloads, 1);
    EXPECT_EQ(PlayState, modMain::PS_PLAY);
}

TEST_F(WindowKeys, OptionValuesAtTheTopOfTheRangeAreReportedNotWrapped) {
    Settings.BGA = 2147483647;
    dev->SetKey('5', true);
    EXPECT_EQ(ExitCodeOf([this] { Frames(1); }), 1);
    EXPECT_NE(shelltest::ReadText(Path("error.txt")).find("ErrorNo.6 Overflow @KeyMain"),
              std::string::npos);
}

}  // namespace
