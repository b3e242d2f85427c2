// The SDL device without a display: SDL's dummy drivers stand in for the screen and the sound
// card, missing drivers must turn into plain failures, and keys read by their Windows codes.
#include <SDL2/SDL.h>
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "platform/platform.h"
#include "support.h"

namespace plat {
bool SdlKeyDown(int vkCode);  // platform/sdl_keys.h wants SDL's include folder, tests do not
}

namespace {

// Sets environment variables for one test and puts the old values back.
struct ScopedEnv {
    std::vector<std::pair<std::string, std::optional<std::string>>> saved;
    ScopedEnv(std::initializer_list<std::pair<const char*, const char*>> vars) {
        for (auto [name, value] : vars) {
            const char* old = std::getenv(name);
            saved.emplace_back(name, old ? std::optional<std::string>(old) : std::nullopt);
            setenv(name, value, 1);
        }
    }
    ~ScopedEnv() {
        for (auto& [name, value] : saved)
            value ? setenv(name.c_str(), value->c_str(), 1) : unsetenv(name.c_str());
    }
};

// Each scancode held alone, written straight into SDL's key state, and the virtual keys that
// read as down (tests/data/keys/sdl_keys.txt: the code, then the scancodes with their names). This
// runs before any test opens a window: with no keyboard layout known yet, the letters come from the
// table by position, as they do under a layout without Latin letters.
TEST(PlatformSdl, KeysByTheirWindowsCodes) {
    int count = 0;
    Uint8* state = const_cast<Uint8*>(SDL_GetKeyboardState(&count));
    std::string table;
    for (int vk = -1; vk <= 256; ++vk) {
        std::string names;
        for (int sc = 0; sc < count; ++sc) {
            state[sc] = 1;
            std::string name = SDL_GetScancodeName(static_cast<SDL_Scancode>(sc));
            if (plat::SdlKeyDown(vk))
                names += " " + std::to_string(sc) + (name.empty() ? "" : " " + name);
            state[sc] = 0;
        }
        if (!names.empty()) table += std::to_string(vk) + ":" + names + "\n";
    }
    EXPECT_TRUE(testsupport::SameTextAsFile(testsupport::DataPath("keys/sdl_keys.txt"), table));
}

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
    dev->WaitVBlank();
    plat::Event e{};
    EXPECT_FALSE(dev->PollEvent(e));
    EXPECT_FALSE(dev->KeyDown(plat::vk::Space));
    EXPECT_FALSE(dev->IsActive());
    EXPECT_EQ(dev->RefreshRate(), 0);
    testing::internal::CaptureStderr();
    dev->ShowMessageBox("Korvane", "no display here");
    EXPECT_NE(testing::internal::GetCapturedStderr().find("no display here"), std::string::npos);
}

TEST(PlatformSdl, DummyVideoTakesFramesWithAndWithoutTheBlankWait) {
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
    for (int i = 0; i < 6; ++i) {
        if (i == 3) dev->SetVsync(true);  // switching makes a renderer that can, if needed
        frame[static_cast<size_t>(i)] = 0;
        dev->Present(frame.data(), 587, 256);
        dev->WaitVBlank();
    }
    dev->CloseVideo();
    EXPECT_FALSE(dev->KeyDown('A')) << "no window, no keys";
}

TEST(PlatformSdl, DummyAudioPullsFromTheMixerUntilClosed) {
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
    for (int i = 0; i < 500 && mixer.IsPlaying(id); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_FALSE(mixer.IsPlaying(id)) << "the audio thread consumed the sound";
    dev->CloseAudio();
    mixer.Play(id, 0);
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    EXPECT_TRUE(mixer.IsPlaying(id)) << "closed: nothing mixes any more";
}

}  // namespace
