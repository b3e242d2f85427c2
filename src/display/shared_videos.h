// The videos #BMP slots play, opened once per file: a chart that names one video in many slots,
// or a reload of the same chart, shares what is open. Each open video holds its frames and an
// estimate of its decoder from the media budget, and only so many are open at once: every one
// keeps a file and a decoder open for as long as its slots live.
#pragma once

#include <memory>
#include <string>

#include "base/media_budget.h"
#include "platform/video.h"

namespace videos {

struct Held {
    std::unique_ptr<plat::Video> video;
    media::Reservation budget;
};

// Videos open at once, at most; a slot past them stays empty.
constexpr int kMaxOpen = 64;

// The file as a video, shared with every slot that holds it already; null when it is not a video
// that can be shown or kMaxOpen are open. Throws media::OverBudget when the budget cannot hold it.
std::shared_ptr<const Held> Open(const std::string& path, bool greyToBlack);

}  // namespace videos
