// The headless device. Its clock is a plain counter; moving it renders the audio of the time that
// passed, so a run on the headless device produces the same samples every time.
#include "platform/headless.h"

#include <algorithm>
#include <cstdio>

namespace plat {

namespace {

// Audio frame index of a clock reading: floor(ms * 44100 / 1000), also for negative readings.
int64_t FrameAt(int64_t ms, int32_t rate) {
    int64_t num = ms * rate;
    int64_t q = num / 1000;
    if (num % 1000 != 0 && num < 0) --q;
    return q;
}

constexpr int32_t kChunkFrames = 1024;

}  // namespace

HeadlessDevice::HeadlessDevice() = default;
HeadlessDevice::~HeadlessDevice() = default;

int32_t HeadlessDevice::Now() {
    return static_cast<int32_t>(static_cast<uint32_t>(now_));
}

void HeadlessDevice::Sleep(int32_t ms) {
    if (ms > 0) MixUntil(now_ + ms);
}

void HeadlessDevice::Advance(int32_t ms) {
    Sleep(ms);
}

void HeadlessDevice::SetTime(int32_t ms) {
    MixUntil(ms);
}

// Renders the frames between the last mixed one and the frame of `ms`. When nothing is playing
// and nobody listens, the silence is skipped rather than computed, so long jumps stay cheap.
void HeadlessDevice::MixUntil(int64_t ms) {
    int64_t target = FrameAt(ms, mixer_.OutputRate());
    now_ = ms;
    if (target <= mixedFrames_) {
        mixedFrames_ = target;  // the clock went back: time restarts there, nothing is replayed
        return;
    }
    float buf[2 * kChunkFrames];
    while (mixedFrames_ < target) {
        if (!capturing_ && mixer_.PlayingVoices() == 0) {
            mixedFrames_ = target;
            break;
        }
        int32_t n = static_cast<int32_t>(std::min<int64_t>(kChunkFrames, target - mixedFrames_));
        if (capturing_)
            MixCaptured(n);
        else
            mixer_.Mix(buf, n);
        mixedFrames_ += n;
    }
}

void HeadlessDevice::MixCaptured(int32_t frames) {
    size_t tail = held_.size() - heldFrom_;
    mixer_.TakeLate(held_.data() + heldFrom_, static_cast<int32_t>(tail / 2));
    held_.resize(held_.size() + 2 * static_cast<size_t>(frames));
    mixer_.MixUnclipped(held_.data() + held_.size() - 2 * static_cast<size_t>(frames), frames);
    Deliver(hold_);
}

void HeadlessDevice::Deliver(int64_t keep) {
    int64_t held = static_cast<int64_t>(held_.size() - heldFrom_) / 2;
    if (held <= keep) return;
    float* from = held_.data() + heldFrom_;
    size_t count = 2 * static_cast<size_t>(held - keep);
    ClipSamples(from, count);
    heldFrom_ += count;
    if (!sink_(from, held - keep)) {
        capturing_ = false;
        refused_ = true;
    }
    // Given frames are dropped once they outnumber the held ones, so each moves at most once.
    if (heldFrom_ >= held_.size() - heldFrom_) {
        held_.erase(held_.begin(), held_.begin() + static_cast<std::ptrdiff_t>(heldFrom_));
        heldFrom_ = 0;
    }
}

void HeadlessDevice::SetKey(int vkCode, bool down) {
    if (vkCode >= 0 && vkCode < 256) keys_[vkCode] = down;
}

void HeadlessDevice::ReleaseAllKeys() {
    for (bool& k : keys_) k = false;
}

void HeadlessDevice::SetActive(bool active) {
    active_ = active;
}
void HeadlessDevice::PushEvent(const Event& e) {
    events_.push_back(e);
}
void HeadlessDevice::SetRefreshRate(int hz) {
    refreshRate_ = hz;
}
void HeadlessDevice::FailVideo(bool fail) {
    failVideo_ = fail;
}
void HeadlessDevice::FailAudio(bool fail) {
    failAudio_ = fail;
}
void HeadlessDevice::SetDialogResult(std::optional<std::string> path) {
    dialogResult_ = std::move(path);
}
void HeadlessDevice::SetScreenSize(int width, int height) {
    screenW_ = width;
    screenH_ = height;
}

void HeadlessDevice::SetUsableArea(int width, int height) {
    usableW_ = width;
    usableH_ = height;
}

void HeadlessDevice::StartCapture(AudioSink sink, int32_t holdFrames) {
    sink_ = std::move(sink);
    hold_ = std::max(holdFrames, 0);
    held_.clear();
    heldFrom_ = 0;
    capturing_ = true;
    refused_ = false;
    mixer_.SetLateLimit(hold_);
}

void HeadlessDevice::EndCapture() {
    if (capturing_) {
        size_t tail = held_.size() - heldFrom_;
        mixer_.TakeLate(held_.data() + heldFrom_, static_cast<int32_t>(tail / 2));
        Deliver(0);
    }
    capturing_ = false;
    sink_ = nullptr;
    held_.clear();
    heldFrom_ = 0;
    mixer_.SetLateLimit(0);
}

void HeadlessDevice::StartCapture() {
    capture_.clear();
    StartCapture([this](const float* stereo, int64_t frames) {
        capture_.insert(capture_.end(), stereo, stereo + 2 * frames);
        return true;
    });
}

std::vector<float> HeadlessDevice::TakeCapture() {
    EndCapture();
    return std::move(capture_);
}

bool HeadlessDevice::OpenVideo(int width, int height) {
    if (failVideo_ || width <= 0 || height <= 0) return false;
    videoOpen_ = true;
    return true;
}

void HeadlessDevice::CloseVideo() {
    videoOpen_ = false;
    shown_ = false;
}

void HeadlessDevice::SetCaption(const std::string& utf8) {
    caption_ = utf8;
}
std::string HeadlessDevice::Caption() const {
    return caption_;
}
void HeadlessDevice::ShowWindow() {
    shown_ = videoOpen_;
}
bool HeadlessDevice::IsMinimized() {
    return false;
}
void HeadlessDevice::SetWindowPos(int x, int y) {
    winX_ = x;
    winY_ = y;
}
void HeadlessDevice::GetWindowPos(int& x, int& y) {
    x = winX_;
    y = winY_;
}
void HeadlessDevice::GetScreenSize(int& width, int& height) {
    width = screenW_;
    height = screenH_;
}
void HeadlessDevice::GetUsableArea(int& width, int& height) {
    width = usableW_;
    height = usableH_;
}
void HeadlessDevice::SetWindowScale(int factor) {
    scale_ = factor;
}
void HeadlessDevice::SetFullscreen(bool on) {
    fullscreen_ = on;
}
void HeadlessDevice::SetAlwaysOnTop(bool on) {
    alwaysOnTop_ = on;
}
void HeadlessDevice::SetFontFace(const std::string& face) {
    fontFace_ = face;
}
std::string HeadlessDevice::FontFace() const {
    return fontFace_;
}
int HeadlessDevice::RefreshRate() {
    return refreshRate_;
}
void HeadlessDevice::SetVsync(bool on) {
    vsync_ = on;
}

void HeadlessDevice::Present(const uint32_t* pixels, int width, int height) {
    ++presents_;
    if (!pixels || width <= 0 || height <= 0) return;
    size_t count = static_cast<size_t>(width) * static_cast<size_t>(height);
    bool same = !exposed_ && lastWidth_ == width && lastHeight_ == height &&
                std::equal(pixels, pixels + count, lastFrame_.begin());
    if (same) return;
    lastFrame_.assign(pixels, pixels + count);
    lastWidth_ = width;
    lastHeight_ = height;
    exposed_ = false;
    ++uploads_;
}

void HeadlessDevice::WaitVBlank() {}

bool HeadlessDevice::PollEvent(Event& e) {
    if (events_.empty()) return false;
    e = std::move(events_.front());
    events_.pop_front();
    if (e.type == Event::Type::Expose) exposed_ = true;
    return true;
}

bool HeadlessDevice::KeyDown(int vkCode) {
    return vkCode >= 0 && vkCode < 256 && keys_[vkCode];
}
bool HeadlessDevice::IsActive() {
    return active_;
}

void HeadlessDevice::ShowMessageBox(const std::string& title, const std::string& text) {
    messageBoxes_.push_back(title + "\n" + text);
    std::fprintf(stderr, "%s: %s\n", title.c_str(), text.c_str());
}

std::optional<std::string> HeadlessDevice::OpenFileDialog(const std::string&, const std::string&) {
    return dialogResult_;
}

bool HeadlessDevice::OpenAudio() {
    if (failAudio_) return false;
    audioOpen_ = true;
    return true;
}

void HeadlessDevice::CloseAudio() {
    audioOpen_ = false;
}
Mixer& HeadlessDevice::GetMixer() {
    return mixer_;
}

}  // namespace plat
