// The seam between Korvane and the operating system. Everything above src/platform talks to the
// machine only through this header: a Device (real SDL window and audio, or a headless stand-in
// with a virtual clock) plus plain functions for files, decoding and text encoding.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "base/media_budget.h"
#include "platform/mixer.h"

namespace plat {

// ---------------------------------------------------------------- images and sounds

// A 32-bit XRGB picture (0x00RRGGBB per pixel, rows top to bottom, no padding).
struct Image {
    int32_t width = 0;
    int32_t height = 0;
    std::vector<uint32_t> pixels;
};

// Decodes an image file; with greyToBlack every pixel whose red, green and blue are all 16 or
// less becomes pure black. Empty on any failure (missing, corrupt, absurdly large).
std::optional<Image> DecodeImage(const std::string& path, bool greyToBlack);
// The same, with the picture's bytes held in `budget` (its size is known before any pixel is
// decoded; the decoder's own buffers are held only while it runs). Throws media::OverBudget when
// the budget cannot give them.
std::optional<Image> DecodeImage(const std::string& path, bool greyToBlack,
                                 media::Reservation& budget);
// Renders one line of text, white on black, in the named font face (fontconfig pattern; empty
// means the default sans face that covers Japanese) at 12 pixels. Empty when it cannot.
std::optional<Image> RenderText(const std::string& utf8, const std::string& face);
// Finds and opens the default face on a thread of its own, so that the first title does not wait
// for fontconfig's first look at the system's fonts (which scans them all when it has no cache).
void PrepareFonts();
// Closes the fonts RenderText opened and the text library; the next call opens them again.
void CloseFonts();
// Writes a picture as PNG; false on failure.
bool WritePng(const std::string& path, const Image& image);

// Decodes a whole sound file to PCM in its own sample format. Empty on any failure.
std::optional<Pcm> DecodeSound(const std::string& path);
// The same, with the bytes of the samples held in `budget` as they grow (the sound's own buffer,
// and for a moment the one it grows from). Throws media::OverBudget when the budget cannot give
// them.
std::optional<Pcm> DecodeSound(const std::string& path, media::Reservation& budget);
// What a sound file's header tells: its format (as DecodeSound would give it) and its frame count
// (0 when the header gives none). Reading it costs a fraction of a decode.
struct SoundHeader {
    SampleType type = SampleType::S16;
    int32_t channels = 0;
    int32_t rate = 0;
    uint64_t frames = 0;
};
// The header of a sound file DecodeSound would open; empty when it would not.
std::optional<SoundHeader> ProbeSound(const std::string& path);
// The bytes the sound will hold once decoded and converted to the output rate.
uint64_t HeldBytes(const SoundHeader& header);
// Converts a decoded sound to the mixer's output rate with a band-limited resampler, so that at
// normal speed the mixer plays it frame for frame; the format the sound reports stays the
// file's (see Pcm). Meant for the decoding threads: it costs about as much as decoding. A sound
// already at that rate is left as it is, and so is one whose conversion would not fit the size
// limit or fails (the mixer then interpolates, as it does at other speeds).
void ConvertToOutputRate(Pcm& pcm);
// The same, taking the converted bytes from `budget` before they are made and giving back the
// decoded ones after; media::OverBudget when the budget cannot give them.
void ConvertToOutputRate(Pcm& pcm, media::Reservation& budget);
// Readies the process for decoding on several threads; call before the decoding threads start.
void PrepareParallelDecoding();
// Makes the calling thread give way to the others: decoding ahead must never make a frame late.
void LowerThreadPriority();
// A file being replaced: the target (links followed) and the temporary beside it.
struct Replacement {
    std::string target, temp;
};
// A 44.1 kHz 16-bit stereo WAV file written as its sound is made, in constant memory.
class WavWriter {
  public:
    // The most data a WAV file can describe (its size fields are 32-bit), a whole frame.
    static const uint64_t kFormatLimitBytes;

    WavWriter() = default;
    ~WavWriter();
    WavWriter(const WavWriter&) = delete;
    WavWriter& operator=(const WavWriter&) = delete;

    // Starts the file with a header, in a temporary beside `path` that replaces it only when the
    // file is closed complete; data beyond `limitBytes` (at most the format's limit) is refused.
    // False when the file cannot be written (`why` says why).
    bool Open(const std::string& path, uint64_t limitBytes = kFormatLimitBytes,
              std::string* why = nullptr);
    // Appends interleaved stereo float frames, within -1..1 (ClipSamples). False on a write error
    // or when the frames would pass the limit: then the frames that fit are written and Full() is
    // true.
    bool Write(const float* stereo, int64_t frames);
    bool Full() const { return full_; }
    uint64_t DataBytes() const { return dataBytes_; }
    // Corrects the header's sizes to the data written and puts the file in its place; false on
    // failure, and then the file there before stays as it was.
    bool Close();
    // Gives the file up: the file there before stays as it was.
    void Discard();

  private:
    std::FILE* file_ = nullptr;
    Replacement replacement_;
    uint64_t limit_ = 0;
    uint64_t dataBytes_ = 0;
    bool full_ = false;
};

// ---------------------------------------------------------------- files and paths

// The folder of the running executable, ending in "/".
std::string ExeDir();
// True when path names an existing regular file (taken literally: no wildcards).
bool IsRegularFile(const std::string& path);
// The size in bytes of a regular file; 0 for anything else.
uint64_t FileSize(const std::string& path);
// What tells this file's present contents from any other's: device, inode, size and change
// time, as text; "" when `path` is not a regular file.
std::string FileIdentity(const std::string& path);
// A chart's file name as it exists on disk: "\" becomes "/", and when the exact name is missing
// each component is matched case-insensitively. Returns the converted name when nothing matches.
std::string ResolvePath(const std::string& path);
// The chart files (.bms .bme .bml .pms, any case) of folder `dir` ("" = current folder), names
// only, in natural order: compared without regard to case, runs of digits by their value, so
// "a_7n.bme" comes before "a_14n.bme". Empty when the folder cannot be listed.
std::vector<std::string> ListCharts(const std::string& dir);
// The natural order of ListCharts: < 0, 0 or > 0; 0 only for equal names.
int CompareNatural(const std::string& a, const std::string& b);
// Regular files in folder `dir` (a resolved folder path, "" = current folder) whose name is
// `base` or `base` + "." + any extension, the base compared case-insensitively. Exact-case
// matches come first, then the rest ordered by name. Names only, without the folder.
std::vector<std::string> ListSameBase(const std::string& dir, const std::string& base);
// While the lookup index is open, ResolvePath, ListSameBase and IsRegularFileListed answer from
// one listing of each folder, made the first time a name in it is looked up (from any thread):
// the names of a chart then cost no system call, found or not. Files that come or go meanwhile
// are not seen, so it is open only while one chart is loaded.
void OpenLookupIndex();
void CloseLookupIndex();
// Whether the folder of `path` ("\\" read as "/") holds a regular file whose name, without regard
// to case, is the base name of the path's last part with any extension or none: from the lookup
// index, and only when the folder opens as written and the base name is not empty (else empty).
std::optional<bool> SameBaseListed(const std::string& path);
// IsRegularFile, answered from the lookup index when one is open.
bool IsRegularFileListed(const std::string& path);
// Why `path` cannot be read as a regular file of at most maxBytes bytes, for a message to the
// user ("No such file or directory", "not a regular file", ...); "" when it can. `missing` tells
// whether the reason is that nothing is there. Never blocks, not even on a FIFO.
std::string WhyUnreadable(const std::string& path, size_t maxBytes = SIZE_MAX,
                          bool* missing = nullptr);
// Whole file contents; empty optional when it cannot be read, is no regular file or is larger
// than maxBytes. Never blocks on a FIFO.
std::optional<std::string> ReadFile(const std::string& path, size_t maxBytes = SIZE_MAX);
// Replaces the contents of the file that `path` names, following symbolic links to their target:
// written to a temporary beside the target, which gets the target's mode (and owner, where
// allowed), then renamed over it. A target without write permission is left as it is. False on
// failure, with the reason in `why`.
bool WriteFileAtomic(const std::string& path, const std::string& data, std::string* why = nullptr);
// The pieces of that replacement for a file written bit by bit: OpenReplacement opens the
// temporary (-1 with the reason in `why` when the target cannot be replaced), CommitReplacement
// renames it over the target when `written`, else removes it and leaves the target as it was.
int OpenReplacement(const std::string& path, Replacement& r, std::string* why = nullptr);
bool CommitReplacement(const Replacement& r, bool written, std::string* why = nullptr);
// Appends text to a regular file, creating it. False on failure; never blocks on a FIFO.
bool AppendFile(const std::string& path, const std::string& data);

// ---------------------------------------------------------------- text encoding

// A chart's bytes as UTF-8: kept when they are valid UTF-8, else converted from Shift_JIS (CP932);
// bytes that do not convert become U+FFFD.
std::string ChartTextToUtf8(const std::string& bytes);
bool IsValidUtf8(const std::string& bytes);
// The bytes as valid UTF-8, each byte that is not part of a well-formed sequence replaced by
// U+FFFD: for showing a file name, whose bytes need not be text.
std::string ShowableText(const std::string& bytes);

// ---------------------------------------------------------------- process

// The machine's physical memory in bytes; 0 when unknown.
size_t MachineMemoryBytes();
// Writes one line to standard error (a word to the user that is no error report).
void TellUser(const std::string& line);
// Ends the process with the exit code. Tests install a handler that throws instead.
[[noreturn]] void ExitProcess(int code);
struct ProcessExit {
    int code;
};
// When set, ExitProcess throws ProcessExit{code} instead of ending the process.
void SetExitThrows(bool throws);

// The command line of this process as one text: arguments joined by spaces, an argument that
// holds a space or is empty wrapped in double quotes.
void SetCommandLine(int argc, char** argv);
std::string CommandLine();
// The same line for handing over to a running instance: arguments that are not options and not
// absolute are prefixed with this process's working folder.
std::string HandOverCommandLine();

// ---------------------------------------------------------------- single instance

// A per-user Unix-domain socket joins the instances. A second start connects, sends its command
// line (at most 64 KiB) and waits until the running instance says it has handled the line.

// Hands the command line to an already running instance of this user's Korvane. True when a
// running instance took it (this process must end at once); false when none runs, the line is
// too long, or the running one refused it. Waits for the answer at most ~10 s.
bool HandOverToRunningInstance(const std::string& cmdLine);
// Becomes the instance that others hand over to (a stale socket left by a crashed instance is
// replaced). False when the socket cannot be made or another instance is listening.
bool ListenForInstances();
// A command line handed over since the last call, if any; never blocks. The sender is told the
// line was handled when the caller acknowledges it: by AckInstanceMessage, or implicitly by the
// next PollInstanceMessage or StopListening. So: poll, act on the line (ReadCmdLine), then ack.
// Connections from other users, longer messages than 64 KiB and connections that stay silent
// or incomplete for ~2 s are dropped.
std::optional<std::string> PollInstanceMessage();
void AckInstanceMessage();
void StopListening();

// ---------------------------------------------------------------- the device

// Window-system happenings delivered by the message pass.
struct Event {
    enum class Type { Quit, DropFile, DoubleClick, Wheel, Expose };
    Type type;
    std::string text;   // DropFile: the full path
    int32_t wheel = 0;  // Wheel: > 0 away from the user, 120 per notch
    uint32_t drop = 0;  // DropFile: the files of one drop share this number
};

// Virtual-key codes of the keys Korvane reads (Windows numbering, 0 to 255).
namespace vk {
constexpr int Space = 32, PageUp = 33, PageDown = 34, End = 35, Home = 36, Up = 38, Down = 40;
constexpr int Tab = 9, Shift = 16, Ctrl = 17, Escape = 27, F1 = 112, F2 = 113, F11 = 122;
constexpr int PadPlus = 107, PadMinus = 109, Equals = 187, Minus = 189;
constexpr int Digit0 = 48;  // '0' .. '9' are 48 .. 57, 'A' .. 'Z' are 65 .. 90
}  // namespace vk

class Device {
  public:
    virtual ~Device() = default;

    // Clock: milliseconds as a wrapping signed 32-bit count; Sleep blocks (or, headless, advances
    // the virtual clock and mixes the audio that elapses).
    // WaitVBlank returns at the next vertical blank: after a present with a vsync renderer it
    // returns at once (the present waited); otherwise it sleeps to the next refresh period.
    virtual int32_t Now() = 0;
    virtual void Sleep(int32_t ms) = 0;
    // True when the clock is one that only moves when told to: work that would run beside the
    // frame loop in real time (decoding a video ahead) is done in step with it instead, so the
    // same times give the same pictures.
    virtual bool ClockIsVirtual() const { return false; }

    // Window: created hidden with a client area of width x height; false when it cannot be made.
    virtual bool OpenVideo(int width, int height) = 0;
    virtual void CloseVideo() = 0;
    virtual void SetCaption(const std::string& utf8) = 0;
    virtual std::string Caption() const = 0;
    virtual void ShowWindow() = 0;
    virtual bool IsMinimized() = 0;
    // Pixels. The SDL device reads and sets the client area's top-left corner both ways, so a
    // saved position comes back exactly whatever the decorations measure.
    virtual void SetWindowPos(int x, int y) = 0;
    virtual void GetWindowPos(int& x, int& y) = 0;
    virtual void GetScreenSize(int& width, int& height) = 0;
    // The part of the screen a window may take (without panels and docks); 0 x 0 when unknown.
    virtual void GetUsableArea(int& width, int& height) = 0;
    // The window shows the frame `factor` times its size, nearest neighbour, the client area
    // growing from its top-left corner; in fullscreen the frame is drawn at the largest whole
    // factor that fits, centred on black, and the window factor returns with the window. Mouse
    // events keep working at any scale. Presented frames keep their own size.
    virtual void SetWindowScale(int factor) = 0;
    virtual void SetFullscreen(bool on) = 0;
    virtual void SetAlwaysOnTop(bool on) = 0;
    virtual void SetFontFace(const std::string& face) = 0;
    virtual std::string FontFace() const = 0;
    // Refresh rate of the current display mode in hertz; 0 when unknown.
    virtual int RefreshRate() = 0;
    virtual void SetVsync(bool on) = 0;
    // Shows a 32-bit XRGB frame of width x height. Skips the upload when the frame equals the one
    // on screen and the window was not exposed since.
    virtual void Present(const uint32_t* pixels, int width, int height) = 0;
    virtual void WaitVBlank() = 0;
    // Next pending event, false when the queue is empty.
    virtual bool PollEvent(Event& e) = 0;
    // Keyboard by virtual-key code and the focus rule.
    virtual bool KeyDown(int vkCode) = 0;
    virtual bool IsActive() = 0;
    // A critical message box, always also written to standard error. Setting the environment
    // variable KORVANE_NO_MESSAGEBOX (not "0") skips the box, for unattended runs.
    virtual void ShowMessageBox(const std::string& title, const std::string& text) = 0;
    // The file-open dialog for charts; empty when cancelled or unavailable.
    virtual std::optional<std::string> OpenFileDialog(const std::string& folder,
                                                      const std::string& file) = 0;

    // Audio: opens the output device (44.1 kHz stereo float, 512-frame period) with its mixer;
    // false when it cannot (no sound device, or SDL_AUDIODRIVER names a missing driver).
    virtual bool OpenAudio() = 0;
    virtual void CloseAudio() = 0;
    virtual Mixer& GetMixer() = 0;
};

// The device in use; a headless one is installed until a program installs another.
Device& Dev();
void Install(std::unique_ptr<Device> device);

// The real backend: SDL2 window, renderer, keyboard and audio device.
std::unique_ptr<Device> MakeSdlDevice();

// Shorthands for the clock.
inline int32_t Now() {
    return Dev().Now();
}
inline void Sleep(int32_t ms) {
    Dev().Sleep(ms);
}

}  // namespace plat
