// The frame loop. Its order, once per frame:
//   message pass (window events, drops, dialog, hand-over) -> open StageTime(0) -> KeyMain ->
//   the desktop keys (scale, next chart, volume) -> CountMain -> SoundMain -> the sounds whose
//   decoding failed meanwhile (told on stderr) -> DrawMain (presents, closes StageTime 4 and 0)
//   -> CheckFPS -> pacing.
// Each step handles its own run-time errors; whatever escapes is reported as "Main".
#include <new>
#include <optional>

#include "chart/modBMSLoad.h"
#include "display/modDraw.h"
#include "platform/platform.h"
#include "play/modCount.h"
#include "play/modKey.h"
#include "shell/desktop.h"
#include "shell/frmMain.h"
#include "shell/modMain.h"
#include "sound/modSound.h"

namespace modMain {

namespace {

// Sleeps the rest of the frame period, or waits for the vertical blank. A clock that went back
// (or wrapped) counts as a late frame, never as a long sleep.
void Pace() {
    if (Settings.VSYNC) {
        plat::Dev().WaitVBlank();
        return;
    }
    if (LastFrameEndKnown) {
        Long elapsed = vb::ClockDiff(plat::Now(), LastFrameEnd);
        if (elapsed >= 0 && elapsed < FramePeriod) plat::Sleep(FramePeriod - elapsed);
    }
    LastFrameEnd = plat::Now();
    LastFrameEndKnown = true;
}

void Frame() {
    MessagePass();
    StageMark(0, plat::Now());
    modKey::KeyMain();
    frmMain::DesktopKeys();
    modCount::CountMain();
    modSound::SoundMain();
    modBMSLoad::NoteUndecodedSounds();
    modDraw::DrawMain();
    CheckFPS();
    Pace();
}

}  // namespace

void Main() {
    StartUp();
    try {
        if (Settings.FrameRate <= 0) vb::DivisionByZero();
        FramePeriod = static_cast<Integer>(1000 / Settings.FrameRate);
        LastFrameEndKnown = false;
    } catch (const vb::Error& e) {
        Report(e, "Main");
    }
    for (;;) RunFrame();
}

void RunFrame() {
    try {
        Frame();
    } catch (const vb::Error& e) {
        Report(e, "Main");
    } catch (const std::bad_alloc&) {
        Report(vb::Error(7, vb::ErrorDescription(7)), "Main");
    }
}

// The files of one drop arrive as consecutive events with the same drop number; the first chart
// among them is taken and the rest of that drop is not examined.
void MessagePass() {
    plat::Event e;
    std::optional<uint32_t> takenDrop;
    while (plat::Dev().PollEvent(e)) {
        if (e.type != plat::Event::Type::DropFile) takenDrop.reset();
        switch (e.type) {
            case plat::Event::Type::Quit:
                frmMain::Form_QueryUnload();
                break;
            case plat::Event::Type::DropFile:
                if (takenDrop != e.drop && frmMain::Form_OLEDragDrop(e.text)) takenDrop = e.drop;
                break;
            case plat::Event::Type::DoubleClick:
                frmMain::Form_DblClick();
                break;
            case plat::Event::Type::Wheel:
                frmMain::MouseWheel(e.wheel);
                break;
            case plat::Event::Type::Expose:
                break;  // the device shows the last frame again
        }
    }
    if (!UseInstanceHandOver) return;
    while (std::optional<std::string> line = plat::PollInstanceMessage())
        modMessage::HandleHandOver(*line);
}

void CheckFPS() {
    try {
        Long now = plat::Now();
        Long elapsed = vb::ClockDiff(now, FpsTime);
        if (elapsed >= 500) {
            Fps = vb::CSng(FpsFrames / (elapsed * 0.001));
            FpsFrames = 0;
            FpsTime = now;
            for (int k = 0; k <= 4; ++k)
                StageAverage[k] = vb::CLng(static_cast<double>(StageTime[k]) / Fps * 2);
            StageTime.Fill(0);
        }
        FpsFrames = vb::CInt(FpsFrames + 1);
    } catch (const vb::Error& e) {
        Report(e, "CheckFPS");
    }
}

}  // namespace modMain
