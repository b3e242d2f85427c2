// The SDL device without a display: keys read by their Windows codes, and SDL's dummy sound card
// pulling from the mixer.
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

// Each scancode held alone, written straight into SDL's key state, and the virtual keys that
// read as down (tests/data/keys/sdl_keys.txt: the code, then the scancodes with their names).
// This runs before any test opens a window: with no keyboard layout known yet the letters come
// from the table by position, as they do under a layout without Latin letters.
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

TEST(PlatformSdl, DummyAudioPullsFromTheMixerUntilClosed) {
    auto dev = plat::MakeSdlDevice();
    ASSERT_TRUE(dev->OpenAudio()) << "SDL_AUDIODRIVER=dummy is expected";
    auto pcm = std::make_shared<plat::Pcm>();
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
