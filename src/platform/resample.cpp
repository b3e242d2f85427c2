// Band-limited conversion of whole decoded sounds to the output rate through libsoxr. It runs on
// the decoding threads, once per sound, so the mixer's audio thread only copies samples at normal
// speed. Old charts are full of 11 and 22 kHz keysounds, which the mixer's own linear
// interpolation would fill with images of their spectrum.
#include <soxr.h>

#include <algorithm>
#include <cstring>
#include <memory>

#include "platform/platform.h"

namespace plat {

namespace {

// A converted sound larger than this stays as decoded: the same bound as the decoder's.
constexpr uint64_t kMaxConvertedBytes = uint64_t(1) << 30;
// Input frames handed to the resampler at a time.
constexpr size_t kChunkFrames = 4096;

int32_t BytesOf(SampleType type) {
    Pcm shape;
    shape.type = type;
    return shape.BytesPerSample();
}

// 8- and 16-bit sounds are kept as 16-bit, no coarser than the file and half the memory of float;
// wider ones as float, which holds 24-bit samples exactly.
SampleType ConvertedType(SampleType type) {
    return type == SampleType::U8 || type == SampleType::S16 ? SampleType::S16 : SampleType::F32;
}

// What the resampler reads; U8 and S24 it cannot read, they are widened to float a chunk at a
// time.
soxr_datatype_t InputType(SampleType type) {
    switch (type) {
        case SampleType::S16:
            return SOXR_INT16_I;
        case SampleType::S32:
            return SOXR_INT32_I;
        default:
            return SOXR_FLOAT32_I;
    }
}

bool ReadAsIs(SampleType type) {
    return type == SampleType::S16 || type == SampleType::S32 || type == SampleType::F32;
}

void Widen(SampleType type, const uint8_t* in, size_t samples, float* out) {
    if (type == SampleType::U8) {
        for (size_t i = 0; i < samples; ++i)
            out[i] = (static_cast<int32_t>(in[i]) - 128) * (1.0f / 128.0f);
        return;
    }
    for (size_t i = 0; i < samples; ++i, in += 3) {
        int32_t v = static_cast<int32_t>((uint32_t(in[0]) << 8) | (uint32_t(in[1]) << 16) |
                                         (uint32_t(in[2]) << 24)) >>
                    8;
        out[i] = static_cast<float>(v) * (1.0f / 8388608.0f);
    }
}

using Resampler = std::unique_ptr<soxr, decltype(&soxr_delete)>;

Resampler MakeResampler(const Pcm& pcm, SampleType to) {
    soxr_io_spec_t io =
        soxr_io_spec(InputType(pcm.type), to == SampleType::S16 ? SOXR_INT16_I : SOXR_FLOAT32_I);
    // Dither would make every load of a sound sound slightly different.
    io.flags |= SOXR_NO_DITHER;
    soxr_quality_spec_t quality = soxr_quality_spec(SOXR_HQ, 0);
    soxr_runtime_spec_t runtime = soxr_runtime_spec(1);  // the loader already runs one per core
    soxr_error_t error = nullptr;
    Resampler made(soxr_create(pcm.rate, kOutputRate, static_cast<unsigned>(pcm.channels), &error,
                               &io, &quality, &runtime),
                   soxr_delete);
    if (error) made.reset();
    return made;
}

// Feeds the whole sound through the resampler and writes exactly `outFrames` frames to `out`
// (the resampler's own count may differ by a frame; the rest is silence). False on an error.
bool Resample(soxr_t resampler, const Pcm& pcm, uint8_t* out, uint64_t outFrames,
              int32_t outAlign) {
    thread_local std::vector<float> wide;
    const size_t channels = static_cast<size_t>(pcm.channels);
    const size_t inAlign = static_cast<size_t>(pcm.BlockAlign());
    const uint64_t inFrames = pcm.FileFrames();
    const bool asIs = ReadAsIs(pcm.type);
    if (!asIs) wide.resize(kChunkFrames * channels);
    uint64_t in = 0, made = 0;
    while (made < outFrames) {
        size_t take = static_cast<size_t>(std::min<uint64_t>(kChunkFrames, inFrames - in));
        const uint8_t* at = pcm.data.data() + in * inAlign;
        const void* chunk = at;
        if (!asIs) {
            Widen(pcm.type, at, take * channels, wide.data());
            chunk = wide.data();
        }
        size_t used = 0, got = 0;
        // No input left means the end of the stream: the resampler then gives out what it holds.
        if (soxr_process(resampler, take ? chunk : nullptr, take, &used, out + made * outAlign,
                         static_cast<size_t>(outFrames - made), &got))
            return false;
        in += used;
        made += got;
        if (take == 0 && got == 0) break;
    }
    std::memset(out + made * outAlign, 0, static_cast<size_t>((outFrames - made) * outAlign));
    return true;
}

}  // namespace

uint64_t HeldBytes(const SoundHeader& header) {
    Pcm shape;
    shape.type = header.type;
    shape.channels = header.channels;
    shape.rate = header.rate;
    if (header.rate == kOutputRate || header.rate <= 0 || header.channels <= 0)
        return header.frames * static_cast<uint64_t>(shape.BlockAlign());
    const uint64_t frames = PlayedFrames(header.frames, header.rate, kOutputRate);
    return frames * static_cast<uint64_t>(BytesOf(ConvertedType(header.type)) * header.channels);
}

void ConvertToOutputRate(Pcm& pcm) {
    media::Reservation budget;
    ConvertToOutputRate(pcm, budget);
}

void ConvertToOutputRate(Pcm& pcm, media::Reservation& budget) {
    if (pcm.converted.rate || pcm.rate == kOutputRate || pcm.rate <= 0 || pcm.channels <= 0) return;
    const uint64_t frames = pcm.FileFrames();
    if (frames == 0) return;
    const SampleType to = ConvertedType(pcm.type);
    const int32_t outAlign = BytesOf(to) * pcm.channels;
    // As many frames as the mixer would play of the file's at its own rate, so the converted
    // sound lasts to the same output frame.
    const uint64_t outFrames = PlayedFrames(frames, pcm.rate, kOutputRate);
    if (outFrames == 0 || outFrames > kMaxConvertedBytes / static_cast<uint32_t>(outAlign)) return;
    Resampler resampler = MakeResampler(pcm, to);
    if (!resampler) return;
    const size_t outBytes = static_cast<size_t>(outFrames) * static_cast<size_t>(outAlign);
    if (!budget.Add(outBytes)) throw media::OverBudget();
    PcmBytes out;
    out.resize(outBytes);
    if (!Resample(resampler.get(), pcm, out.data(), outFrames, outAlign)) {
        budget.Drop(outBytes);
        return;
    }
    pcm.data.swap(out);
    budget.Drop(out.capacity());
    pcm.converted = Pcm::Conversion{kOutputRate, to, frames};
}

}  // namespace plat
