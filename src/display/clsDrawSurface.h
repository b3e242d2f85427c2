// One off-screen image that copies rectangles of itself onto a destination picture (the
// composition surface), with black (or green, for picture-box images) as the transparent colour.
#pragma once

#include <memory>
#include <string>

#include "base/rect.h"
#include "base/vb.h"
#include "display/shared_videos.h"
#include "platform/platform.h"

class clsDrawSurface {
  public:
    bool init(const std::string& cFileName, bool blackFlag = false);
    bool initFromPictureBox(const plat::Image& picture);
    bool initText(const std::string& cstrTitle);
    void clear();
    void reset() { initialized_ = false; }
    void draw(plat::Image& dest, vb::Long X, vb::Long Y, RECT& srcRect);
    void drawFast(plat::Image& dest, vb::Long X, vb::Long Y, const RECT& srcRect);
    void drawStretch(plat::Image& dest, RECT& destRect, RECT& srcRect);
    bool isInitialized() const { return initialized_; }
    vb::Long Width() const { return surfaceWidth_; }
    vb::Long Height() const { return surfaceHeight_; }
    const std::string& FileName() const { return fileName_; }
    // The picture, shared with every other surface made from the same file (never changed but
    // for a video's, which is its frame on screen).
    const plat::Image& Pixels() const;

    // A surface made from a video file draws the video's frame: its first until asked for a
    // time, then the frame `ms` after the video's start (in step with a virtual clock, else
    // without waiting on the decoder).
    bool isVideo() const { return video_ != nullptr; }
    void showVideoAt(int64_t ms);
    // Ends one step of the picture area: a video not shown since the step before stops
    // decoding ahead until it is shown again.
    void settleVideo();

    // The clipping rule of draw and drawStretch (exposed for tests).
    bool clipRect(RECT& destRect, RECT& srcRect);

  private:
    bool findAndLoad(const std::string& cFileName, bool blackFlag);
    bool loadImage(const std::string& cFileName, bool blackFlag);
    bool loadVideo(const std::string& cFileName, bool blackFlag);
    // Takes a decoded picture as this surface's image; false for an empty or malformed one.
    bool adopt(std::shared_ptr<const plat::Image> image, uint32_t colorKey);

    std::shared_ptr<const plat::Image> surface_;  // null: no surface
    std::shared_ptr<const videos::Held> video_;   // null: a still picture
    bool videoShown_ = false;                     // asked for a frame in this step
    bool videoRunning_ = false;                   // decoding ahead (not stopped since shown)
    uint32_t colorKey_ = 0;
    std::string fileName_;
    vb::Long surfaceWidth_ = 0;
    vb::Long surfaceHeight_ = 0;
    bool initialized_ = false;
};
