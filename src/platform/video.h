// Video files played in the 256 x 256 picture area. A Video is opened once per file (header and
// first frame only) and then gives, for a time in milliseconds since the video's start, the frame
// that is on screen at that time: the newest frame whose timestamp is at or before it, converted
// to XRGB and scaled to fit the square (aspect kept, centred, black around it). Before the first
// frame's time the first frame shows; after the end the last frame stays.
//
// Two ways to ask, giving the same pictures for the same times:
//  - Frame(ms), for the window's frame loop: never waits on decoding. A worker thread of this
//    video decodes a few frames ahead of the times asked for; frames whose time has passed when
//    they come out of the decoder are not converted, so a slow decoder drops frames, never the
//    frame loop's rate. Until the wanted frame is ready the newest ready one, or the one shown
//    last, is returned.
//  - FrameAt(ms), for the headless renderer and tests: decodes on the calling thread up to the
//    time asked for, so a given sequence of times gives the same pictures on every run.
// Either call jumps by itself when the time goes backwards (a restart from a later event, a seek)
// or far forwards: it seeks to the keyframe at or before the time and decodes forward from there.
//
// A Video is used from one thread (the logic's); only its worker runs beside it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "platform/platform.h"

namespace plat {

// Frames come out this many pixels a side whatever the file's size.
constexpr int32_t kVideoFrameSize = 256;
// A stream wider or taller than this is refused: its frames would cost too much memory and time.
constexpr int32_t kMaxVideoSide = 4096;

struct VideoInfo {
    int32_t width = 0;  // the stream's picture size in pixels
    int32_t height = 0;
    double fps = 0;           // frames per second as the file states it; 0 when it does not
    int64_t durationMs = -1;  // as the file states it; -1 when it does not
};

class Video {
  public:
    // The file as a video: null when it is not a regular file, not in a container charts use
    // (MPEG program or transport stream, plain MPEG or H.264 stream, AVI, ASF, MP4, Matroska,
    // WebM, FLV, Ogg), has no video stream, its picture is larger than kMaxVideoSide a side, or
    // no first frame can be decoded. Any codec FFmpeg decodes is taken. With greyToBlack, pixels
    // whose red, green and blue are all 16 or less become pure black, as for pictures, so that a
    // video's dark noise falls under the black colour key.
    static std::unique_ptr<Video> Open(const std::string& path, bool greyToBlack);
    ~Video();
    Video(const Video&) = delete;
    Video& operator=(const Video&) = delete;

    const VideoInfo& Info() const;
    // The first frame, converted when the file was opened: what the video shows before it is
    // first asked for a time. Valid as long as the Video.
    const Image& First() const;
    const std::string& Path() const;
    // True while the file on disk is the one that was opened (same size and modification time),
    // so a reloaded chart may keep this Video instead of opening it again.
    bool Unchanged() const;

    // The frame for `ms` without waiting; starts the worker when it is not running. The
    // reference stays valid until the next call on this Video.
    const Image& Frame(int64_t ms);
    // The exact frame for `ms`, decoded on the calling thread (ends the worker first, which
    // waits for the frame it is decoding).
    const Image& FrameAt(int64_t ms);
    // For a video no longer on screen: frees the frames decoded ahead and parks the worker
    // (it idles after the frame it is decoding); never waits. A later Frame wakes it, seeking to
    // the time asked. The worker thread ends with the Video or with a FrameAt.
    void Stop();

    // Memory this video holds now: its frame buffers plus an estimate of the decoder's pictures.
    size_t Bytes() const;

  private:
    struct State;
    explicit Video(std::unique_ptr<State> state);
    std::unique_ptr<State> s_;
};

}  // namespace plat
