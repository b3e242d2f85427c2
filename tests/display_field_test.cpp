// The play field and the frame: notes, long notes, bombs, judgements, beams, gauge, background
// animation and the composition by program state.
#include "display/draw_internal.h"
#include "display/modDraw.h"
#include "display_fixture.h"

namespace {

using namespace display_test;
using modBMSLoad::Obj;
using modBMSLoad::ObjRecord;
using modDraw::Skin;
using modMain::Settings;
using vb::Currency;

constexpr uint32_t kWhite = 0x00FFFFFF;

class Field : public DisplayTest {
  protected:
    void SetUp() override {
        DisplayTest::SetUp();
        const int sizes[4][2] = {{331, 256}, {140, 224}, {241, 256}, {227, 577}};
        for (int i = 0; i < 4; ++i)
            ASSERT_TRUE(Skin[i].initFromPictureBox(Tagged(sizes[i][0], sizes[i][1])));
        plat::Image font{257, 34, std::vector<uint32_t>(257 * 34, kWhite)};
        ASSERT_TRUE(modDraw::FontSurface.initFromPictureBox(font));
        modBMSLoad::Obj.ReDim(-1);
        modMain::PlayState = modMain::PS_PLAY;
    }
    void AddObj(int channel, int kind, double pos, int link = 0) {
        long n = Obj.UBound() + 1;
        Obj.ReDimPreserve(n);
        ObjRecord& o = Obj[n];
        o.Enabled = -1;
        o.Channel = static_cast<vb::Integer>(channel);
        o.Kind = kind;
        o.Pos = Currency::FromDouble(pos);
        o.Link = link;
    }
    static bool InRows(uint32_t p, int x0, int x1, int y0, int y1) {
        return p != kGuard && TagX(p) >= x0 && TagX(p) < x1 && TagY(p) >= y0 && TagY(p) < y1;
    }
    static int WhiteIn(int l, int t, int r, int b) {
        int n = 0;
        for (int y = t; y < b; ++y)
            for (int x = l; x < r; ++x) n += At(x, y) == kWhite;
        return n;
    }
};

TEST_F(Field, NotesScrollByHiSpeedAndTheScanEndsAboveTheTop) {
    Settings.HS = 1;
    AddObj(11, modBMSLoad::KIND_NORMAL, 192);  // top row 26
    AddObj(13, modBMSLoad::KIND_NORMAL, 225);  // top row -7: scanned, clipped away
    AddObj(15, modBMSLoad::KIND_NORMAL, 226);  // ends the scan
    AddObj(17, modBMSLoad::KIND_NORMAL, 100);  // out of order, so never reached
    AddObj(12, modBMSLoad::KIND_INVISIBLE, 0);
    modDraw::DrawPlay();
    EXPECT_EQ(At(34, 26), Tag(69, 1));
    EXPECT_EQ(At(34 + 17, 30), Tag(69 + 17, 5));
    EXPECT_EQ(At(34, 25), kGuard);
    EXPECT_EQ(At(139, 118), kGuard);
    EXPECT_EQ(At(53, 218), kGuard);  // invisible notes are not drawn
    // The bar line of measure 0 lies on the judgement line, on both sides.
    EXPECT_EQ(At(1, 222), Tag(1, 242));
    EXPECT_EQ(At(174 + 155, 222), Tag(156, 242));
    // Frames advance every 4.8 ticks and wrap after eight.
    modCount::PlayPos = Currency::FromDouble(4.8 * 9);
    Paint(kGuard);
    modDraw::DrawObj(11, modBMSLoad::KIND_NORMAL, 4.8f * 9 + 10, 0);
    EXPECT_EQ(At(34, 208), Tag(69, 7));
}

TEST_F(Field, LongNoteBodiesStretchAndClipAtTheTop) {
    Settings.HS = 1;
    AddObj(12, modBMSLoad::KIND_LN_HELD, -50, 1);  // held: its start is past the line
    AddObj(12, modBMSLoad::KIND_LN_END, 400, 0);
    modDraw::DrawObj(12, modBMSLoad::KIND_LN_HELD, -50, 1);
    // Body from y - L = 268 - 450 up to 268: rows 0 to 255, sampled from the body frame.
    for (int y = 0; y < 256; ++y) ASSERT_TRUE(InRows(At(53, y), 88, 103, 73, 78)) << y;
    EXPECT_EQ(At(52, 100), kGuard);
    EXPECT_EQ(At(68, 100), kGuard);

    Paint(kGuard);
    AddObj(14, modBMSLoad::KIND_LN_START, 100, 3);
    AddObj(14, modBMSLoad::KIND_LN_END, 300, 2);
    modDraw::DrawObj(14, modBMSLoad::KIND_LN_START, 100, 3);
    EXPECT_EQ(At(88, 118), Tag(88, 97));  // the start head over its body
    EXPECT_TRUE(InRows(At(88, 50), 88, 103, 73, 78));
    EXPECT_TRUE(InRows(At(88, 0), 88, 103, 73, 78));
    EXPECT_EQ(At(88, 123), kGuard);
}

TEST_F(Field, ScratchOnTheRightMovesLanesAndBombs) {
    Settings.SkinType = 1;
    modKey::SetScratchLayout();
    EXPECT_EQ(modDraw::LaneX(18), 125);
    EXPECT_EQ(modDraw::LaneX(17), 106);
    modCount::ElapsedTime = 1000;
    modCount::Bomb[8] = modCount::BombState{true, 1000, 1, false};  // GREAT on the scratch
    modDraw::DrawBomb();
    EXPECT_EQ(At(109, 190), Tag(1, 1));  // centred on x 141, row 222
    EXPECT_EQ(At(172, 253), Tag(64, 64));
    modCount::ElapsedTime = 1119;
    modDraw::DrawBomb();
    EXPECT_TRUE(modCount::Bomb[8].Active);
    modCount::ElapsedTime = 1120;
    modDraw::DrawBomb();
    EXPECT_FALSE(modCount::Bomb[8].Active);
    // A hold bomb loops until the play engine ends it.
    modCount::Bomb[1] = modCount::BombState{true, 0, 0, true};
    modCount::ElapsedTime = 5000;
    modDraw::DrawBomb();
    EXPECT_TRUE(modCount::Bomb[1].Active);
}

TEST_F(Field, EffectsOffStillExpireEverything) {
    Settings.Effect = 0;
    modCount::LaneFlash[1] = true;
    modCount::Bomb[2] = modCount::BombState{true, 0, 0, false};
    modCount::Score[0].JudgeVisible = true;
    modCount::Score[0].ShownCombo = 5;
    modCount::ElapsedTime = 51;
    modDraw::DrawLaneFlash();
    modDraw::DrawKeyDown();
    modDraw::DrawBomb();
    modDraw::DrawJudge();
    EXPECT_EQ(CountNot(kGuard), 0);
    EXPECT_FALSE(modCount::LaneFlash[1]);
    EXPECT_TRUE(modCount::Bomb[2].Active);
    modCount::ElapsedTime = 1080;
    modDraw::DrawBomb();
    modDraw::DrawJudge();
    EXPECT_FALSE(modCount::Bomb[2].Active);
    EXPECT_FALSE(modCount::Score[0].JudgeVisible);
}

TEST_F(Field, BeamsAndKeyDownSpritesSitOnTheirLanes) {
    Settings.Effect = 7;
    modCount::ElapsedTime = 10;
    for (int lane : {1, 12, 18}) {  // channels 11, 22, 28
        modCount::LaneFlash[lane] = true;
        modCount::LaneFlashTime[lane] = 0;
    }
    modDraw::DrawLaneFlash();
    EXPECT_EQ(At(34, 0), Tag(17, 1));
    EXPECT_EQ(At(193, 0), Tag(1, 1));
    EXPECT_EQ(At(298, 0), Tag(36, 1));
    Paint(kGuard);
    modDraw::DrawKeyDown();
    EXPECT_EQ(At(37, 233), Tag(69, 139));   // 1P odd: 3 in
    EXPECT_EQ(At(194, 227), Tag(83, 139));  // 2P even: 1 in
    EXPECT_EQ(At(300, 226), Tag(96, 139));  // scratch: 2 in
    EXPECT_EQ(CountNot(kGuard), 13 * 20 + 12 * 20 + 28 * 28);
    EXPECT_TRUE(modCount::LaneFlash[1]);
}

TEST_F(Field, JudgementWordAndComboCentreTogether) {
    Settings.Effect = 1;
    auto& s = modCount::Score[0];
    s = modCount::PlayerScore{};
    s.JudgeVisible = true, s.Judge = 2, s.JudgeTime = 0, s.ShownCombo = 1234;
    modCount::ElapsedTime = 100;
    modDraw::DrawJudge();
    EXPECT_EQ(At(5, 159), Tag(9, 196));  // GOOD, x = 119 - 40 - 74
    int digitPixels = 0;
    for (int y = 150; y < 180; ++y)
        for (int x = 94; x < 109; ++x) digitPixels += InRows(At(x, y), 24, 39, 91, 105);
    EXPECT_EQ(digitPixels, 15 * 14);  // the "1" from the GOOD digit row
    // Odd blink phases hide every judgement but PERFECT.
    Paint(kGuard);
    modCount::FrameCount = 2;
    modDraw::DrawJudge();
    EXPECT_EQ(CountNot(kGuard), 0);
    s.Judge = 0;
    modDraw::DrawJudge();
    EXPECT_NE(CountNot(kGuard), 0);
    // Pop-in: 21 rows high at first, centred on row 166.
    Paint(kGuard);
    s.Judge = 3, s.ShownCombo = 0, s.JudgeTime = 100;
    modCount::FrameCount = 0;
    modDraw::DrawJudge();
    EXPECT_TRUE(InRows(At(35, 156), 9, 90, 211, 225));
    EXPECT_TRUE(InRows(At(35, 176), 9, 90, 211, 225));
    EXPECT_EQ(At(35, 155), kGuard);
    EXPECT_EQ(At(35, 177), kGuard);
    EXPECT_EQ(CountNot(kGuard), 81 * 21);  // BAD: no number
}

TEST_F(Field, GaugeEmptiesFromTheTop) {
    modCount::PlayTime = Currency::FromInt(500);
    modBMSLoad::TotalTime = Currency::FromInt(1000);
    modDraw::detail::DrawGauge();
    EXPECT_EQ(At(162, 126), 0u);
    EXPECT_EQ(At(168, 7), 0u);
    EXPECT_EQ(At(162, 127), Tag(1, 121));
    EXPECT_EQ(At(168, 246), Tag(7, 240));
    Paint(kGuard);
    modCount::PlayTime = Currency::FromInt(1000);
    modDraw::detail::DrawGauge();
    EXPECT_EQ(CountNot(kGuard), 0);
}

class Bga : public Field {
  protected:
    void Image(int id, int w, int h) {
        ASSERT_TRUE(modDraw::BmpSurface[id].initFromPictureBox(Tagged(w, h)));
    }
};

TEST_F(Bga, WideImagesShowTheirMiddleAndNarrowOnesAreCentred) {
    Image(1, 320, 240);
    modDraw::DrawBGA(1);
    EXPECT_EQ(At(331, 0), Tag(32, 0));
    EXPECT_EQ(At(586, 239), Tag(287, 239));
    EXPECT_EQ(At(331, 240), kGuard);
    Paint(kGuard);
    Image(2, 100, 300);
    modDraw::DrawBGA(2);
    EXPECT_EQ(At(409, 0), Tag(0, 0));
    EXPECT_EQ(At(508, 255), Tag(99, 255));
    EXPECT_EQ(CountNot(kGuard), 100 * 256);
    Paint(kGuard);
    modDraw::DrawBGA(3);  // not loaded
    EXPECT_EQ(CountNot(kGuard), 0);
}

TEST_F(Bga, HugePicturesShowTheirMiddleColumnsAndTopRows) {
    Image(1, 8000, 300);
    modDraw::DrawBGA(1);
    EXPECT_EQ(TagX(At(331, 0)), 3872 & 0x3FF);  // 8000 \ 2 - 128
    EXPECT_EQ(CountNot(kGuard), 256 * 256);
    Paint(kGuard);
    Image(2, 200, 8000);
    modDraw::DrawBGA(2);
    EXPECT_EQ(At(359, 255), Tag(0, 255));  // 331 + 128 - 100
    EXPECT_EQ(CountNot(kGuard), 200 * 256);
}

TEST_F(Bga, LayersAndTheMissImageFollowTheSettingAndTheJudgement) {
    Image(0, 16, 16);  // id 00: the default miss image
    Image(1, 256, 256);
    Image(2, 8, 8);
    modCount::BGABase = 1;
    modCount::BGALayer = 2;
    Settings.BGA = 3;
    modDraw::detail::BgaStep();
    EXPECT_EQ(At(331, 0), Tag(0, 0));
    EXPECT_EQ(At(455, 0), Tag(0, 0));  // the layer centred over the base: 331 + 128 - 4
    Paint(kGuard);
    Settings.BGA = 2;
    modDraw::detail::BgaStep();
    EXPECT_EQ(CountNot(kGuard), 8 * 8);
    Paint(kGuard);
    Settings.BGA = 4;  // the miss image from the first frame
    modDraw::detail::BgaStep();
    EXPECT_EQ(At(451, 0), Tag(0, 0));
    EXPECT_EQ(CountNot(kGuard), 16 * 16);
    Paint(kGuard);
    Settings.BGA = 3;
    modCount::Score[1].Judge = 4;
    modDraw::detail::BgaStep();
    EXPECT_EQ(CountNot(kGuard), 16 * 16);
}

TEST_F(Bga, PlacementsClipAgainstTheWholeSurfaceAndFarOnesAreSkipped) {
    Image(6, 64, 64);
    auto& p = modBMSLoad::BgaTable[5];
    p.BmpNo = 6;
    p.SrcRect = RECT{10, 20, 50, 60};
    p.DestX = -340;  // x -9: left of the picture area, even of the surface
    p.DestY = 4;
    modCount::BGABase = 5;
    modDraw::detail::BgaStep();
    EXPECT_EQ(At(0, 4), Tag(19, 20));
    EXPECT_EQ(At(30, 43), Tag(49, 59));
    EXPECT_EQ(CountNot(kGuard), 31 * 40);
    // Rectangles whose sizes do not even fit 32 bits are skipped, not fatal.
    Paint(kGuard);
    p.SrcRect = RECT{INT32_MIN, 0, INT32_MAX, 10};
    p.DestX = 32767;
    modDraw::DrawPlay();
    EXPECT_EQ(At(400, 100), kGuard);
}

TEST_F(Field, FrameByState) {
    modBMSLoad::MaxMeasure = 12;
    modCount::CurrentMeasure = 3;
    modMain::Settings.DispInfo = true;
    modMain::PlayState = modMain::PS_IDLE;
    modDraw::DrawMain();
    EXPECT_EQ(At(0, 0), Tag(0, 0));       // lanes in every state
    EXPECT_EQ(WhiteIn(0, 0, 60, 30), 0);  // no measure counter or time when idle
    EXPECT_GT(WhiteIn(332, 2, 587, 13), 0);
    EXPECT_EQ(dev->LastFrame(), modDraw::BackBuffer.pixels);

    modMain::PlayState = modMain::PS_PAUSE;
    modDraw::DrawMain();
    EXPECT_EQ(At(100, 1), 0u);  // the veil: every other row is black
    EXPECT_EQ(At(100, 0), Tag(100, 0));
    EXPECT_EQ(WhiteIn(145, 123, 185, 134), 40 * 11);   // PAUSE
    EXPECT_EQ(WhiteIn(2, 2, 58, 13), 7 * 8 * 11 - 0);  // 003/012
    EXPECT_EQ(dev->LastFrame(), modDraw::BackBuffer.pixels);
}

}  // namespace
