// The background animation: base, layer and miss images in the picture area at the right.
#include <algorithm>

#include "base/program.h"
#include "base/report.h"
#include "base/settings_record.h"
#include "chart/modBMSLoad.h"
#include "display/draw_internal.h"
#include "display/modDraw.h"
#include "play/modCount.h"

namespace modDraw {

namespace {

constexpr vb::Long kAreaX = 331;  // left edge of the 256 x 256 picture area
constexpr vb::Long kAreaSize = 256;

}  // namespace

namespace detail {

// Runs inside the play field's ignore-errors region: an image that fails is skipped alone.
void BgaStep() {
    using modCount::BGABase;
    using modCount::BGALayer;
    using modCount::Score;
    const vb::Long bga = modMain::Settings.BGA;
    bool missed = true;
    try {
        missed = !(Score[0].Judge < 3 && Score[1].Judge < 3 && bga != 4);
    } catch (const vb::Error&) {
    }
    if (!missed) {
        try {
            if (BGABase != 0 && (bga & 1)) ShowBgaImage(BGABase);
        } catch (const vb::Error&) {
        }
        try {
            if (BGALayer != 0 && (bga & 2)) ShowBgaImage(BGALayer);
        } catch (const vb::Error&) {
        }
    } else {
        // Id 00 serves as the default miss image.
        try {
            ShowBgaImage(modCount::BGAPoor);
        } catch (const vb::Error&) {
        }
    }
}

}  // namespace detail

void ShowBgaImage(vb::Long id) {
    modBMSLoad::BgaRecord& placement = modBMSLoad::BgaTable[id];
    if (placement.BmpNo != 0) {
        // Clipped against the image and the whole surface, not the picture area; the record's
        // own rectangle is clipped, which is stable from frame to frame.
        BmpSurface[placement.BmpNo].draw(BackBuffer, vb::AddL(placement.DestX, kAreaX),
                                         placement.DestY, placement.SrcRect);
    } else {
        DrawBGA(static_cast<vb::Integer>(id));
    }
}

void DrawBGA(vb::Integer id) {
    try {
        clsDrawSurface& image = BmpSurface[id];
        const vb::Long w = image.Width();
        RECT src{0, 0, w, std::min(image.Height(), kAreaSize)};
        vb::Long x = kAreaX;
        if (w > kAreaSize) {
            src.Left = w / 2 - kAreaSize / 2;  // the middle 256 columns
            src.Right = w / 2 + kAreaSize / 2;
        } else {
            x = kAreaX + kAreaSize / 2 - w / 2;  // centred
        }
        image.drawFast(BackBuffer, x, 0, src);
    } catch (const vb::Error& e) {
        modMain::Report(e, "DrawBGA");
    }
}

}  // namespace modDraw
