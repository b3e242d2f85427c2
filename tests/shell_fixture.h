// A headless device, every module reset, the process end caught, and a fresh program folder.
#pragma once

#include <gtest/gtest.h>
#include <sys/resource.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "support.h"

namespace shelltest {

namespace fs = std::filesystem;

inline std::string ReadText(const std::string& path) {
    return testsupport::ReadFile(path);
}
inline void WriteText(const std::string& path, const std::string& text) {
    testsupport::WriteFile(path, text);
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

// The program as it starts: krv.ini and error.txt in a fresh program folder, and no title yet.
class ShellTest : public testsupport::Test {
  protected:
    void SetUp() override {
        Test::SetUp();
        modMain::AppTitle.clear();
        modMain::UseSettingsFile = true;
        dir = tmp.path();
        modMain::AppPath = dir + "/";
        oldCwd = fs::current_path();
    }
    void TearDown() override {
        fs::current_path(oldCwd);
        Test::TearDown();
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

    std::string dir;
    fs::path oldCwd;
};

}  // namespace shelltest
