// The headless device: no window, no sound card. Its clock only moves when told to (a Sleep
// advances it), its mixer renders exactly the samples that elapse on that clock, and tests script
// its keyboard, events and failures.
#pragma once

#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace plat {

class HeadlessDevice : public Device {
  public:
    HeadlessDevice();
    ~HeadlessDevice() override;

    // ---- test and renderer controls
    void SetTime(int32_t ms);  // jumps the clock (mixing the audio in between)
    void Advance(int32_t ms);  // same as Sleep
    void SetKey(int vkCode, bool down);
    void ReleaseAllKeys();
    void SetActive(bool active);
    void PushEvent(const Event& e);
    void SetRefreshRate(int hz);
    void FailVideo(bool fail);  // OpenVideo returns false
    void FailAudio(bool fail);  // OpenAudio returns false
    void SetDialogResult(std::optional<std::string> path);
    void SetScreenSize(int width, int height);
    void SetUsableArea(int width, int height);
    // Audio capture: every mixed frame goes to the sink while capturing (stereo float, 44.1 kHz,
    // clipped), in order; a sink that answers false ends the capture. The clock at t ms has
    // rendered exactly floor(t * 44100 / 1000) frames since zero; the mix runs whether or not
    // OpenAudio was called. With `holdFrames`, the capture keeps that many of the last frames
    // back, and the mixer may start voices up to that many frames late (Mixer::PlayLate).
    using AudioSink = std::function<bool(const float* stereo, int64_t frames)>;
    void StartCapture(AudioSink sink, int32_t holdFrames = 0);
    // Hands the frames held back to the sink and ends the capture.
    void EndCapture();
    // Whether the sink ended the capture.
    bool CaptureRefused() const { return refused_; }
    // The same into a list of samples, for tests.
    void StartCapture();
    std::vector<float> TakeCapture();
    // The last presented frame and how many frames were actually uploaded (unchanged frames are
    // not uploaded, as on the real device).
    const std::vector<uint32_t>& LastFrame() const { return lastFrame_; }
    int LastWidth() const { return lastWidth_; }
    int LastHeight() const { return lastHeight_; }
    int PresentCount() const { return presents_; }
    int UploadCount() const { return uploads_; }
    // Every message box shown, as title + "\n" + text (also written to standard error).
    const std::vector<std::string>& MessageBoxes() const { return messageBoxes_; }
    bool AlwaysOnTop() const { return alwaysOnTop_; }
    bool Shown() const { return shown_; }
    bool VideoOpen() const { return videoOpen_; }
    bool AudioOpen() const { return audioOpen_; }
    bool Vsync() const { return vsync_; }
    int WindowScale() const { return scale_; }
    bool Fullscreen() const { return fullscreen_; }

    // ---- Device
    int32_t Now() override;
    bool ClockIsVirtual() const override { return true; }
    void Sleep(int32_t ms) override;
    bool OpenVideo(int width, int height) override;
    void CloseVideo() override;
    void SetCaption(const std::string& utf8) override;
    std::string Caption() const override;
    void ShowWindow() override;
    bool IsMinimized() override;
    void SetWindowPos(int x, int y) override;
    void GetWindowPos(int& x, int& y) override;
    void GetScreenSize(int& width, int& height) override;
    void GetUsableArea(int& width, int& height) override;
    void SetWindowScale(int factor) override;
    void SetFullscreen(bool on) override;
    void SetAlwaysOnTop(bool on) override;
    void SetFontFace(const std::string& face) override;
    std::string FontFace() const override;
    int RefreshRate() override;
    void SetVsync(bool on) override;
    void Present(const uint32_t* pixels, int width, int height) override;
    void WaitVBlank() override;
    bool PollEvent(Event& e) override;
    bool KeyDown(int vkCode) override;
    bool IsActive() override;
    void ShowMessageBox(const std::string& title, const std::string& text) override;
    std::optional<std::string> OpenFileDialog(const std::string& folder,
                                              const std::string& file) override;
    bool OpenAudio() override;
    void CloseAudio() override;
    Mixer& GetMixer() override;

  private:
    void MixUntil(int64_t ms);
    void MixCaptured(int32_t frames);
    // Gives the sink every frame beyond the last `keep`.
    void Deliver(int64_t keep);

    int64_t now_ = 0;
    int64_t mixedFrames_ = 0;  // frames of audio rendered since the clock's zero
    bool keys_[256] = {};
    bool active_ = true;
    std::deque<Event> events_;
    int refreshRate_ = 60;
    bool failVideo_ = false, failAudio_ = false, videoOpen_ = false, audioOpen_ = false;
    bool vsync_ = false, shown_ = false, alwaysOnTop_ = false;
    int winX_ = 0, winY_ = 0, screenW_ = 1920, screenH_ = 1080;
    int usableW_ = 1920, usableH_ = 1040, scale_ = 1;
    bool fullscreen_ = false;
    std::string caption_, fontFace_;
    std::optional<std::string> dialogResult_;
    std::vector<uint32_t> lastFrame_;
    int lastWidth_ = 0, lastHeight_ = 0;
    bool exposed_ = false;
    int presents_ = 0, uploads_ = 0;
    std::vector<std::string> messageBoxes_;
    bool capturing_ = false, refused_ = false;
    AudioSink sink_;
    int32_t hold_ = 0;
    std::vector<float> held_;  // mixed, unclipped, not given to the sink from heldFrom_ on
    size_t heldFrom_ = 0;
    std::vector<float> capture_;
    Mixer mixer_;
};

// Installs a fresh headless device and returns it (owned by the platform layer).
HeadlessDevice& InstallHeadless();

}  // namespace plat
