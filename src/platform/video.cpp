// A video's two ways of giving frames. The decoder belongs to one thread at a time: to the
// worker while it runs, else to the caller. The worker and the caller share only the queue of
// converted frames, its spare buffers and a few words of request, all under one mutex that
// neither side holds while decoding or converting, so the caller never waits on a decoder.
#include "platform/video.h"

#include <sys/stat.h>

#include <algorithm>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <optional>
#include <thread>

#include "platform/video_decoder.h"

namespace plat {

namespace {

// Frames decoded ahead of the time asked for: enough to ride out a slow frame, little memory.
constexpr size_t kQueueFrames = 3;
// A step forwards longer than this seeks instead of decoding every frame in between.
constexpr int64_t kJumpUs = 1000000;
constexpr size_t kFrameBytes = size_t(kVideoFrameSize) * kVideoFrameSize * sizeof(uint32_t);

struct FileStamp {
    int64_t size = -1;
    int64_t mtimeNs = -1;
    bool operator==(const FileStamp&) const = default;
};

FileStamp StampOf(const std::string& path) {
    struct stat st;
    if (stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return {};
    return {static_cast<int64_t>(st.st_size),
            static_cast<int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec};
}

int64_t ToUs(int64_t ms) {
    return std::clamp<int64_t>(ms, 0, INT64_MAX / 1000) * 1000;
}

struct Queued {
    int64_t us;
    Image image;
};

}  // namespace

struct Video::State {
    std::string path;
    bool greyToBlack = false;
    FileStamp stamp;
    VideoInfo info;  // a copy the caller reads while the worker may be reopening the file
    std::unique_ptr<video::Decoder> decoder;
    Image first;             // kept converted, so that a restart shows at once
    int64_t firstEndUs = 0;  // before this the first frame is the right one (a frame's length)

    // The caller's side.
    Image shown;  // empty until first asked for: opening stays cheap
    int64_t lastAskUs = 0;
    bool fresh = true;  // the decoder stands right after the first frame, as opening left it
    // The stepped cursor: the frame for the last time asked (converted into `shown` unless
    // still pending) and the next frame after it.
    bool steppedValid = false;
    int64_t shownUs = 0;
    video::RawFrame pending;
    video::RawFrame ahead;
    bool steppedEnded = false;

    // Shared with the worker, under `mutex`.
    std::thread worker;
    std::mutex mutex;
    std::condition_variable wake;
    std::deque<Queued> queue;
    std::vector<Image> spare;
    std::optional<int64_t> seekTo;
    int64_t wantUs = 0;
    bool stop = false;    // the worker ends
    bool parked = false;  // the worker idles until asked again
    bool workerConverting = false;
    std::atomic<bool> abortReads{false};  // makes reads fail at once, for a quick end
    size_t decoderBytes = 0;

    void PrepareWorker(int64_t us);
    void JoinWorker(bool abort = false);
    void RunWorker();
    bool Deliver(video::RawFrame& frame, int64_t nextUs);
    void Reposition(int64_t us);
    void Advance(int64_t us);
};

// ---------------------------------------------------------------- opening

Video::Video(std::unique_ptr<State> state) : s_(std::move(state)) {}

Video::~Video() {
    s_->JoinWorker(true);
}

std::unique_ptr<Video> Video::Open(const std::string& path, bool greyToBlack) {
    auto s = std::make_unique<State>();
    s->path = path;
    s->greyToBlack = greyToBlack;
    s->stamp = StampOf(path);
    // Devices and pipes could be read without end.
    if (s->stamp.size < 0) return nullptr;
    video::RawFrame first;
    s->decoder = video::Decoder::Open(path, &s->abortReads, first);
    if (!s->decoder) return nullptr;
    s->info = s->decoder->Info();
    s->decoder->Convert(first, s->first, greyToBlack);
    s->decoderBytes = s->decoder->Bytes();
    double fps = s->info.fps;
    s->firstEndUs = fps >= 1 ? static_cast<int64_t>(1000000 / fps) : 40000;
    return std::unique_ptr<Video>(new Video(std::move(s)));
}

const VideoInfo& Video::Info() const {
    return s_->info;
}

const Image& Video::First() const {
    return s_->first;
}

const std::string& Video::Path() const {
    return s_->path;
}

bool Video::Unchanged() const {
    FileStamp now = StampOf(s_->path);
    return now.size >= 0 && now == s_->stamp;
}

size_t Video::Bytes() const {
    std::lock_guard lock(s_->mutex);
    size_t frames = (s_->shown.pixels.empty() ? 1 : 2) + s_->queue.size() + s_->spare.size() +
                    (s_->workerConverting ? 1 : 0);
    return frames * kFrameBytes + s_->decoderBytes;
}

// ---------------------------------------------------------------- real time

const Image& Video::Frame(int64_t ms) {
    State& s = *s_;
    const int64_t us = ToUs(ms);
    if (s.shown.pixels.empty()) s.shown = s.first;
    const bool start = !s.worker.joinable();
    if (start) s.PrepareWorker(us);
    std::lock_guard lock(s.mutex);
    // Any step back seeks, since the worker has gone on from the last time asked; so does a
    // parked worker, which may stand anywhere.
    if (us < s.lastAskUs || us > s.lastAskUs + kJumpUs || s.parked) {
        s.parked = false;
        s.seekTo = us;
        for (Queued& q : s.queue) s.spare.push_back(std::move(q.image));
        s.queue.clear();
        // A restart needs no decoding: the first frame is at hand.
        if (us < s.firstEndUs) s.shown.pixels = s.first.pixels;
    }
    s.wantUs = us;
    while (!s.queue.empty() && s.queue.front().us <= us) {
        std::swap(s.shown, s.queue.front().image);
        s.spare.push_back(std::move(s.queue.front().image));
        s.queue.pop_front();
    }
    s.lastAskUs = us;
    // Started only now, so a first call shows what was there before, whatever the worker does.
    if (start) s.worker = std::thread([&s] { s.RunWorker(); });
    s.wake.notify_one();
    return s.shown;
}

void Video::Stop() {
    State& s = *s_;
    std::lock_guard lock(s.mutex);
    s.parked = true;
    s.queue.clear();
    s.spare.clear();
    s.wake.notify_one();
}

void Video::State::PrepareWorker(int64_t us) {
    steppedValid = false;
    pending = {};
    ahead = {};
    {
        std::lock_guard lock(mutex);
        stop = parked = false;
        // Opening left the decoder at the second frame; anywhere else it must be put in place.
        if (!fresh || us >= kJumpUs) seekTo = us;
        wantUs = us;
    }
    lastAskUs = us;
    fresh = false;
}

void Video::State::JoinWorker(bool abort) {
    if (!worker.joinable()) return;
    {
        std::lock_guard lock(mutex);
        stop = true;
        if (abort) abortReads = true;
        wake.notify_one();
    }
    worker.join();
    std::lock_guard lock(mutex);
    queue.clear();
    spare.clear();
    seekTo.reset();
    abortReads = false;
}

// Decodes one frame past the one it holds: the held frame is converted and queued only when the
// frame after it is not yet due, so frames the caller has already passed cost no conversion.
void Video::State::RunWorker() {
    video::RawFrame held;
    bool ended = false;  // the stream is read to its end: only a seek gives more to do
    for (;;) {
        int64_t want = 0;
        {
            std::unique_lock lock(mutex);
            wake.wait(lock, [&] { return stop || seekTo || (!ended && !parked); });
            if (stop) return;
            if (seekTo) {
                int64_t target = *seekTo;
                seekTo.reset();
                lock.unlock();
                held = {};
                ended = !decoder->Seek(target);
                continue;
            }
            want = wantUs;
        }
        video::RawFrame next;
        if (!decoder->Next(next)) {
            if (held) Deliver(held, INT64_MAX);
            held = {};
            ended = true;
            continue;
        }
        if (held && next.us > want) Deliver(held, next.us);
        held = std::move(next);
    }
}

// Queues the frame once there is room, unless it falls due behind `nextUs` while it waits, or
// the caller has moved elsewhere. False when it was dropped.
bool Video::State::Deliver(video::RawFrame& frame, int64_t nextUs) {
    Image buffer;
    {
        std::unique_lock lock(mutex);
        wake.wait(lock, [&] {
            return stop || seekTo || parked || queue.size() < kQueueFrames || nextUs <= wantUs;
        });
        if (stop || seekTo || parked || nextUs <= wantUs) return false;
        if (!spare.empty()) {
            buffer = std::move(spare.back());
            spare.pop_back();
        }
        workerConverting = true;
    }
    decoder->Convert(frame, buffer, greyToBlack);
    std::lock_guard lock(mutex);
    workerConverting = false;
    if (stop || seekTo || parked) return false;
    queue.push_back({frame.us, std::move(buffer)});
    return true;
}

// ---------------------------------------------------------------- stepped

const Image& Video::FrameAt(int64_t ms) {
    State& s = *s_;
    s.JoinWorker();
    const int64_t us = ToUs(ms);
    if (s.shown.pixels.empty()) s.shown = s.first;
    if (!s.steppedValid && s.fresh) {
        // Opening left the decoder right after the first frame, which is on screen.
        s.shownUs = 0;
        s.steppedValid = true;
        s.steppedEnded = false;
        s.fresh = false;
    }
    if (!s.steppedValid) {
        s.Reposition(us);
    } else {
        int64_t reached = s.ahead ? s.ahead.us : s.shownUs;
        if (us < s.shownUs || (!s.steppedEnded && us > reached + kJumpUs)) s.Reposition(us);
    }
    s.Advance(us);
    if (s.pending) {
        s.decoder->Convert(s.pending, s.shown, s.greyToBlack);
        s.pending = {};
    }
    s.lastAskUs = us;
    return s.shown;
}

void Video::State::Reposition(int64_t us) {
    pending = {};
    ahead = {};
    steppedValid = true;
    steppedEnded = !decoder->Seek(us);
    if (steppedEnded) return;
    // The first frame after a seek is at or before the time: it stands until a later one is due.
    steppedEnded = !decoder->Next(pending);
    if (pending) shownUs = pending.us;
}

void Video::State::Advance(int64_t us) {
    for (;;) {
        if (!ahead && !steppedEnded) steppedEnded = !decoder->Next(ahead);
        if (!ahead || ahead.us > us) return;
        pending = std::move(ahead);
        shownUs = pending.us;
    }
}

}  // namespace plat
