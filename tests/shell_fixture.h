// A headless device, every module reset, the process end caught, and a fresh program folder.
#pragma once

#include <gtest/gtest.h>
#include <sys/resource.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "chart/modBMSLoad.h"
#include "platform/headless.h"
#include "platform/platform.h"
#include "play/modCount.h"
#include "play/modKey.h"
#include "shell/frmMain.h"
#include "shell/modMain.h"
#include "shell/settings.h"
#include "sound/modSound.h"

namespace shelltest {

namespace fs = std::filesystem;

inline std::string ReadText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

inline void WriteText(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

// While alive, no file of this process can grow past zero bytes: the way to make a folder
// unwritable even for root, who ignores permission bits.
class NoFileWrites {
  public:
    NoFileWrites() {
        getrlimit(RLIMIT_FSIZE, &old_);
        oldHandler_ = std::signal(SIGXFSZ, SIG_IGN);
        rlimit none = old_;
        none.rlim_cur = 0;
        setrlimit(RLIMIT_FSIZE, &none);
    }
    ~NoFileWrites() {
        setrlimit(RLIMIT_FSIZE, &old_);
        std::signal(SIGXFSZ, oldHandler_);
    }

  private:
    rlimit old_{};
    void (*oldHandler_)(int) = nullptr;
};

class ShellTest : public ::testing::Test {
  protected:
    void SetUp() override {
        dev = &plat::InstallHeadless();
        plat::SetExitThrows(true);
        plat::SetCommandLine(0, nullptr);
        modMain::Reset();
        modKey::Reset();
        modCount::Reset();
        modSound::Reset();
        modBMSLoad::Reset();
        char pattern[] = "/tmp/korvane-shell-XXXXXX";
        dir = mkdtemp(pattern);
        modMain::AppPath = dir + "/";
        modMain::UseInstanceHandOver = false;
        oldCwd = fs::current_path();
    }
    void TearDown() override {
        fs::current_path(oldCwd);
        plat::SetCommandLine(0, nullptr);
        std::error_code ec;
        fs::remove_all(dir, ec);
    }

    std::string Ini() const { return dir + "/krv.ini"; }
    std::string Path(const std::string& name) const { return dir + "/" + name; }
    void Touch(const std::string& name) const { WriteText(Path(name), "x"); }

    // Runs `f`, which must end the process; returns the exit code.
    template <typename F>
    int ExitCodeOf(F&& f) {
        try {
            f();
        } catch (const plat::ProcessExit& e) {
            return e.code;
        }
        ADD_FAILURE() << "the program did not end";
        return -1;
    }

    plat::HeadlessDevice* dev = nullptr;
    std::string dir;
    fs::path oldCwd;
};

}  // namespace shelltest
