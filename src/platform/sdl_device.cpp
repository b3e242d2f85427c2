// The real device: one SDL window with a renderer and a streaming texture, SDL's keyboard state
// and one SDL audio device fed by the mixer from SDL's audio thread.
#include <SDL.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/file_dialog.h"
#include "platform/platform.h"
#include "platform/sdl_keys.h"

namespace plat {

namespace {

constexpr int kAudioRate = 44100;
constexpr int kAudioPeriod = 512;
constexpr int kWheelDelta = 120;  // one notch, in the unit the window system reports wheels in

void AudioCallback(void* userdata, Uint8* stream, int len) {
    static_cast<Mixer*>(userdata)->Mix(reinterpret_cast<float*>(stream),
                                       len / static_cast<int>(2 * sizeof(float)));
}

class SdlDevice : public Device {
  public:
    SdlDevice() : mixer_(kAudioRate) {}
    ~SdlDevice() override {
        CloseAudio();
        CloseVideo();
    }

    int32_t Now() override { return static_cast<int32_t>(static_cast<uint32_t>(SDL_GetTicks64())); }

    void Sleep(int32_t ms) override { SDL_Delay(ms > 0 ? static_cast<Uint32>(ms) : 0); }

    bool OpenVideo(int width, int height) override;
    void CloseVideo() override;

    void SetCaption(const std::string& utf8) override {
        // The window system drops a title that is not valid UTF-8 and keeps the old one.
        caption_ = ShowableText(utf8);
        if (window_) SDL_SetWindowTitle(window_, caption_.c_str());
    }
    std::string Caption() const override { return caption_; }

    void ShowWindow() override {
        if (!window_) return;
        SDL_ShowWindow(window_);
        exposed_ = true;
    }

    bool IsMinimized() override {
        return window_ && (SDL_GetWindowFlags(window_) & SDL_WINDOW_MINIMIZED) != 0;
    }

    // Positions are those of the client area's top-left corner, both ways, so a position saved
    // and restored later lands where it was whatever the decorations measure.
    // In fullscreen the position is the one the window will return to.
    void SetWindowPos(int x, int y) override {
        posX_ = x;
        posY_ = y;
        if (window_ && !fullscreen_) SDL_SetWindowPosition(window_, x, y);
    }
    void GetWindowPos(int& x, int& y) override {
        if (window_ && !fullscreen_) SDL_GetWindowPosition(window_, &posX_, &posY_);
        x = posX_;
        y = posY_;
    }

    void GetScreenSize(int& width, int& height) override {
        SDL_DisplayMode mode;
        width = height = 0;
        if (!videoReady_) return;
        if (SDL_GetDesktopDisplayMode(DisplayIndex(), &mode) == 0) {
            width = mode.w;
            height = mode.h;
        }
    }

    void GetUsableArea(int& width, int& height) override {
        SDL_Rect r{};
        width = height = 0;
        if (!videoReady_ || SDL_GetDisplayUsableBounds(DisplayIndex(), &r) != 0) return;
        width = r.w;
        height = r.h;
    }

    void SetWindowScale(int factor) override;
    void SetFullscreen(bool on) override;

    void SetAlwaysOnTop(bool on) override {
        onTop_ = on;
        if (window_) SDL_SetWindowAlwaysOnTop(window_, on ? SDL_TRUE : SDL_FALSE);
    }

    void SetFontFace(const std::string& face) override { fontFace_ = face; }
    std::string FontFace() const override { return fontFace_; }

    int RefreshRate() override {
        SDL_DisplayMode mode;
        if (!videoReady_ || SDL_GetCurrentDisplayMode(DisplayIndex(), &mode) != 0) return 0;
        return mode.refresh_rate > 0 ? mode.refresh_rate : 0;
    }

    void SetVsync(bool on) override;
    void Present(const uint32_t* pixels, int width, int height) override;
    void WaitVBlank() override;
    bool PollEvent(Event& e) override;
    bool KeyDown(int vkCode) override { return window_ && SdlKeyDown(vkCode); }
    bool IsActive() override { return window_ && SDL_GetKeyboardFocus() == window_; }
    void ShowMessageBox(const std::string& title, const std::string& text) override;

    std::optional<std::string> OpenFileDialog(const std::string& folder,
                                              const std::string& file) override {
        // Events stay queued while the dialog runs; pumping them keeps the window answering
        // the window system, so it is not reported as hung.
        return RunFileDialog(folder, file, [this] {
            if (videoReady_) SDL_PumpEvents();
        });
    }

    bool OpenAudio() override;
    void CloseAudio() override;
    Mixer& GetMixer() override { return mixer_; }

  private:
    int DisplayIndex() const {
        int index = window_ ? SDL_GetWindowDisplayIndex(window_) : 0;
        return index >= 0 ? index : 0;
    }
    bool MakeRenderer();
    void ApplyWindowSize();
    void DropRenderer();

    SDL_Window* window_ = nullptr;
    SDL_Renderer* renderer_ = nullptr;
    bool rendererFailed_ = false;  // neither kind of renderer could be made for the window
    SDL_Texture* texture_ = nullptr;
    int texW_ = 0, texH_ = 0;
    int frameW_ = 0, frameH_ = 0;  // the frame size the window was made for
    int scale_ = 1;
    bool fullscreen_ = false;
    bool videoReady_ = false;
    bool vsync_ = false;
    bool rendererVsync_ = false;  // the renderer waits for the blank in its present
    bool exposed_ = true;
    bool presentedSinceWait_ = false;
    Uint64 lastPresent_ = 0;  // performance-counter time of the last real present
    Uint64 lastWaitEnd_ = 0;  // and of the end of the last WaitVBlank
    std::vector<uint32_t> onScreen_;
    int onScreenW_ = 0, onScreenH_ = 0;
    std::string caption_, fontFace_;
    int posX_ = SDL_WINDOWPOS_UNDEFINED, posY_ = SDL_WINDOWPOS_UNDEFINED;
    bool onTop_ = false;
    uint32_t dropSerial_ = 0;

    SDL_AudioDeviceID audio_ = 0;
    Mixer mixer_;
};

bool SdlDevice::OpenVideo(int width, int height) {
    if (window_) return true;
    if (width <= 0 || height <= 0) return false;
    SDL_SetHint(SDL_HINT_VIDEO_X11_NET_WM_BYPASS_COMPOSITOR, "0");
    SDL_SetHint(SDL_HINT_RENDER_SCALE_QUALITY, "nearest");
    // A windowed player leaves the screen saver to the desktop's rules.
    SDL_SetHint(SDL_HINT_VIDEO_ALLOW_SCREENSAVER, "1");
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) return false;
    videoReady_ = true;
    rendererFailed_ = false;
    Uint32 flags = SDL_WINDOW_HIDDEN | (onTop_ ? SDL_WINDOW_ALWAYS_ON_TOP : 0);
    frameW_ = width;
    frameH_ = height;
    // Made for GL at once, as the accelerated renderer would otherwise make the window anew
    // (a new window to the desktop) when it comes; without GL, a plain window for the software
    // renderer.
    for (Uint32 gl : {Uint32{SDL_WINDOW_OPENGL}, Uint32{0}}) {
        window_ = SDL_CreateWindow(caption_.c_str(), posX_, posY_, width * scale_, height * scale_,
                                   flags | gl);
        if (window_) break;
    }
    // The renderer comes with the first frame: making one (a GL context) costs more than the
    // rest of the start, and the window's caption need not wait for it.
    if (!window_ || SDL_GetNumRenderDrivers() <= 0) {
        CloseVideo();
        return false;
    }
    SDL_EventState(SDL_DROPFILE, SDL_ENABLE);
    // Keys are read as a keyboard state, never as typed text: no input method may take them.
    SDL_StopTextInput();
    texW_ = width;
    texH_ = height;
    return true;
}

void SdlDevice::CloseVideo() {
    DropRenderer();
    if (window_) SDL_DestroyWindow(window_);
    window_ = nullptr;
    fullscreen_ = false;
    if (videoReady_) SDL_QuitSubSystem(SDL_INIT_VIDEO);
    videoReady_ = false;
    onScreen_.clear();
}

// Accelerated first, software when no accelerated renderer works (e.g. on a bare X server).
bool SdlDevice::MakeRenderer() {
    Uint32 vsyncFlag = vsync_ ? SDL_RENDERER_PRESENTVSYNC : 0;
    renderer_ = SDL_CreateRenderer(window_, -1, SDL_RENDERER_ACCELERATED | vsyncFlag);
    if (!renderer_) renderer_ = SDL_CreateRenderer(window_, -1, SDL_RENDERER_SOFTWARE);
    if (!renderer_) return false;
    SDL_RendererInfo info;
    rendererVsync_ =
        SDL_GetRendererInfo(renderer_, &info) == 0 && (info.flags & SDL_RENDERER_PRESENTVSYNC) != 0;
    // The renderer scales the frame to the window by whole factors and letterboxes the rest in
    // black; mouse coordinates come back in frame pixels the same way.
    SDL_RenderSetLogicalSize(renderer_, frameW_, frameH_);
    SDL_RenderSetIntegerScale(renderer_, SDL_TRUE);
    texture_ = nullptr;
    exposed_ = true;
    return true;
}

void SdlDevice::DropRenderer() {
    if (texture_) SDL_DestroyTexture(texture_);
    if (renderer_) SDL_DestroyRenderer(renderer_);
    texture_ = nullptr;
    renderer_ = nullptr;
}

void SdlDevice::SetWindowScale(int factor) {
    scale_ = factor < 1 ? 1 : factor;
    ApplyWindowSize();
}

// A window that is not resizable takes a new size from the program only; in fullscreen SDL keeps
// the size for the window's return.
void SdlDevice::ApplyWindowSize() {
    if (!window_) return;
    SDL_SetWindowSize(window_, frameW_ * scale_, frameH_ * scale_);
    exposed_ = true;
}

void SdlDevice::SetFullscreen(bool on) {
    if (!window_ || on == fullscreen_) return;
    if (on) SDL_GetWindowPosition(window_, &posX_, &posY_);
    if (SDL_SetWindowFullscreen(window_, on ? SDL_WINDOW_FULLSCREEN_DESKTOP : 0) != 0) return;
    fullscreen_ = on;
    if (!on) {
        ApplyWindowSize();
        SDL_SetWindowPosition(window_, posX_, posY_);
    }
    exposed_ = true;
}

void SdlDevice::SetVsync(bool on) {
    if (on == vsync_) return;
    vsync_ = on;
    if (!renderer_) return;
    if (SDL_RenderSetVSync(renderer_, on ? 1 : 0) == 0) {
        SDL_RendererInfo info;
        rendererVsync_ = on && SDL_GetRendererInfo(renderer_, &info) == 0 &&
                         (info.flags & SDL_RENDERER_PRESENTVSYNC) != 0;
        return;
    }
    // This renderer cannot switch in place: make a new one with the wanted setting.
    DropRenderer();
    MakeRenderer();
}

void SdlDevice::Present(const uint32_t* pixels, int width, int height) {
    if (!pixels || width <= 0 || height <= 0) return;
    if (!renderer_) {
        if (rendererFailed_) return;
        rendererFailed_ = !MakeRenderer();
        if (rendererFailed_) return;
    }
    size_t count = static_cast<size_t>(width) * static_cast<size_t>(height);
    bool same = !exposed_ && width == onScreenW_ && height == onScreenH_ &&
                std::memcmp(pixels, onScreen_.data(), count * sizeof(uint32_t)) == 0;
    if (same) return;
    if (!texture_ || width != texW_ || height != texH_) {
        if (texture_) SDL_DestroyTexture(texture_);
        texture_ = SDL_CreateTexture(renderer_, SDL_PIXELFORMAT_RGB888, SDL_TEXTUREACCESS_STREAMING,
                                     width, height);
        texW_ = width;
        texH_ = height;
        if (!texture_) return;
        SDL_SetTextureScaleMode(texture_, SDL_ScaleModeNearest);
    }
    SDL_UpdateTexture(texture_, nullptr, pixels, width * static_cast<int>(sizeof(uint32_t)));
    SDL_RenderClear(renderer_);
    SDL_RenderCopy(renderer_, texture_, nullptr, nullptr);
    SDL_RenderPresent(renderer_);
    onScreen_.assign(pixels, pixels + count);
    onScreenW_ = width;
    onScreenH_ = height;
    exposed_ = false;
    presentedSinceWait_ = true;
    lastPresent_ = SDL_GetPerformanceCounter();
}

// With a vsync renderer the present itself waited for the blank. Without one, or when the frame
// was unchanged and nothing was presented, the wait is slept on a grid of refresh periods
// anchored at the last present, so the frame loop keeps its pace either way. Some renderers
// accept vsync and still return at once (software ones); a present that came back well inside
// a period is therefore topped up with sleep, or such a renderer would spin the loop.
void SdlDevice::WaitVBlank() {
    bool presented = presentedSinceWait_;
    presentedSinceWait_ = false;
    int hz = RefreshRate();
    double period = 1.0 / (hz > 0 ? hz : 60);
    double freq = static_cast<double>(SDL_GetPerformanceFrequency());
    Uint64 now = SDL_GetPerformanceCounter();
    double wait;
    if (presented && rendererVsync_) {
        double sinceWait = static_cast<double>(now - lastWaitEnd_) / freq;
        wait = sinceWait < period * 0.75 ? period - sinceWait : 0.0;
    } else {
        double sinceLast = static_cast<double>(now - lastPresent_) / freq;
        double next = std::ceil(sinceLast / period) * period;
        if (next <= sinceLast) next += period;
        wait = next - sinceLast;
    }
    // Rounded up: waking early would find the blank still ahead and wait again for nothing.
    if (wait > 0) SDL_Delay(static_cast<Uint32>(std::ceil(wait * 1000.0)));
    lastWaitEnd_ = SDL_GetPerformanceCounter();
}

bool SdlDevice::PollEvent(Event& e) {
    if (!videoReady_) return false;
    SDL_Event ev;
    while (SDL_PollEvent(&ev)) {
        switch (ev.type) {
            case SDL_QUIT:
                e = Event{Event::Type::Quit, {}, 0};
                return true;
            // One drop is BEGIN, its files, COMPLETE; its files share a number so that the
            // message pass can take one chart from a drop and skip the rest of it.
            case SDL_DROPBEGIN:
            case SDL_DROPCOMPLETE:
                ++dropSerial_;
                break;
            case SDL_DROPFILE: {
                e = Event{Event::Type::DropFile, ev.drop.file ? ev.drop.file : "", 0, dropSerial_};
                SDL_free(ev.drop.file);
                if (!e.text.empty()) return true;
                break;
            }
            case SDL_DROPTEXT:
                SDL_free(ev.drop.file);
                break;
            case SDL_MOUSEBUTTONDOWN:
                // The window system reports each second click of a run as a double-click.
                if (ev.button.button == SDL_BUTTON_LEFT && ev.button.clicks >= 2 &&
                    ev.button.clicks % 2 == 0) {
                    e = Event{Event::Type::DoubleClick, {}, 0};
                    return true;
                }
                break;
            case SDL_MOUSEWHEEL: {
                int y = ev.wheel.y;
                if (ev.wheel.direction == SDL_MOUSEWHEEL_FLIPPED) y = -y;
                if (y != 0) {
                    e = Event{Event::Type::Wheel, {}, y * kWheelDelta};
                    return true;
                }
                break;
            }
            case SDL_WINDOWEVENT:
                switch (ev.window.event) {
                    case SDL_WINDOWEVENT_EXPOSED:
                        exposed_ = true;
                        e = Event{Event::Type::Expose, {}, 0};
                        return true;
                    case SDL_WINDOWEVENT_SHOWN:
                    case SDL_WINDOWEVENT_RESTORED:
                    case SDL_WINDOWEVENT_SIZE_CHANGED:
                        exposed_ = true;
                        break;
                    default:
                        break;
                }
                break;
            case SDL_RENDER_TARGETS_RESET:
            case SDL_RENDER_DEVICE_RESET:
                exposed_ = true;
                break;
            default:
                break;
        }
    }
    return false;
}

void SdlDevice::ShowMessageBox(const std::string& title, const std::string& text) {
    std::fprintf(stderr, "%s: %s\n", title.c_str(), text.c_str());
    // Unattended runs (end-to-end tests) must not stop at a box nobody will close.
    const char* quiet = std::getenv("KORVANE_NO_MESSAGEBOX");
    if (quiet && *quiet && std::strcmp(quiet, "0") != 0) return;
    SDL_ShowSimpleMessageBox(SDL_MESSAGEBOX_ERROR, title.c_str(), text.c_str(), window_);
}

bool SdlDevice::OpenAudio() {
    if (audio_) return true;
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) return false;
    SDL_AudioSpec want{}, have{};
    want.freq = kAudioRate;
    want.format = AUDIO_F32SYS;
    want.channels = 2;
    want.samples = kAudioPeriod;
    want.callback = AudioCallback;
    want.userdata = &mixer_;
    // No changes allowed: SDL converts to whatever the hardware takes, the mixer always sees
    // 44.1 kHz stereo float.
    audio_ = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
    if (!audio_) {
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        return false;
    }
    SDL_PauseAudioDevice(audio_, 0);
    return true;
}

void SdlDevice::CloseAudio() {
    if (!audio_) return;
    SDL_CloseAudioDevice(audio_);
    audio_ = 0;
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
}

}  // namespace

std::unique_ptr<Device> MakeSdlDevice() {
    return std::make_unique<SdlDevice>();
}

}  // namespace plat
