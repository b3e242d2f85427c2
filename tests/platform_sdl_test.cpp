// The SDL device without a display: SDL's dummy drivers stand in for the screen and the sound
// card, and missing drivers must turn into plain failures.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <thread>

#include "platform/platform.h"

namespace {

// Sets environment variables for one test and puts the old values back.
class ScopedEnv {
public:
    ScopedEnv(std::initializer_list<std::pair<const char*, const char*>> vars) {
        for (auto [name, value] : vars) {
            const char* old = std::getenv(name);
            saved_.emplace_back(name, old ? std::optional<std::string>(old) : std::nullopt);
            setenv(name, value, 1);
        }
    }
    ~ScopedEnv() {
        for (auto& [name, value] : saved_)
            value ? setenv(name.c_str(), value->c_str(), 1) : unsetenv(name.c_str());
    }

private:
    std::vector<std::pair<std::string, std::optional<std::string>>> saved_;
};

}  // namespace

TEST(PlatformSdl, MissingDriversMakeOpeningFail) {
    ScopedEnv env({{"SDL_VIDEODRIVER", "no-such-driver"},
                   {"SDL_AUDIODRIVER", "no-such-driver"},
                   {"KORVANE_NO_MESSAGEBOX", "1"}});
    auto dev = plat::MakeSdlDevice();
    EXPECT_FALSE(dev->OpenVideo(587, 256));
    EXPECT_FALSE(dev->OpenAudio());
    // Everything else stays harmless without a window.
    std::vector<uint32_t> frame(587 * 256);
    dev->Present(frame.data(), 587, 256);
    plat::Event e{};
    EXPECT_FALSE(dev->PollEvent(e));
    EXPECT_FALSE(dev->KeyDown(plat::vk::Space));
    EXPECT_FALSE(dev->IsActive());
    EXPECT_EQ(dev->RefreshRate(), 0);
    testing::internal::CaptureStderr();
    dev->ShowMessageBox("Korvane", "no display here");
    EXPECT_NE(testing::internal::GetCapturedStderr().find("no display here"), std::string::npos);
}

TEST(PlatformSdl, DummyVideoShowsFramesAndPacesTheLoop) {
    ScopedEnv env({{"SDL_VIDEODRIVER", "dummy"}});
    auto dev = plat::MakeSdlDevice();
    dev->SetCaption("Korvane test");
    ASSERT_TRUE(dev->OpenVideo(587, 256));
    EXPECT_EQ(dev->Caption(), "Korvane test");
    dev->ShowWindow();
    int w = 0, h = 0;
    dev->GetScreenSize(w, h);
    EXPECT_GT(w, 0);
    std::vector<uint32_t> frame(587 * 256, 0x123456);
    auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < 6; ++i) {
        if (i == 3) dev->SetVsync(true);  // switching makes a renderer that can, if needed
        frame[static_cast<size_t>(i)] = 0;
        dev->Present(frame.data(), 587, 256);
        dev->Present(frame.data(), 587, 256);
        dev->WaitVBlank();
    }
    auto took = std::chrono::steady_clock::now() - start;
    // Six blanks at 60 Hz or more: about 100 ms, never a busy loop and never stuck.
    EXPECT_GT(took, std::chrono::milliseconds(60));
    EXPECT_LT(took, std::chrono::milliseconds(1000));
    dev->CloseVideo();
}

TEST(PlatformSdl, DummyAudioPullsFromTheMixerInRealTime) {
    ScopedEnv env({{"SDL_AUDIODRIVER", "dummy"}});
    auto dev = plat::MakeSdlDevice();
    ASSERT_TRUE(dev->OpenAudio());
    auto pcm = std::make_shared<plat::Pcm>();
    pcm->type = plat::SampleType::S16;
    pcm->channels = 1;
    pcm->rate = 44100;
    pcm->data.assign(2 * 4410, 0);  // 100 ms
    plat::Mixer& mixer = dev->GetMixer();
    plat::VoiceId id = mixer.Create(pcm);
    mixer.Play(id, 0);
    for (int i = 0; i < 100 && mixer.IsPlaying(id); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_FALSE(mixer.IsPlaying(id)) << "the audio thread consumed the sound";
    dev->CloseAudio();
    mixer.Play(id, 0);
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_TRUE(mixer.IsPlaying(id)) << "closed: nothing mixes any more";
}
