#include <ctime>
#include <exception>

#include "display/surfaces.h"
#include "platform/platform.h"
#include "shell/modMain.h"
#include "shell/settings.h"
#include "sound/modSound.h"

namespace modMain {

bool ShuttingDown = false;

namespace {

// Runs one release step; a step that fails is skipped and the next one runs.
template <typename F>
void Step(F&& f) {
    try {
        f();
    } catch (const std::exception&) {
    }
}

template <typename Slots>
void ClearEach(Slots& slots) {
    for (auto& slot : slots) Step([&] { slot.clear(); });
}

std::string VersionText() {
    return std::to_string(kVersionMajor) + "." + std::to_string(kVersionMinor) + "." +
           std::to_string(kVersionRevision);
}

std::string ErrorText(Long errNo, const std::string& errDescription, const std::string& procName) {
    return "ErrorNo." + std::to_string(errNo) + " " + errDescription + " @" + procName;
}

// Print-zone layout: each field starts at the next multiple of 14 columns.
std::string Zone(std::string text) {
    text += ' ';
    while (text.size() % 14 != 0) text += ' ';
    return text;
}

[[noreturn]] void End(int code) {
    ShuttingDown = false;
    plat::ExitProcess(code);
}

void ReleaseMedia() {
    using namespace modDraw;
    ClearEach(modSound::WavBuffer);
    Step([] {
        if (AudioOpen) plat::Dev().CloseAudio();
        AudioOpen = false;
    });
    ClearEach(BmpSurface);
    Step([] { TitleSurface.clear(); });
    Step([] { FontSurface.clear(); });
    ClearEach(Skin);
    Step([] { RememberWindowPosition(); });
    Step([] {
        if (VideoOpen) plat::Dev().CloseVideo();
        VideoOpen = false;
    });
}

void Release() {
    ReleaseMedia();
    Step([] { plat::StopListening(); });
    Step([] { plat::CloseFonts(); });
}

}  // namespace

void EndProgramWithCode(int code) {
    if (ShuttingDown) throw vb::Error(5, vb::ErrorDescription(5));
    ShuttingDown = true;
    Release();
    End(code);
}

std::string ErrorLogLine(Long errNo, const std::string& errDescription, const std::string& procName,
                         const std::tm& when) {
    char date[32], time[32];
    std::strftime(date, sizeof date, "%Y/%m/%d", &when);
    std::strftime(time, sizeof time, "%H:%M:%S", &when);
    return Zone(date) + Zone(time) + ErrorText(errNo, errDescription, procName) + "/Korvane" +
           VersionText() + "\r\n";
}

std::string ErrorMessageText(Long errNo, const std::string& errDescription,
                             const std::string& procName) {
    return "予期せぬエラーが発生したので強制終了します。\n"
           "エラーの詳細はerror.txtを参照してください。\n"
           "「" +
           ErrorText(errNo, errDescription, procName) + "」";
}

void EndProgram(Long errNo, const std::string& errDescription, const std::string& procName) {
    // A failure inside one of the steps below that tries to end the program again only fails
    // that step.
    if (ShuttingDown) throw vb::Error(errNo, errDescription);
    ShuttingDown = true;

    Release();
    Step([] { SaveConfig(); });
    if (errNo == 0 || errDescription.empty() || procName.empty()) End(0);

    Step([&] {
        if (!UseSettingsFile) return;
        std::time_t now = std::time(nullptr);
        const std::tm* local = std::localtime(&now);
        if (local)
            plat::AppendFile(AppPath + "error.txt",
                             ErrorLogLine(errNo, errDescription, procName, *local));
    });
    Step([&] {
        plat::Dev().ShowMessageBox(AppTitle, ErrorMessageText(errNo, errDescription, procName));
    });
    End(1);
}

}  // namespace modMain
