#include <gtest/gtest.h>

#include "platform/headless.h"

TEST(PlatformDevice, AHeadlessDeviceIsThereUntilAnotherIsInstalled) {
    plat::Install(nullptr);
    plat::Device& lazy = plat::Dev();
    EXPECT_NE(dynamic_cast<plat::HeadlessDevice*>(&lazy), nullptr);
    EXPECT_EQ(&plat::Dev(), &lazy) << "created once";
    plat::HeadlessDevice& fresh = plat::InstallHeadless();
    EXPECT_EQ(&plat::Dev(), &fresh);
    EXPECT_EQ(plat::Now(), 0);
    plat::Sleep(25);
    EXPECT_EQ(plat::Now(), 25);
}

TEST(PlatformHeadless, ClockMovesOnlyWhenTold) {
    plat::HeadlessDevice dev;
    EXPECT_EQ(dev.Now(), 0);
    dev.Sleep(0);
    dev.Sleep(-5);
    EXPECT_EQ(dev.Now(), 0);
    dev.Advance(16);
    dev.Sleep(1);
    EXPECT_EQ(dev.Now(), 17);
    dev.SetTime(-3);
    EXPECT_EQ(dev.Now(), -3);
    dev.SetTime(INT32_MAX);
    dev.Sleep(2);
    EXPECT_EQ(dev.Now(), INT32_MIN + 1) << "the millisecond count wraps like the system's";
}

TEST(PlatformHeadless, KeyboardFocusEventsAndSwitches) {
    plat::HeadlessDevice dev;
    EXPECT_FALSE(dev.KeyDown(plat::vk::Space));
    dev.SetKey(plat::vk::Space, true);
    dev.SetKey('Z', true);
    dev.SetKey(300, true);  // out of range: ignored
    EXPECT_TRUE(dev.KeyDown(plat::vk::Space));
    EXPECT_TRUE(dev.KeyDown('Z'));
    EXPECT_FALSE(dev.KeyDown(300));
    EXPECT_FALSE(dev.KeyDown(-1));
    dev.ReleaseAllKeys();
    EXPECT_FALSE(dev.KeyDown('Z'));
    EXPECT_TRUE(dev.IsActive());
    dev.SetActive(false);
    EXPECT_FALSE(dev.IsActive());

    dev.PushEvent({plat::Event::Type::DropFile, "/a b.bms"});
    dev.PushEvent({plat::Event::Type::Wheel, "", 120});
    plat::Event e{};
    ASSERT_TRUE(dev.PollEvent(e));
    EXPECT_EQ(e.type, plat::Event::Type::DropFile);
    EXPECT_EQ(e.text, "/a b.bms");
    ASSERT_TRUE(dev.PollEvent(e));
    EXPECT_EQ(e.wheel, 120);
    EXPECT_FALSE(dev.PollEvent(e));

    EXPECT_TRUE(dev.OpenVideo(587, 256));
    EXPECT_TRUE(dev.OpenAudio());
    dev.FailVideo(true);
    dev.FailAudio(true);
    EXPECT_FALSE(dev.OpenVideo(587, 256));
    EXPECT_FALSE(dev.OpenAudio());
    EXPECT_EQ(dev.RefreshRate(), 60);
    dev.SetRefreshRate(0);
    EXPECT_EQ(dev.RefreshRate(), 0);
    EXPECT_FALSE(dev.OpenFileDialog("/", "x.bms").has_value());
    dev.SetDialogResult("/songs/x.bms");
    EXPECT_EQ(dev.OpenFileDialog("/", ""), "/songs/x.bms");
}

TEST(PlatformHeadless, PresentUploadsOnlyChangedOrExposedFrames) {
    plat::HeadlessDevice dev;
    std::vector<uint32_t> frame(4 * 2, 0x112233);
    dev.Present(frame.data(), 4, 2);
    dev.Present(frame.data(), 4, 2);
    EXPECT_EQ(dev.PresentCount(), 2);
    EXPECT_EQ(dev.UploadCount(), 1);
    frame[3] = 0;
    dev.Present(frame.data(), 4, 2);
    EXPECT_EQ(dev.UploadCount(), 2);
    EXPECT_EQ(dev.LastFrame(), frame);
    EXPECT_EQ(dev.LastWidth(), 4);
    dev.PushEvent({plat::Event::Type::Expose, "", 0});
    plat::Event e{};
    dev.PollEvent(e);
    dev.Present(frame.data(), 4, 2);
    EXPECT_EQ(dev.UploadCount(), 3) << "an exposed window is drawn again";
    dev.Present(frame.data(), 2, 4);
    EXPECT_EQ(dev.UploadCount(), 4) << "same pixels, other shape";
    dev.Present(nullptr, 4, 2);
    EXPECT_EQ(dev.UploadCount(), 4);
}

TEST(PlatformHeadless, WindowStateAndMessageBoxes) {
    plat::HeadlessDevice dev;
    dev.ShowWindow();
    EXPECT_FALSE(dev.Shown()) << "no window yet";
    ASSERT_TRUE(dev.OpenVideo(587, 256));
    dev.ShowWindow();
    EXPECT_TRUE(dev.Shown());
    dev.SetCaption("Korvane 1.0");
    EXPECT_EQ(dev.Caption(), "Korvane 1.0");
    dev.SetWindowPos(10, 20);
    int x = 0, y = 0;
    dev.GetWindowPos(x, y);
    EXPECT_EQ(x, 10);
    EXPECT_EQ(y, 20);
    dev.SetScreenSize(800, 600);
    dev.GetScreenSize(x, y);
    EXPECT_EQ(x, 800);
    dev.SetAlwaysOnTop(true);
    EXPECT_TRUE(dev.AlwaysOnTop());
    testing::internal::CaptureStderr();
    dev.ShowMessageBox("Korvane", "Error 9");
    std::string err = testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find("Error 9"), std::string::npos);
    ASSERT_EQ(dev.MessageBoxes().size(), 1u);
    EXPECT_EQ(dev.MessageBoxes()[0], "Korvane\nError 9");
}
