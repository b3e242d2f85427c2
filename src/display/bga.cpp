// The background animation: base, layer and miss images in the picture area at the right.
#include <algorithm>
#include <cmath>

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

// A video in the slot that picture `id` draws moves to its frame for the play time, counted from
// the event that showed the picture.
void CueVideo(vb::Long id, const vb::Currency& since) {
    const vb::Long placed = modBMSLoad::BgaTable[id].BmpNo;
    clsDrawSurface& surface = BmpSurface[placed != 0 ? placed : id];
    if (!surface.isVideo()) return;
    const double ms = (modCount::PlayTime - since).ToDouble();
    surface.showVideoAt(static_cast<int64_t>(std::floor(ms)));
}

void ShowAt(vb::Long id, const vb::Currency& since) {
    CueVideo(id, since);
    ShowBgaImage(id);
}

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
            if (BGABase != 0 && (bga & 1)) ShowAt(BGABase, modCount::BGABaseSince);
        } catch (const vb::Error&) {
        }
        try {
            if (BGALayer != 0 && (bga & 2)) ShowAt(BGALayer, modCount::BGALayerSince);
        } catch (const vb::Error&) {
        }
    } else {
        // Id 00 serves as the default miss image.
        try {
            ShowAt(modCount::BGAPoor, modCount::BGAPoorSince);
        } catch (const vb::Error&) {
        }
    }
    for (clsDrawSurface& surface : BmpSurface) surface.settleVideo();
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
