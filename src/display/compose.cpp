// DrawMain: one frame composed by program state, with the pause veil, the information panel, the
// measure counter, the title and the time, then presented.
#include "base/helpers.h"
#include "base/program.h"
#include "base/report.h"
#include "base/settings_record.h"
#include "base/stage_timing.h"
#include "chart/modBMSLoad.h"
#include "display/draw_internal.h"
#include "display/modDraw.h"
#include "display/pixels.h"
#include "platform/platform.h"
#include "play/modCount.h"

namespace modDraw {

using modMain::PlayState;
using vb::Long;

namespace detail {

void FillBlack(const RECT& r) {
    pixels::Fill(BackBuffer, r, 0);
}

void DrawPauseVeil() {
    // Every other row of the lanes, then every other column of a band across the middle.
    for (Long y = 1; y <= 255; y += 2) FillBlack(MakeRect(0, y, 331, 1));
    for (Long x = 1; x <= 331; x += 2) FillBlack(MakeRect(x, 122, 1, 13));
    DrawText("PAUSE", 145, 123);
}

void DrawPanel() {
    for (const PanelLine& line : modMain::Settings.ShowDebug ? DebugPanelLines() : InfoPanelLines())
        DrawText(line.text, line.x, line.y);
}

}  // namespace detail

namespace {

bool ShowsChart() {
    return PlayState == modMain::PS_PLAY || PlayState == modMain::PS_PAUSE ||
           PlayState == modMain::PS_END;
}

void DrawField() {
    using namespace detail;
    FillBlack(RECT{0, 0, modMain::kScreenWidth, modMain::kScreenHeight});
    DrawLaneAreas();
    DrawLaneFlash();
    if (ShowsChart()) DrawPlay();
    DrawBottomPanels();
    DrawKeyDown();
    DrawGauge();
    DrawStrip();
    DrawBomb();
    DrawJudge();
    if (PlayState == modMain::PS_PAUSE) DrawPauseVeil();
    if (modMain::Settings.DispInfo) DrawPanel();
}

}  // namespace

void DrawMain() {
    try {
        modMain::StageMark(4, plat::Now());
        // While minimised the previous picture stays; the overlays and the present still run.
        if (!plat::Dev().IsMinimized()) DrawField();
        if (PlayState != modMain::PS_IDLE && PlayState != modMain::PS_LOAD) {
            DrawText(modMain::ZeroPad(modCount::CurrentMeasure, 3) + "/" +
                         modMain::ZeroPad(modBMSLoad::MaxMeasure, 3),
                     2, 2);
            DrawTitle();
            DrawText(TimeText(), 2, 16);
        }
        // The extras hook would run here; no extras are built in.
        plat::Dev().Present(BackBuffer.pixels.data(), BackBuffer.width, BackBuffer.height);
        modMain::StageMark(4, plat::Now());
        modMain::StageMark(0, plat::Now());
    } catch (const vb::Error& e) {
        modMain::Report(e, "DrawMain");
    }
}

}  // namespace modDraw
