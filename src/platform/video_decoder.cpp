// Decoding through libavformat and libavcodec, conversion through libswscale. Everything that
// could make a broken file cost without bound is capped here: the picture size, the packets
// read without a frame coming out, and the libraries' own threads (none: one decoder thread per
// shown video is enough for the picture area's sizes).
extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/dict.h>
#include <libavutil/log.h>
#include <libswscale/swscale.h>
}

#include <algorithm>
#include <cmath>
#include <mutex>

#include "platform/video_decoder.h"

namespace plat::video {

namespace {

// A stream that goes this many of its packets without giving a frame is taken as ended: a
// corrupt stretch rarely lasts that long, and it keeps a file of garbage from being read
// through at decoding cost.
constexpr int kMaxPacketsWithoutFrame = 600;
// Frames read after a seek for one whose time is sure before starting again from the top.
constexpr int kMaxFramesToTimestamp = 64;
// Headers are read from at most this much of the file: enough for every container charts use
// to name its streams, small enough that opening ten videos stays cheap.
constexpr int64_t kProbeBytes = 1 << 20;
constexpr int64_t kAnalyzeUs = 1000000;
// The demultiplexers a video may be read with: program and transport streams, plain MPEG-1/2,
// MPEG-4 Part 2 and H.264/H.265 streams, AVI, ASF (WMV), QuickTime/MP4, Matroska/WebM, FLV, Ogg.
constexpr const char* kContainers =
    "mpeg,mpegts,mpegvideo,m4v,h264,hevc,avi,asf,mov,mp4,matroska,webm,flv,ogg";

void QuietLibraries() {
    static std::once_flag once;
    std::call_once(once, [] { av_log_set_level(AV_LOG_QUIET); });
}

int AbortRequested(void* flag) {
    return flag && static_cast<const std::atomic<bool>*>(flag)->load(std::memory_order_relaxed);
}

bool SideAllowed(int side) {
    return side > 0 && side <= kMaxVideoSide;
}

// The shown size of a w x h picture fitted into the square, by its display aspect.
void FitSize(const AVFrame* f, int& outW, int& outH) {
    double aspect = static_cast<double>(f->width) / f->height;
    if (f->sample_aspect_ratio.num > 0 && f->sample_aspect_ratio.den > 0)
        aspect *= av_q2d(f->sample_aspect_ratio);
    if (!(aspect > 0) || !std::isfinite(aspect)) aspect = 1;
    if (aspect >= 1) {
        outW = kVideoFrameSize;
        outH =
            std::clamp(static_cast<int>(std::lround(kVideoFrameSize / aspect)), 1, kVideoFrameSize);
    } else {
        outH = kVideoFrameSize;
        outW =
            std::clamp(static_cast<int>(std::lround(kVideoFrameSize * aspect)), 1, kVideoFrameSize);
    }
}

// The first real video stream; a cover picture stored as a one-frame stream does not count.
int VideoStream(const AVFormatContext* format) {
    for (unsigned i = 0; i < format->nb_streams; ++i) {
        const AVStream* st = format->streams[i];
        if (st->codecpar->codec_type == AVMEDIA_TYPE_VIDEO &&
            !(st->disposition & AV_DISPOSITION_ATTACHED_PIC))
            return static_cast<int>(i);
    }
    return -1;
}

}  // namespace

void FrameDeleter::operator()(AVFrame* frame) const {
    av_frame_free(&frame);
}

struct ScalerKey {
    int width, height, format, outW, outH, colorspace, range;
    bool operator==(const ScalerKey&) const = default;
};

struct Decoder::Streams {
    AVFormatContext* format = nullptr;
    AVCodecContext* codec = nullptr;
    AVPacket* packet = nullptr;
    SwsContext* sws = nullptr;
    ScalerKey scalerKey{};
    int index = -1;
    bool draining = false;  // the file is read to its end; the decoder gives what it still holds
    bool ended = false;
    int packetsWithoutFrame = 0;

    ~Streams() {
        sws_freeContext(sws);
        av_packet_free(&packet);
        avcodec_free_context(&codec);
        avformat_close_input(&format);
    }
};

Decoder::Decoder(const std::string& path, const std::atomic<bool>* abort)
    : path_(path), abort_(abort) {}

Decoder::~Decoder() = default;

std::unique_ptr<Decoder> Decoder::Open(const std::string& path, const std::atomic<bool>* abort,
                                       RawFrame& first) {
    QuietLibraries();
    std::unique_ptr<Decoder> d(new Decoder(path, abort));
    if (!d->OpenStreams()) return nullptr;
    d->havePts_ = false;
    d->lastUs_ = -1;
    RawFrame f;
    if (!d->Next(f)) return nullptr;
    // Times count from the first frame, whatever the container's clock starts at.
    d->firstPts_ =
        f.frame->best_effort_timestamp != AV_NOPTS_VALUE ? f.frame->best_effort_timestamp : 0;
    f.us = 0;
    d->lastUs_ = 0;
    d->info_.width = f.frame->width;
    d->info_.height = f.frame->height;
    first = std::move(f);
    return d;
}

bool Decoder::OpenStreams() {
    av_ = std::make_unique<Streams>();
    Streams& s = *av_;
    s.format = avformat_alloc_context();
    if (!s.format) return false;
    s.format->interrupt_callback.callback = AbortRequested;
    s.format->interrupt_callback.opaque = const_cast<std::atomic<bool>*>(abort_);
    s.format->probesize = kProbeBytes;
    s.format->max_analyze_duration = kAnalyzeUs;
    // Only the file itself is read, as a container of a kind charts use: playlists and other
    // formats that name further files or addresses could read without end or wait on a network.
    AVDictionary* options = nullptr;
    av_dict_set(&options, "protocol_whitelist", "file", 0);
    av_dict_set(&options, "format_whitelist", kContainers, 0);
    const std::string url = "file:" + path_;  // a name with a colon is not taken as a protocol
    int opened = avformat_open_input(&s.format, url.c_str(), nullptr, &options);
    av_dict_free(&options);
    if (opened < 0) {
        s.format = nullptr;  // freed by the failed open
        return false;
    }
    // A container whose header names a video stream fully is read no further: analysing the
    // stream's first packets costs most of an open. Headerless ones (MPEG program streams) and
    // incomplete headers are analysed.
    s.index = VideoStream(s.format);
    const AVCodecParameters* named = s.index >= 0 ? s.format->streams[s.index]->codecpar : nullptr;
    if (!named || named->codec_id == AV_CODEC_ID_NONE || named->width <= 0 || named->height <= 0 ||
        (s.format->ctx_flags & AVFMTCTX_NOHEADER)) {
        if (avformat_find_stream_info(s.format, nullptr) < 0) return false;
        s.index = VideoStream(s.format);
    }
    for (unsigned i = 0; i < s.format->nb_streams; ++i)
        if (static_cast<int>(i) != s.index) s.format->streams[i]->discard = AVDISCARD_ALL;
    if (s.index < 0) return false;
    AVStream* st = s.format->streams[s.index];
    const AVCodecParameters* par = st->codecpar;
    if ((par->width && !SideAllowed(par->width)) || (par->height && !SideAllowed(par->height)))
        return false;
    const AVCodec* codec = avcodec_find_decoder(par->codec_id);
    if (!codec) return false;
    s.codec = avcodec_alloc_context3(codec);
    if (!s.codec || avcodec_parameters_to_context(s.codec, par) < 0) return false;
    s.codec->pkt_timebase = st->time_base;
    s.codec->thread_count = 1;
    // The same pictures on every machine: the headless renderer's output is compared exactly.
    s.codec->flags |= AV_CODEC_FLAG_BITEXACT;
    s.codec->max_pixels = static_cast<int64_t>(kMaxVideoSide) * kMaxVideoSide;
    if (avcodec_open2(s.codec, codec, nullptr) < 0) return false;
    s.packet = av_packet_alloc();
    if (!s.packet) return false;

    AVRational rate = st->avg_frame_rate.num > 0 ? st->avg_frame_rate : st->r_frame_rate;
    info_.fps = rate.num > 0 && rate.den > 0 ? av_q2d(rate) : 0;
    if (st->duration > 0)
        info_.durationMs = av_rescale_q(st->duration, st->time_base, AVRational{1, 1000});
    else if (s.format->duration > 0)
        info_.durationMs = av_rescale(s.format->duration, 1000, AV_TIME_BASE);
    return true;
}

int64_t Decoder::StampUs(const AVFrame* frame) {
    const AVRational tb = av_->format->streams[av_->index]->time_base;
    int64_t pts = frame->best_effort_timestamp;
    if (pts == AV_NOPTS_VALUE) {
        // Untimed frames follow the one before by a frame's duration.
        int64_t step = frame->pkt_duration > 0 ? frame->pkt_duration : 0;
        if (step == 0 && info_.fps > 0)
            step = av_rescale_q(1, av_inv_q(av_d2q(info_.fps, 100000)), tb);
        pts = havePts_ ? lastPts_ + std::max<int64_t>(step, 1) : firstPts_;
    }
    lastPts_ = pts;
    havePts_ = true;
    int64_t us = av_rescale_q(pts - firstPts_, tb, AVRational{1, 1000000});
    // Times never go back: a frame stamped earlier than the one before shows right after it.
    if (us <= lastUs_) us = lastUs_ + 1;
    lastUs_ = us;
    return us;
}

bool Decoder::Next(RawFrame& out) {
    if (pushedBack_) {
        out = std::move(pushedBack_);
        return true;
    }
    if (!av_ || av_->ended) return false;
    Streams& s = *av_;
    RawFrame f{std::unique_ptr<AVFrame, FrameDeleter>(av_frame_alloc())};
    if (!f.frame) return false;
    for (;;) {
        int got = avcodec_receive_frame(s.codec, f.frame.get());
        if (got == 0) {
            if (!SideAllowed(f.frame->width) || !SideAllowed(f.frame->height)) break;
            s.packetsWithoutFrame = 0;
            f.us = StampUs(f.frame.get());
            out = std::move(f);
            return true;
        }
        // A damaged picture is skipped like a packet that gave none; the count bounds both.
        if (got == AVERROR_EOF || ++s.packetsWithoutFrame > kMaxPacketsWithoutFrame) break;
        if (s.draining) continue;
        int read = av_read_frame(s.format, s.packet);
        if (read < 0) {
            // The end of the file, or a read that cannot go on: what the decoder holds still
            // comes out.
            s.draining = true;
            avcodec_send_packet(s.codec, nullptr);
            continue;
        }
        if (s.packet->stream_index == s.index)
            avcodec_send_packet(s.codec, s.packet);
        else
            --s.packetsWithoutFrame;
        av_packet_unref(s.packet);
    }
    s.ended = true;
    return false;
}

bool Decoder::Seek(int64_t us) {
    pushedBack_ = {};
    if (us <= 0 || !av_) return Rewind();
    // A container without an index (MPEG program streams) lands near the time, on a packet that
    // may not start a picture, and stamps the frames after it by guesswork until a packet brings
    // a timestamp again. Frames are taken from the first one that carries its own timestamp;
    // when that is already past the time, the seek starts further back.
    for (int64_t backUs : {int64_t(0), int64_t(1000000), int64_t(4000000)}) {
        if (backUs >= us) break;
        RawFrame f;
        if (!SeekNear(us - backUs, f)) break;
        if (f.us <= us) {
            pushedBack_ = std::move(f);
            return true;
        }
    }
    return Rewind();
}

bool Decoder::SeekNear(int64_t us, RawFrame& first) {
    Streams& s = *av_;
    const AVRational tb = s.format->streams[s.index]->time_base;
    int64_t ts = firstPts_ + av_rescale_q(us, AVRational{1, 1000000}, tb);
    if (av_seek_frame(s.format, s.index, ts, AVSEEK_FLAG_BACKWARD) < 0) return false;
    avcodec_flush_buffers(s.codec);
    s.draining = s.ended = false;
    s.packetsWithoutFrame = 0;
    for (int skipped = 0; skipped < kMaxFramesToTimestamp; ++skipped) {
        havePts_ = false;
        lastUs_ = -1;
        if (!Next(first)) return false;
        if (first.frame->pts != AV_NOPTS_VALUE) return true;
    }
    return false;
}

bool Decoder::Rewind() {
    pushedBack_ = {};
    if (av_ && !(abort_ && abort_->load())) {
        Streams& s = *av_;
        if (av_seek_frame(s.format, s.index, firstPts_, AVSEEK_FLAG_BACKWARD) >= 0) {
            avcodec_flush_buffers(s.codec);
            s.draining = s.ended = false;
            s.packetsWithoutFrame = 0;
            havePts_ = false;
            lastUs_ = -1;
            RawFrame f;
            if (Next(f) && f.us == 0) {
                pushedBack_ = std::move(f);
                return true;
            }
        }
    }
    return Reopen();
}

// Opening again is the way back to the start that every file allows.
bool Decoder::Reopen() {
    av_.reset();
    if (!OpenStreams()) {
        av_.reset();
        return false;
    }
    havePts_ = false;
    lastUs_ = -1;
    RawFrame f;
    if (!Next(f)) return false;
    pushedBack_ = std::move(f);
    return true;
}

bool Decoder::PrepareScaler(const AVFrame* f, int w, int h) {
    Streams& s = *av_;
    ScalerKey key{f->width, f->height, f->format, w, h, f->colorspace, f->color_range};
    if (s.sws && key == s.scalerKey) return true;
    sws_freeContext(s.sws);
    s.sws = sws_getContext(f->width, f->height, static_cast<AVPixelFormat>(f->format), w, h,
                           AV_PIX_FMT_0RGB32, SWS_BILINEAR | SWS_BITEXACT | SWS_ACCURATE_RND,
                           nullptr, nullptr, nullptr);
    if (!s.sws) return false;
    s.scalerKey = key;
    // The stream's own colour matrix and range, where it states them.
    int* invTable = nullptr;
    int* table = nullptr;
    int srcRange = 0, dstRange = 0, brightness = 0, contrast = 0, saturation = 0;
    if (sws_getColorspaceDetails(s.sws, &invTable, &srcRange, &table, &dstRange, &brightness,
                                 &contrast, &saturation) >= 0) {
        const int* coefficients = sws_getCoefficients(f->colorspace);
        if (f->color_range != AVCOL_RANGE_UNSPECIFIED)
            srcRange = f->color_range == AVCOL_RANGE_JPEG;
        sws_setColorspaceDetails(s.sws, coefficients, srcRange, table, dstRange, brightness,
                                 contrast, saturation);
    }
    return true;
}

void Decoder::Convert(const RawFrame& in, Image& out, bool greyToBlack) {
    out.width = out.height = kVideoFrameSize;
    out.pixels.assign(static_cast<size_t>(kVideoFrameSize) * kVideoFrameSize, 0);
    if (!in || !av_) return;
    const AVFrame* f = in.frame.get();
    int w = 0, h = 0;
    FitSize(f, w, h);
    if (!PrepareScaler(f, w, h)) return;
    Streams& s = *av_;
    // Scaled straight into place when the rows start on the 16-byte boundaries the library's
    // fast paths want (every picture wider than tall), else into a packed buffer and copied.
    const int x0 = (kVideoFrameSize - w) / 2, y0 = (kVideoFrameSize - h) / 2;
    const bool direct = x0 % 4 == 0;
    const int stride = direct ? kVideoFrameSize : (w + 15) & ~15;
    uint32_t* scaled = out.pixels.data() + static_cast<size_t>(y0) * kVideoFrameSize + x0;
    if (!direct) {
        scaled_.resize(static_cast<size_t>(stride) * h);
        scaled = scaled_.data();
    }
    uint8_t* dst[4] = {reinterpret_cast<uint8_t*>(scaled), nullptr, nullptr, nullptr};
    int dstStride[4] = {stride * 4, 0, 0, 0};
    if (sws_scale(s.sws, f->data, f->linesize, 0, f->height, dst, dstStride) != h) {
        std::fill(out.pixels.begin(), out.pixels.end(), 0u);
        return;
    }
    // The library fills the unused byte; the project's pixels keep it zero.
    for (int y = 0; y < h; ++y) {
        const uint32_t* src = scaled + static_cast<size_t>(y) * stride;
        uint32_t* row = out.pixels.data() + static_cast<size_t>(y + y0) * kVideoFrameSize + x0;
        for (int x = 0; x < w; ++x) {
            uint32_t p = src[x] & 0xFFFFFF;
            bool dark =
                greyToBlack && (p >> 16) <= 16 && ((p >> 8) & 0xFF) <= 16 && (p & 0xFF) <= 16;
            row[x] = dark ? 0 : p;
        }
    }
}

size_t Decoder::Bytes() const {
    size_t bytes = scaled_.capacity() * sizeof(uint32_t);
    if (!av_ || !av_->codec) return bytes;
    const AVCodecContext* c = av_->codec;
    // Planar 4:2:0 pictures: the references the stream declares, the one being decoded and the
    // ones held back for reordering.
    size_t picture = static_cast<size_t>(std::max(c->width, info_.width)) *
                     static_cast<size_t>(std::max(c->height, info_.height)) * 3 / 2;
    size_t pictures = static_cast<size_t>(std::max(c->refs, 1) + c->has_b_frames + 2);
    return bytes + picture * pictures;
}

}  // namespace plat::video
