#include <fcntl.h>
#include <gtest/gtest.h>
#include <sndfile.h>
#include <sys/stat.h>

#include <cmath>
#include <cstring>
#include <random>

#include "platform/image_probe.h"
#include "platform/platform.h"
#include "platform_test_util.h"

using plattest::Put16;
using plattest::Put32;
using plattest::S16;
using plattest::TempDir;
using plattest::WavFile;
using plattest::WriteBytes;

namespace {

int OpenDescriptors() {
    int n = 0;
    for (int fd = 0; fd < 1024; ++fd)
        if (fcntl(fd, F_GETFD) != -1) ++n;
    return n;
}

// A 24-bit uncompressed BMP, rows bottom-up and padded to four bytes.
std::string Bmp(int w, int h, const std::vector<uint32_t>& xrgb) {
    int rowBytes = (w * 3 + 3) & ~3;
    std::string s = "BM";
    Put32(s, static_cast<uint32_t>(54 + rowBytes * h));
    Put32(s, 0);
    Put32(s, 54);
    Put32(s, 40);
    Put32(s, static_cast<uint32_t>(w));
    Put32(s, static_cast<uint32_t>(h));
    Put16(s, 1);
    Put16(s, 24);
    for (int i = 0; i < 6; ++i) Put32(s, 0);
    for (int y = h - 1; y >= 0; --y) {
        std::string row;
        for (int x = 0; x < w; ++x) {
            uint32_t p = xrgb[static_cast<size_t>(y * w + x)];
            row += static_cast<char>(p & 0xFF);
            row += static_cast<char>((p >> 8) & 0xFF);
            row += static_cast<char>((p >> 16) & 0xFF);
        }
        row.resize(static_cast<size_t>(rowBytes), '\0');
        s += row;
    }
    return s;
}

}  // namespace

TEST(PlatformDecodeSound, PcmKeepsItsSampleWidth) {
    TempDir dir;
    struct Case {
        int bits;
        plat::SampleType type;
    } cases[] = {{8, plat::SampleType::U8},
                 {16, plat::SampleType::S16},
                 {24, plat::SampleType::S24},
                 {32, plat::SampleType::S32}};
    for (const Case& c : cases) {
        std::string data;
        for (int i = 0; i < 2 * 10 * c.bits / 8; ++i) data += static_cast<char>(i * 7);
        std::string path = dir / ("s" + std::to_string(c.bits) + ".wav");
        WriteBytes(path, WavFile(1, 2, 22050, c.bits, data));
        auto pcm = plat::DecodeSound(path);
        ASSERT_TRUE(pcm) << c.bits;
        EXPECT_EQ(pcm->type, c.type);
        EXPECT_EQ(pcm->channels, 2);
        EXPECT_EQ(pcm->rate, 22050);
        EXPECT_EQ(pcm->BitsPerSample(), c.bits);
        EXPECT_EQ(pcm->AvgBytesPerSec(), 22050 * 2 * c.bits / 8);
        // The bytes come through unchanged: the mixer reads exactly what the file held.
        EXPECT_EQ(std::string(pcm->data.begin(), pcm->data.end()), data) << c.bits;
    }
}

TEST(PlatformDecodeSound, FloatManyChannelsAndHighRates) {
    TempDir dir;
    std::string data;
    for (float v : {0.5f, -0.25f, INFINITY, 0.125f}) {
        uint32_t bits;
        std::memcpy(&bits, &v, 4);
        Put32(data, bits);
    }
    WriteBytes(dir / "f.wav", WavFile(3, 1, 44100, 32, data));
    auto f = plat::DecodeSound(dir / "f.wav");
    ASSERT_TRUE(f);
    EXPECT_EQ(f->type, plat::SampleType::F32);
    float got[4];
    ASSERT_EQ(f->data.size(), sizeof got);
    std::memcpy(got, f->data.data(), sizeof got);
    EXPECT_FLOAT_EQ(got[0], 0.5f);
    EXPECT_FLOAT_EQ(got[1], -0.25f);
    EXPECT_FLOAT_EQ(got[2], 0.0f) << "non-finite samples become silence";

    WriteBytes(dir / "8ch.wav", WavFile(1, 8, 192000, 16, S16(std::vector<int16_t>(8 * 100, 5))));
    auto many = plat::DecodeSound(dir / "8ch.wav");
    ASSERT_TRUE(many);
    EXPECT_EQ(many->channels, 8);
    EXPECT_EQ(many->rate, 192000);
    EXPECT_EQ(many->data.size(), 1600u);
}

// Sounds longer than any read buffer, with header chunks to skip and compressed framing, come
// through sample for sample, and one whose data chunk claims more than the file holds gives what
// is there.
TEST(PlatformDecodeSound, LongSoundsReadWholeWhateverTheFileLayout) {
    TempDir dir;
    std::vector<int16_t> samples(2 * 50000);
    for (size_t i = 0; i < samples.size(); ++i)
        samples[i] = static_cast<int16_t>(static_cast<int>(i * 7919 % 65536) - 32768);
    std::string pcm = S16(samples);
    std::string plain = WavFile(1, 2, 44100, 16, pcm);

    // A 10,000-byte chunk between "fmt " and "data", as tagging tools write them.
    std::string chunks = plain.substr(12, 24) + "LIST";  // "fmt " and its body, then the tags
    Put32(chunks, 10000);
    chunks += std::string(10000, 'x') + plain.substr(36);
    std::string tagged = "RIFF";
    Put32(tagged, static_cast<uint32_t>(4 + chunks.size()));
    WriteBytes(dir / "tagged.wav", tagged + "WAVE" + chunks);

    SF_INFO info{};
    info.samplerate = 44100;
    info.channels = 2;
    info.format = SF_FORMAT_FLAC | SF_FORMAT_PCM_16;
    SNDFILE* flac = sf_open((dir / "long.flac").c_str(), SFM_WRITE, &info);
    ASSERT_TRUE(flac);
    ASSERT_EQ(sf_write_short(flac, samples.data(), static_cast<sf_count_t>(samples.size())),
              static_cast<sf_count_t>(samples.size()));
    sf_close(flac);

    for (const char* name : {"tagged.wav", "long.flac"}) {
        auto got = plat::DecodeSound(dir / name);
        ASSERT_TRUE(got) << name;
        EXPECT_EQ(got->type, plat::SampleType::S16) << name;
        EXPECT_TRUE(std::string(got->data.begin(), got->data.end()) == pcm) << name;
    }

    WriteBytes(dir / "cut.wav", plain.substr(0, plain.size() - 1001));  // half a frame too
    auto cut = plat::DecodeSound(dir / "cut.wav");
    ASSERT_TRUE(cut);
    EXPECT_EQ(cut->data.size(), (pcm.size() - 1001) / 4 * 4);
    EXPECT_TRUE(std::string(cut->data.begin(), cut->data.end()) == pcm.substr(0, cut->data.size()));
}

TEST(PlatformDecodeSound, BadFilesGiveNothingAndLeakNoDescriptors) {
    TempDir dir;
    std::string good = WavFile(1, 1, 44100, 16, S16({1, 2, 3, 4}));
    WriteBytes(dir / "empty.wav", "");
    WriteBytes(dir / "cut.wav", good.substr(0, 30));
    WriteBytes(dir / "noframes.wav", WavFile(1, 1, 44100, 16, ""));
    WriteBytes(dir / "zerorate.wav", WavFile(1, 1, 0, 16, S16({1, 2})));
    WriteBytes(dir / "text.wav", "#TITLE not a sound at all\r\n");
    std::mt19937 rng(7);
    std::string noise(4096, '\0');
    for (char& c : noise) c = static_cast<char>(rng());
    WriteBytes(dir / "noise.ogg", noise);
    mkdir((dir / "folder.wav").c_str(), 0755);
    mkfifo((dir / "fifo.wav").c_str(), 0644);  // would block a decoder that opened it
    int before = OpenDescriptors();
    for (const char* name : {"empty.wav", "cut.wav", "noframes.wav", "zerorate.wav", "text.wav",
                             "noise.ogg", "folder.wav", "fifo.wav", "missing.wav"})
        EXPECT_FALSE(plat::DecodeSound(dir / name).has_value()) << name;
    EXPECT_EQ(OpenDescriptors(), before);
}

TEST(PlatformDecodeSound, RandomCorruptionOfAValidFileNeverCrashes) {
    TempDir dir;
    std::vector<int16_t> samples(2000);
    for (size_t i = 0; i < samples.size(); ++i) samples[i] = static_cast<int16_t>(i * 37);
    std::string good = WavFile(1, 2, 44100, 16, S16(samples));
    std::mt19937 rng(12345);
    for (int round = 0; round < 80; ++round) {
        std::string bad = good;
        int flips = 1 + static_cast<int>(rng() % 8);
        for (int i = 0; i < flips; ++i) bad[rng() % 64] = static_cast<char>(rng());
        if (rng() % 3 == 0) bad.resize(rng() % bad.size());
        WriteBytes(dir / "x.wav", bad);
        auto pcm = plat::DecodeSound(dir / "x.wav");
        if (pcm) {
            EXPECT_GT(pcm->channels, 0);
            EXPECT_GT(pcm->rate, 0);
            EXPECT_FALSE(pcm->data.empty());
            EXPECT_EQ(pcm->data.size() % pcm->BlockAlign(), 0u);
        }
    }
}

TEST(PlatformDecodeImage, BmpAndPngWithGreyToBlack) {
    TempDir dir;
    std::vector<uint32_t> px = {0x101010, 0x111010, 0x0A0B0C, 0xFF8000, 0x000000, 0x102030};
    WriteBytes(dir / "a.bmp", Bmp(3, 2, px));
    auto plain = plat::DecodeImage(dir / "a.bmp", false);
    ASSERT_TRUE(plain);
    EXPECT_EQ(plain->width, 3);
    EXPECT_EQ(plain->height, 2);
    EXPECT_EQ(plain->pixels, px);
    auto keyed = plat::DecodeImage(dir / "a.bmp", true);
    ASSERT_TRUE(keyed);
    std::vector<uint32_t> expected = {0, 0x111010, 0, 0xFF8000, 0, 0x102030};
    EXPECT_EQ(keyed->pixels, expected) << "only pixels with all of r, g, b <= 16 turn black";

    // PNG written by WritePng reads back the same; the name's extension does not matter.
    plat::Image img{2, 2, {0x123456, 0xFFFFFF, 0x000001, 0xABCDEF}};
    ASSERT_TRUE(plat::WritePng(dir / "b.bmp", img));
    auto back = plat::DecodeImage(dir / "b.bmp", false);
    ASSERT_TRUE(back);
    EXPECT_EQ(back->pixels, img.pixels);
    EXPECT_FALSE(plat::WritePng(dir / "c.png", plat::Image{2, 2, {1, 2, 3}}));
    EXPECT_FALSE(plat::WritePng(dir / "no/such/dir.png", img));
}

TEST(PlatformDecodeImage, BadAndHugeImagesGiveNothing) {
    TempDir dir;
    WriteBytes(dir / "empty.png", "");
    WriteBytes(dir / "text.bmp", "not an image");
    std::string bmp = Bmp(4, 4, std::vector<uint32_t>(16, 0xFFFFFF));
    WriteBytes(dir / "cut.bmp", bmp.substr(0, 40));
    // Headers that claim pictures far beyond the limit are refused before decoding.
    std::string hugeBmp = bmp;
    hugeBmp[18] = hugeBmp[19] = hugeBmp[22] = hugeBmp[23] = '\x7F';
    WriteBytes(dir / "huge.bmp", hugeBmp);
    std::string png = "\x89PNG\r\n\x1a\n";
    png += std::string("\0\0\0\x0DIHDR", 8);
    png += std::string("\0\x01\x86\xA0\0\x01\x86\xA0\x08\x02\0\0\0", 13);  // 100000 x 100000
    png += std::string(4, '\0');
    WriteBytes(dir / "huge.png", png);
    mkdir((dir / "folder.png").c_str(), 0755);
    for (const char* name :
         {"empty.png", "text.bmp", "cut.bmp", "huge.bmp", "huge.png", "folder.png", "none.png"})
        EXPECT_FALSE(plat::DecodeImage(dir / name, true).has_value()) << name;
}

TEST(PlatformDecodeImage, HeaderProbeReadsTheStatedSize) {
    std::string jpeg =
        std::string("\xFF\xD8\xFF\xE0\x00\x04\x00\x00\xFF\xC0\x00\x11\x08\x01\x20\x02\x80", 17);
    auto j = plat::ProbeImageSize(jpeg);
    ASSERT_TRUE(j);
    EXPECT_EQ(j->width, 640);
    EXPECT_EQ(j->height, 288);
    auto g = plat::ProbeImageSize(std::string("GIF89a\x10\x00\x20\x00", 10));
    ASSERT_TRUE(g);
    EXPECT_EQ(g->width, 16);
    EXPECT_EQ(g->height, 32);
    EXPECT_FALSE(plat::ProbeImageSize("\xFF\xD8\xFF").has_value());
    EXPECT_TRUE(plat::ImageSizeAllowed(16384, 4096));
    EXPECT_FALSE(plat::ImageSizeAllowed(16385, 1));
    EXPECT_FALSE(plat::ImageSizeAllowed(16384, 16384)) << "more than 64 Mpixel";
    EXPECT_FALSE(plat::ImageSizeAllowed(0, 10));
}

TEST(PlatformRenderText, WhiteOnBlackSizedToTheText) {
    auto shortText = plat::RenderText("A", "");
    auto longText = plat::RenderText("A longer title \xE3\x83\x86\xE3\x82\xB9\xE3\x83\x88", "");
    ASSERT_TRUE(shortText);
    ASSERT_TRUE(longText);
    EXPECT_GT(longText->width, shortText->width);
    EXPECT_GE(shortText->height, 12);
    EXPECT_LE(shortText->height, 24);
    uint32_t brightest = 0;
    for (uint32_t p : longText->pixels) {
        uint32_t r = p >> 16, g = (p >> 8) & 0xFF, b = p & 0xFF;
        EXPECT_TRUE(r == g && g == b) << "grey levels only";
        brightest = std::max(brightest, r);
    }
    EXPECT_EQ(brightest, 255u);
    EXPECT_EQ(longText->pixels.front(), 0u) << "black background";
    // A face that is not installed falls back; empty text cannot make a surface.
    EXPECT_TRUE(plat::RenderText("x", "No-Such:Face,At All").has_value());
    EXPECT_FALSE(plat::RenderText("", "").has_value());
    EXPECT_TRUE(plat::RenderText("bad \xFF bytes", "").has_value());
}
