// One video stream of a file through FFmpeg: demuxing, decoding in display order, seeking and
// conversion to the 256 x 256 XRGB frames of the picture area. A Decoder has no threads of its
// own and is used by one thread at a time (the logic's, or the worker of its Video).
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "platform/video.h"

struct AVFrame;

namespace plat::video {

struct FrameDeleter {
    void operator()(AVFrame* frame) const;
};

// A decoded picture with its time in microseconds since the video's first frame. Times only
// grow within one run of Next calls, whatever the file's timestamps do.
struct RawFrame {
    std::unique_ptr<AVFrame, FrameDeleter> frame;
    int64_t us = 0;
    explicit operator bool() const { return frame != nullptr; }
};

class Decoder {
  public:
    // Opens the file and decodes its first frame into `first`; null when it is not a video that
    // can be shown. Reading gives up at once while `abort` is set (the worker is being let go).
    static std::unique_ptr<Decoder> Open(const std::string& path, const std::atomic<bool>* abort,
                                         RawFrame& first);
    ~Decoder();
    Decoder(const Decoder&) = delete;
    Decoder& operator=(const Decoder&) = delete;

    const VideoInfo& Info() const { return info_; }
    // The next frame in display order; false at the end of the stream, after a read was
    // aborted, or when the stream turns into something that cannot be shown.
    bool Next(RawFrame& out);
    // Positions the stream so that Next gives frames from a keyframe at or before `us` onwards
    // (from the first frame when the container cannot seek there exactly). False when the file
    // cannot be read again.
    bool Seek(int64_t us);
    // Writes the frame into `out` (made 256 x 256): scaled to fit with its aspect kept, centred,
    // black around it.
    void Convert(const RawFrame& in, Image& out, bool greyToBlack);
    // An estimate of what the decoder holds: its reference pictures and conversion buffers.
    size_t Bytes() const;

  private:
    struct Streams;
    Decoder(const std::string& path, const std::atomic<bool>* abort);
    bool OpenStreams();
    bool SeekNear(int64_t us, RawFrame& first);
    bool Rewind();
    bool Reopen();
    bool PrepareScaler(const AVFrame* frame, int w, int h);
    int64_t StampUs(const AVFrame* frame);

    std::string path_;
    const std::atomic<bool>* abort_;
    std::unique_ptr<Streams> av_;
    VideoInfo info_;
    int64_t firstPts_ = 0;  // the first frame's timestamp in the stream's time base
    int64_t lastPts_ = 0;   // the timestamp given to the frame before, for frames without one
    bool havePts_ = false;  // lastPts_ holds a frame's timestamp
    int64_t lastUs_ = -1;
    RawFrame pushedBack_;  // a frame Seek read to check where it landed
    std::vector<uint32_t> scaled_;
};

}  // namespace plat::video
