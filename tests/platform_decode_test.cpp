// Decoding sounds and pictures. Every sound file under tests/data/sound is decoded and loaded
// into a sound slot, and the outcome is compared with tests/data/sound/decode.txt; bad files leak
// no descriptors, damaged files never crash, and pictures come back with the pixels they hold.
#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <random>

#include "platform/image_probe.h"
#include "sound/clsSoundBuffer.h"
#include "support.h"

namespace {

namespace fs = std::filesystem;
using testsupport::DataPath;

// A sound slot loaded under that name, at once or by its header with the decoding queued.
std::string SlotHolds(const std::string& path, bool queued) {
    if (queued) modSound::BeginLoads();
    clsSoundBuffer& slot = modSound::WavBuffer[1];
    char text[64] = "empty";
    if (slot.init(path))
        std::snprintf(text, sizeof text, "%d ch %d Hz %.1f ms", slot.Format().Channels,
                      slot.Format().SamplesPerSec, slot.Length());
    slot.clear();
    if (queued) modSound::JoinPendingLoads();
    return text;
}

// What the decoder gives (format, frames and a hash of the bytes, or the first float samples)
// and what a sound slot holds once loaded under that name.
std::string Describe(const std::string& path) {
    const char* types[] = {"U8", "S16", "S24", "S32", "F32"};
    char text[160] = "nothing";
    if (std::optional<plat::Pcm> pcm = plat::DecodeSound(path)) {
        uint32_t hash = 2166136261u;  // FNV-1a
        for (uint8_t b : pcm->data) hash = (hash ^ b) * 16777619u;
        int n =
            std::snprintf(text, sizeof text, "%s %d ch %d Hz %zu frames, ", types[int(pcm->type)],
                          pcm->channels, pcm->rate, pcm->data.size() / pcm->BlockAlign());
        float f[4] = {};
        std::memcpy(f, pcm->data.data(), std::min<size_t>(16, pcm->data.size()));
        if (pcm->type == plat::SampleType::F32)
            std::snprintf(text + n, sizeof text - n, "first %.3f %.3f %.3f %.3f", f[0], f[1], f[2],
                          f[3]);
        else
            std::snprintf(text + n, sizeof text - n, "data %08x", hash);
    }
    return std::string(text) + "; slot " + SlotHolds(path, false);
}

// The sound files of the data folder, and a folder named like one.
std::vector<std::string> SoundFiles() {
    std::vector<std::string> files;
    for (const auto& e : fs::recursive_directory_iterator(DataPath("sound"))) {
        std::string ext = e.path().extension().string();
        if (ext == ".wav" || ext == ".flac" || ext == ".ogg")
            files.push_back(fs::relative(e.path(), DataPath("sound")).string());
    }
    std::sort(files.begin(), files.end());
    return files;
}

int OpenDescriptors() {
    int n = 0;
    for (int fd = 0; fd < 1024; ++fd) n += fcntl(fd, F_GETFD) != -1;
    return n;
}

class PlatformDecode : public testsupport::Test {};

TEST_F(PlatformDecode, EverySoundFileDecodesAsExpected) {
    std::string report;
    for (const std::string& f : SoundFiles()) {
        std::string path = DataPath("sound/" + f);
        report += f + ": " + Describe(path);
        // Read by its header, a slot holds what the decode will give, unless the decode fails.
        std::string byHeader = SlotHolds(path, true);
        if (byHeader != SlotHolds(path, false)) report += "; by its header " + byHeader;
        report += "\n";
    }
    EXPECT_TRUE(testsupport::SameTextAsFile(DataPath("sound/decode.txt"), report));
}

TEST_F(PlatformDecode, SoundFilesLeakNoDescriptorsAndNothingWaitsOnAPipe) {
    mkfifo((tmp / "fifo.wav").c_str(), 0644);  // would block a decoder that opened it
    int before = OpenDescriptors();
    EXPECT_FALSE(plat::DecodeSound(tmp / "fifo.wav").has_value());
    EXPECT_FALSE(plat::DecodeSound(tmp / "missing.wav").has_value());
    for (const std::string& f : SoundFiles()) plat::DecodeSound(DataPath("sound/" + f));
    EXPECT_EQ(OpenDescriptors(), before);
}

TEST_F(PlatformDecode, RandomDamageToAValidFileNeverCrashes) {
    std::string good = testsupport::ReadFile(DataPath("sound/formats/s16.wav"));
    std::mt19937 rng(12345);
    for (int round = 0; round < 80; ++round) {
        std::string bad = good;
        for (int i = 1 + int(rng() % 8); i > 0; --i) bad[rng() % 64] = static_cast<char>(rng());
        if (rng() % 3 == 0) bad.resize(rng() % bad.size());
        testsupport::WriteFile(tmp / "x.wav", bad);
        if (auto pcm = plat::DecodeSound(tmp / "x.wav")) {
            EXPECT_GT(pcm->channels, 0);
            EXPECT_GT(pcm->rate, 0);
            EXPECT_FALSE(pcm->data.empty());
            EXPECT_EQ(pcm->data.size() % pcm->BlockAlign(), 0u);
        }
    }
}

TEST_F(PlatformDecode, PicturesKeepTheirPixelsNearBlackCanTurnBlackAndAnyTextRenders) {
    plat::Image img{3, 2, {0x101010, 0x111010, 0x0A0B0C, 0xFF8000, 0x000000, 0x102030}};
    ASSERT_TRUE(plat::WritePng(tmp / "a.bmp", img));  // the name's extension does not matter
    EXPECT_EQ(plat::DecodeImage(tmp / "a.bmp", false)->pixels, img.pixels);
    std::vector<uint32_t> keyed = {0, 0x111010, 0, 0xFF8000, 0, 0x102030};  // r, g, b all <= 16
    EXPECT_EQ(plat::DecodeImage(tmp / "a.bmp", true)->pixels, keyed);
    EXPECT_FALSE(plat::WritePng(tmp / "c.png", plat::Image{2, 2, {1, 2, 3}}));
    EXPECT_FALSE(plat::WritePng(tmp / "no/such/dir.png", img));
    // Text in a face that is not installed, or with bytes that are no UTF-8, still renders.
    EXPECT_TRUE(plat::RenderText("x", "No-Such:Face,At All").has_value());
    EXPECT_TRUE(plat::RenderText("bad \xFF bytes", "").has_value());
    EXPECT_FALSE(plat::RenderText("", "").has_value());
}

TEST_F(PlatformDecode, BadAndHugePicturesGiveNothing) {
    testsupport::WriteFile(tmp / "empty.png", "");
    testsupport::WriteFile(tmp / "text.bmp", "not an image");
    std::string png = "\x89PNG\r\n\x1a\n" + std::string("\0\0\0\x0DIHDR", 8) +
                      std::string("\0\x01\x86\xA0\0\x01\x86\xA0\x08\x02\0\0\0", 13) +  // 100000^2
                      std::string(4, '\0');
    testsupport::WriteFile(tmp / "huge.png", png);
    fs::create_directory(tmp / "folder.png");
    for (const char* name : {"empty.png", "text.bmp", "huge.png", "folder.png", "none.png"})
        EXPECT_FALSE(plat::DecodeImage(tmp / name, true).has_value()) << name;
    // Sizes come from the header alone, and the limits hold before anything is decoded.
    auto jpeg = plat::ProbeImageSize(
        std::string("\xFF\xD8\xFF\xE0\x00\x04\x00\x00\xFF\xC0\x00\x11\x08\x01\x20\x02\x80", 17));
    ASSERT_TRUE(jpeg);
    EXPECT_EQ(jpeg->width * 1000 + jpeg->height, 640288);
    auto gif = plat::ProbeImageSize(std::string("GIF89a\x10\x00\x20\x00", 10));
    ASSERT_TRUE(gif);
    EXPECT_EQ(gif->width * 1000 + gif->height, 16032);
    EXPECT_FALSE(plat::ProbeImageSize("\xFF\xD8\xFF").has_value());
    EXPECT_TRUE(plat::ImageSizeAllowed(16384, 4096));
    EXPECT_FALSE(plat::ImageSizeAllowed(16385, 1));
    EXPECT_FALSE(plat::ImageSizeAllowed(16384, 16384));  // more than 64 Mpixel
    EXPECT_FALSE(plat::ImageSizeAllowed(0, 10));
}

}  // namespace
