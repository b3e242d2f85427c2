#include "display/clsDrawSurface.h"

#include <algorithm>
#include <new>

#include "base/program.h"
#include "base/shared_decodes.h"
#include "display/pixels.h"

namespace {

constexpr uint32_t kKeyBlack = 0x000000;
constexpr uint32_t kKeyGreen = 0x00FF00;

// Folder part (through the last separator) and file part of a chart-style name.
void SplitName(const std::string& name, std::string& folder, std::string& file) {
    size_t sep = name.find_last_of("\\/");
    folder = sep == std::string::npos ? "" : name.substr(0, sep + 1);
    file = sep == std::string::npos ? name : name.substr(sep + 1);
}

// A decoded picture with its share of the media budget, given back with the last surface that
// shows it.
struct HeldImage {
    plat::Image image;
    media::Reservation budget;
};

SharedDecodes<plat::Image>& Decodes() {
    static SharedDecodes<plat::Image> decodes;
    return decodes;
}

std::shared_ptr<const plat::Image> Decode(const std::string& path, bool greyToBlack) {
    auto held = std::make_shared<HeldImage>();
    std::optional<plat::Image> image = plat::DecodeImage(path, greyToBlack, held->budget);
    if (!image) return nullptr;
    held->image = std::move(*image);
    return std::shared_ptr<const plat::Image>(held, &held->image);
}

// The picture of a file, shared with any surface that holds it already.
std::shared_ptr<const plat::Image> SharedDecode(const std::string& path, bool greyToBlack) {
    std::string identity = plat::FileIdentity(path);
    if (identity.empty()) return nullptr;
    std::string key = path + '\n' + identity + (greyToBlack ? "\nk" : "");
    return Decodes().Get(key, [&] { return Decode(path, greyToBlack); });
}

}  // namespace

const plat::Image& clsDrawSurface::Pixels() const {
    static const plat::Image none;
    return surface_ ? *surface_ : none;
}

bool clsDrawSurface::init(const std::string& cFileName, bool blackFlag) {
    try {
        // The same name again (the Kept state of a reloaded chart) touches no file at all.
        if (cFileName.empty() || cFileName != fileName_) {
            clear();
            if (cFileName.empty() || !findAndLoad(cFileName, blackFlag)) return false;
            fileName_ = cFileName;
        }
        initialized_ = true;
        return true;
    } catch (const vb::Error&) {
        clear();
        return false;
    } catch (const std::bad_alloc&) {  // past the media budget, or out of memory
        clear();
        return false;
    }
}

bool clsDrawSurface::findAndLoad(const std::string& cFileName, bool blackFlag) {
    std::string exact = plat::ResolvePath(cFileName);
    if (plat::IsRegularFileListed(exact) &&
        (loadImage(exact, blackFlag) || loadVideo(exact, blackFlag)))
        return true;

    // Any other extension of the same base name may serve, in the listing's order.
    std::string folder, file;
    SplitName(exact, folder, file);
    size_t dot = file.rfind('.');
    std::string base = dot == std::string::npos ? file : file.substr(0, dot);
    std::string dir;
    if (!folder.empty()) {
        dir = folder.size() == 1 ? folder : plat::ResolvePath(folder.substr(0, folder.size() - 1));
        if (dir.empty())
            dir = folder;
        else if (dir.back() != '/')
            dir += '/';
    }
    std::string listed = dir.size() > 1 ? dir.substr(0, dir.size() - 1) : dir;
    for (const std::string& candidate : plat::ListSameBase(listed, base))
        if (loadImage(dir + candidate, blackFlag) || loadVideo(dir + candidate, blackFlag))
            return true;
    clear();
    return false;
}

bool clsDrawSurface::loadImage(const std::string& cFileName, bool blackFlag) {
    std::shared_ptr<const plat::Image> img = SharedDecode(cFileName, blackFlag);
    return img && adopt(std::move(img), kKeyBlack);
}

bool clsDrawSurface::loadVideo(const std::string& cFileName, bool blackFlag) {
    std::shared_ptr<const videos::Held> held = videos::Open(cFileName, blackFlag);
    if (!held) return false;
    const plat::Image& first = held->video->First();
    if (!adopt(std::shared_ptr<const plat::Image>(held, &first), kKeyBlack)) return false;
    video_ = std::move(held);
    return true;
}

void clsDrawSurface::showVideoAt(int64_t ms) {
    if (!video_ || !initialized_) return;
    plat::Video& video = *video_->video;
    // The frame is the video's own picture, whose pixels change from call to call.
    const plat::Image& frame = plat::Dev().ClockIsVirtual() ? video.FrameAt(ms) : video.Frame(ms);
    if (frame.width != surfaceWidth_ || frame.height != surfaceHeight_ ||
        frame.pixels.size() != static_cast<size_t>(frame.width) * frame.height)
        return;
    surface_ = std::shared_ptr<const plat::Image>(video_, &frame);
    videoShown_ = videoRunning_ = true;
}

void clsDrawSurface::settleVideo() {
    if (videoRunning_ && !videoShown_) {
        video_->video->Stop();
        videoRunning_ = false;
    }
    videoShown_ = false;
}

bool clsDrawSurface::adopt(std::shared_ptr<const plat::Image> image, uint32_t colorKey) {
    if (image->width <= 0 || image->height <= 0 ||
        image->pixels.size() !=
            static_cast<size_t>(image->width) * static_cast<size_t>(image->height))
        return false;
    surface_ = std::move(image);
    colorKey_ = colorKey;
    surfaceWidth_ = surface_->width;
    surfaceHeight_ = surface_->height;
    return true;
}

bool clsDrawSurface::initFromPictureBox(const plat::Image& picture) {
    clear();
    if (!adopt(std::make_shared<const plat::Image>(picture), kKeyGreen)) return false;
    fileName_.clear();
    initialized_ = true;
    return true;
}

bool clsDrawSurface::initText(const std::string& cstrTitle) {
    clear();
    std::optional<plat::Image> img = plat::RenderText(cstrTitle, plat::Dev().FontFace());
    // A text that renders to nothing cannot make a surface, as a zero-width surface could not
    // be created.
    if (!img || !adopt(std::make_shared<const plat::Image>(std::move(*img)), kKeyBlack))
        return false;
    fileName_.clear();
    initialized_ = true;
    return true;
}

void clsDrawSurface::clear() {
    surface_ = nullptr;
    video_ = nullptr;
    videoShown_ = videoRunning_ = false;
    fileName_.clear();
    surfaceWidth_ = 0;
    surfaceHeight_ = 0;
    reset();
}

void clsDrawSurface::draw(plat::Image& dest, vb::Long X, vb::Long Y, RECT& srcRect) {
    if (!initialized_) return;
    RECT to = MakeRect(X, Y, vb::SubL(srcRect.Right, srcRect.Left),
                       vb::SubL(srcRect.Bottom, srcRect.Top));
    if (!clipRect(to, srcRect)) return;
    pixels::CopyKeyed(dest, to.Left, to.Top, *surface_, srcRect, colorKey_);
}

void clsDrawSurface::drawFast(plat::Image& dest, vb::Long X, vb::Long Y, const RECT& srcRect) {
    // Callers keep the copy inside both pictures; one that would not fit is skipped whole.
    if (!initialized_) return;
    pixels::CopyKeyed(dest, X, Y, *surface_, srcRect, colorKey_);
}

void clsDrawSurface::drawStretch(plat::Image& dest, RECT& destRect, RECT& srcRect) {
    if (!initialized_ || !clipRect(destRect, srcRect)) return;
    pixels::StretchKeyed(dest, destRect, *surface_, srcRect, colorKey_);
}

bool clsDrawSurface::clipRect(RECT& destRect, RECT& srcRect) {
    using vb::CLng;
    using vb::SubL;
    constexpr vb::Long kW = modMain::kScreenWidth, kH = modMain::kScreenHeight;
    try {
        // A zero source extent divides by zero; the runtime faults on that (0/0 as well).
        vb::Long srcW = SubL(srcRect.Right, srcRect.Left), srcH = SubL(srcRect.Bottom, srcRect.Top);
        if (srcW == 0 || srcH == 0) return false;
        const vb::Single sx = static_cast<vb::Single>(
            static_cast<double>(SubL(destRect.Right, destRect.Left)) / srcW);
        const vb::Single sy = static_cast<vb::Single>(
            static_cast<double>(SubL(destRect.Bottom, destRect.Top)) / srcH);
        const vb::Long W = surfaceWidth_, H = surfaceHeight_;
        const RECT d0 = destRect, s0 = srcRect;

        if (s0.Left < 0) {
            destRect.Left = CLng(static_cast<double>(s0.Left) * sx + d0.Left);
            srcRect.Left = 0;
        }
        if (s0.Right > W) {
            destRect.Right = CLng(d0.Right - static_cast<double>(SubL(s0.Right, W)) * sx);
            srcRect.Right = W;
        }
        if (s0.Top < 0) {
            destRect.Top = CLng(static_cast<double>(s0.Top) * sy + d0.Top);
            srcRect.Top = 0;
        }
        if (s0.Bottom > H) {
            destRect.Bottom = CLng(d0.Bottom - static_cast<double>(SubL(s0.Bottom, H)) * sy);
            srcRect.Bottom = H;
        }

        // Integer division of the runtime: both sides whole, truncating, faults on 0 and on the
        // one quotient that overflows.
        auto idiv = [](vb::Long a, vb::Single scale) -> vb::Long {
            vb::Long k = CLng(scale);
            if (k == 0) vb::DivisionByZero();
            if (a == INT32_MIN && k == -1) vb::Overflow();
            return a / k;
        };
        if (destRect.Left < 0) {
            srcRect.Left = SubL(srcRect.Left, idiv(destRect.Left, sx));
            destRect.Left = 0;
        }
        if (destRect.Right > kW) {
            srcRect.Right = SubL(srcRect.Right, idiv(SubL(destRect.Right, kW), sx));
            destRect.Right = kW;
        }
        if (destRect.Top < 0) {
            srcRect.Top = SubL(srcRect.Top, idiv(destRect.Top, sy));
            destRect.Top = 0;
        }
        if (destRect.Bottom > kH) {
            srcRect.Bottom = SubL(srcRect.Bottom, idiv(SubL(destRect.Bottom, kH), sy));
            destRect.Bottom = kH;
        }
        return srcRect.Left < srcRect.Right && srcRect.Top < srcRect.Bottom &&
               destRect.Left < destRect.Right && destRect.Top < destRect.Bottom;
    } catch (const vb::Error&) {
        return false;
    }
}
