// Loads that chart files alone cannot show: a new request or the mouse wheel arriving while the
// lines are read, paths that are no chart file, inputs too big to keep as files, and titles in
// the encodings of the systems charts are written on (made from a table by iconv).
#include <iconv.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>

#include "support.h"

namespace {

using namespace modBMSLoad;

class ChartReading : public testsupport::Test {
  protected:
    void Load(const std::string& text) {
        testsupport::WriteFile(tmp / "chart.bms", text);
        LoadPath(tmp / "chart.bms");
    }
    void LoadPath(const std::string& path) {
        BMSFileName = path;
        modMain::PlayState = modMain::PS_LOAD;
        LoadBMS();
    }
};

TEST_F(ChartReading, ANewRequestDuringReadingAbandonsTheLoad) {
    testsupport::WriteFile(tmp / "second.bms", "#TITLE second\n#00111:01\n");
    dev->PushEvent({plat::Event::Type::DropFile, tmp / "second.bms"});
    Load("#TITLE first\n#00111:01\n");
    EXPECT_EQ(modMain::PlayState, modMain::PS_LOAD);
    EXPECT_EQ(BMSFileName, tmp / "second.bms");
    EXPECT_NE(Title, "first");  // reading stopped before the first line
    LoadBMS();                  // the next frame loads the new one
    EXPECT_EQ(modMain::PlayState, modMain::PS_PLAY);
    EXPECT_EQ(Title, "second");
}

// A clock that moves a millisecond at every reading, so the loader lets events through between
// lines, and a wheel notch that arrives at a chosen poll.
class TickingDevice : public plat::HeadlessDevice {
  public:
    int32_t Now() override { return clock++; }
    bool PollEvent(plat::Event& e) override {
        if (++polls == wheelAtPoll) PushEvent({plat::Event::Type::Wheel, "", -120});
        return HeadlessDevice::PollEvent(e);
    }
    int32_t clock = 0;
    int polls = 0, wheelAtPoll = 0;
};

// The wheel seeks inside a message pass; a seek while the lines are still being read would work
// on a half-built chart.
TEST_F(ChartReading, TheWheelDoesNotSeekInsideAChartStillBeingRead) {
    auto owned = std::make_unique<TickingDevice>();
    TickingDevice* ticking = owned.get();
    plat::Install(std::move(owned));
    std::string text = "#LNTYPE 1\r\n#BPM 120\r\n";
    for (int m = 0; m < 60; ++m) {
        char line[64];
        std::snprintf(line, sizeof line, "#%03d11:0101\r\n#%03d51:01000001\r\n", m, m);
        text += line;
    }
    Load(text);
    std::vector<ObjRecord> clean(Obj.data(), Obj.data() + Obj.UBound() + 1);
    ticking->wheelAtPoll = ticking->polls + 40;
    Obj.ReDim(256);  // bar lines keep fields of what their slot held: start as the first load did
    Load(text);
    ASSERT_GT(ticking->polls, ticking->wheelAtPoll);
    EXPECT_EQ(modMain::PlayState, modMain::PS_PLAY);
    EXPECT_EQ(modCount::CurrentMeasure, 0);
    EXPECT_EQ(modCount::PlayTime.raw, 0);
    ASSERT_EQ(Obj.UBound() + 1, static_cast<long>(clean.size()));
    for (size_t i = 0; i < clean.size(); ++i) {
        EXPECT_EQ(Obj[i].Enabled, clean[i].Enabled) << i;
        EXPECT_EQ(Obj[i].Kind, clean[i].Kind) << i;
    }
}

// The text in another encoding; empty when iconv cannot write it.
std::string Encode(const std::string& utf8, const std::string& to) {
    iconv_t cd = iconv_open(to.c_str(), "UTF-8");
    if (cd == reinterpret_cast<iconv_t>(-1)) return "";
    std::string out(utf8.size() * 4, '\0');
    char* in = const_cast<char*>(utf8.data());
    char* o = out.data();
    size_t inLeft = utf8.size(), outLeft = out.size();
    size_t r = iconv(cd, &in, &inLeft, &o, &outLeft);
    iconv_close(cd);
    if (r == static_cast<size_t>(-1)) return "";
    out.resize(out.size() - outLeft);
    return out;
}

TEST_F(ChartReading, TitlesReadBackInTheEncodingTheyWereWrittenIn) {
    std::ifstream table(testsupport::DataPath("chart/encodings/titles.tsv"));
    int rows = 0;
    for (std::string row; std::getline(table, row);) {
        if (row.empty() || row[0] == '#') continue;
        size_t t1 = row.find('\t'), t2 = row.find('\t', t1 + 1);
        std::string encoding = row.substr(0, t1), title = row.substr(t1 + 1, t2 - t1 - 1),
                    artist = row.substr(t2 + 1);
        std::string chart = "#PLAYER 1\r\n#GENRE Pop\r\n#TITLE " + title + "\r\n#ARTIST " + artist +
                            "\r\n#BPM 150\r\n#PLAYLEVEL 5\r\n#WAV01 kick.wav\r\n" +
                            "#00111:01010101\r\n";
        std::string bytes = Encode(chart, encoding);
        ASSERT_FALSE(bytes.empty()) << encoding << ": " << title;
        Load(bytes);
        EXPECT_EQ(Title, title) << encoding;
        EXPECT_EQ(Artist, artist) << encoding;
        ++rows;
    }
    EXPECT_GT(rows, 0);
}

// Too big to be a chart: refused before anything is read, as a chart that cannot be read.
TEST_F(ChartReading, AChartOver64MiBIsRefused) {
    std::string path = tmp / "huge.bms";
    testsupport::WriteFile(path, "#TITLE huge\r\n#00111:01\r\n");
    ASSERT_EQ(truncate(path.c_str(), (64 << 20) + 1), 0);
    EXPECT_THROW(LoadPath(path), plat::ProcessExit);
    EXPECT_NE(Title, "huge");
}

// The window system refuses a title that is not UTF-8; the path's stray bytes are replaced.
TEST_F(ChartReading, TheCaptionShowsAPathThatIsNotUtf8) {
    std::string folder = tmp / "caf\xE9";
    std::filesystem::create_directory(folder);
    testsupport::WriteFile(folder + "/a.bms", "#00111:01\r\n");
    LoadPath(folder + "/a.bms");
    EXPECT_EQ(dev->Caption(), "Korvane 1.0.0 - " + (tmp / "caf\uFFFD/a.bms"));
}

TEST_F(ChartReading, AMissingFileOrAFolderIsNotRead) {
    Title = "kept";
    LoadPath(tmp / "absent.bms");
    std::filesystem::create_directory(tmp / "folder.bms");
    LoadPath(tmp / "folder.bms");
    EXPECT_EQ(Title, "kept");
    EXPECT_EQ(modMain::PlayState, modMain::PS_LOAD);  // the request stays; nothing was read
}

// How fast they load is measured by the chart benchmarks.
TEST_F(ChartReading, BigInputsLoad) {
    std::string mb(1 << 20, ' '), data(1 << 20, '0');
    data.replace(data.size() - 2, 2, "01");
    Load("#TITLE " + std::string(1 << 20, 'x') + "\r\n#00111:" + data + "\r\n#" +
         std::string(1 << 20, 'Z') + "\r\n" + mb + "#00112:01" + mb + "\r\n");
    EXPECT_EQ(Title.size(), 1u << 20);
    EXPECT_EQ(ObjCount, 2);  // the last slot of #00111 and the note of #00112
    std::string text, comment = "* " + std::string(998, '-') + "\r\n";
    for (int m = 0; text.size() < (50u << 20); m = (m + 1) % 1000) {
        char head[16];
        std::snprintf(head, sizeof head, "#%03d11:", m);
        text += head + std::string(2000, '0') + "01\r\n" + comment;
    }
    Load(text);  // 50 MB
    EXPECT_EQ(modMain::PlayState, modMain::PS_PLAY);
    EXPECT_EQ(NoteCount[0], 1000);  // one note a measure: the lines repeat from measure 0
    EXPECT_EQ(MaxMeasure, 999);
    text.clear();
    for (int k = 0; k < 160000; ++k) text += "#00101:01\r\n";
    Load(text);  // one pile of background sounds, all kept, after the bar line of measure 1
    EXPECT_EQ(ObjCount, 160000);
    EXPECT_EQ(Obj[1].Channel, -1);
    EXPECT_EQ(Obj[1].Pos, Obj[2].Pos);
    EXPECT_EQ(Obj[160001].Channel, 1);
}

}  // namespace
