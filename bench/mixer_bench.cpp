// The mixer's cost with many voices playing. The "core_share" counter is the fraction of one core
// that mixing takes per second of output (0.10 = 10 %); 256 voices must stay under 0.10.
#include <benchmark/benchmark.h>

#include <cstring>

#include "platform/mixer.h"
#include "platform/platform.h"

namespace {

std::shared_ptr<plat::Pcm> Sound(plat::SampleType type, int channels, int rate, int seconds) {
    auto pcm = std::make_shared<plat::Pcm>();
    pcm->type = type;
    pcm->channels = channels;
    pcm->rate = rate;
    pcm->data.resize(static_cast<size_t>(rate) * seconds * pcm->BlockAlign());
    uint32_t x = 1;
    for (uint8_t& b : pcm->data) b = static_cast<uint8_t>((x = x * 1103515245 + 12345) >> 24);
    if (type == plat::SampleType::F32)  // keep the floats finite and in range
        for (size_t at = 0; at + 4 <= pcm->data.size(); at += 4) {
            float v = static_cast<float>(pcm->data[at]) / 255.0f - 0.5f;
            std::memcpy(&pcm->data[at], &v, 4);
        }
    return pcm;
}

// Voices of mixed formats and rates, as a chart's key sounds are: mostly 16-bit 44.1 kHz,
// some 48 kHz, some mono, some 24-bit and float. Played as they are, the 48 and 22.05 kHz
// sounds are interpolated; `converted` has them converted to the output rate first, as the
// loader does.
void MixVoices(benchmark::State& state, bool converted) {
    const int voices = static_cast<int>(state.range(0));
    plat::Mixer mixer(44100);
    std::vector<std::shared_ptr<plat::Pcm>> sounds = {
        Sound(plat::SampleType::S16, 2, 44100, 4), Sound(plat::SampleType::S16, 1, 44100, 4),
        Sound(plat::SampleType::S16, 2, 48000, 4), Sound(plat::SampleType::S24, 2, 44100, 4),
        Sound(plat::SampleType::F32, 2, 44100, 4), Sound(plat::SampleType::U8, 1, 22050, 4)};
    if (converted)
        for (auto& sound : sounds) plat::ConvertToOutputRate(*sound);
    std::vector<plat::VoiceId> ids;
    for (int i = 0; i < voices; ++i) {
        plat::VoiceId id = mixer.Create(sounds[static_cast<size_t>(i) % sounds.size()]);
        mixer.SetAttenuation(id, -(i % 7) * 100);
        ids.push_back(id);
    }
    constexpr int kPeriod = 512;
    std::vector<float> out(2 * kPeriod);
    int64_t frames = 0;
    for (auto _ : state) {
        // Restart voices that ran out, so the count playing stays at `voices`.
        if (mixer.PlayingVoices() < voices)
            for (plat::VoiceId id : ids)
                if (!mixer.IsPlaying(id)) mixer.Play(id, 0);
        mixer.Mix(out.data(), kPeriod);
        benchmark::DoNotOptimize(out.data());
        frames += kPeriod;
    }
    // Seconds of CPU per second of audio.
    state.counters["core_share"] =
        benchmark::Counter(static_cast<double>(frames) / 44100.0,
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    state.SetItemsProcessed(frames * voices);
}

void MixManyVoices(benchmark::State& state) {
    MixVoices(state, false);
}
void MixManyConvertedVoices(benchmark::State& state) {
    MixVoices(state, true);
}

BENCHMARK(MixManyVoices)->Arg(1)->Arg(32)->Arg(256)->Unit(benchmark::kMicrosecond);
BENCHMARK(MixManyConvertedVoices)->Arg(256)->Unit(benchmark::kMicrosecond);

}  // namespace

// The one main() of the benchmark program; the other bench files only register benchmarks.
BENCHMARK_MAIN();
