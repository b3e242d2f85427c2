// Files: names written on Windows, the files krv.ini and error.txt go through, and the chart
// dialog run as a child process.
#include <sys/stat.h>
#include <sys/time.h>

#include <csignal>
#include <filesystem>

#include "platform/file_dialog.h"
#include "platform/platform.h"
#include "platform_test_util.h"

namespace {

namespace fs = std::filesystem;

size_t OpenDescriptors() {
    return static_cast<size_t>(std::distance(fs::directory_iterator("/proc/self/fd"), {}));
}

TEST(PlatformFiles, NamesFromWindows) {
    plattest::TempDir dir;
    for (const char* name :
         {"Sub/Kick.wav", "Sub/kick.wav", "Sounds/Drums/Snare.WAV", "kick", "kick.wav", "KICK.ogg",
          "kick.mp3", "Kick.flac", "kicks.wav", "kick.wav.bak", "other.wav", "kick.dir/"}) {
        fs::create_directories(fs::path(dir / name).parent_path());
        if (name[std::strlen(name) - 1] != '/') plattest::WriteBytes(dir / name, "x");
    }
    fs::path cwd = fs::current_path();
    fs::current_path(dir.path());
    auto expand = [&](std::string s, const std::string& from, const std::string& to) {
        for (size_t at = 0; (at = s.find(from, at)) != std::string::npos; at += to.size())
            s.replace(at, from.size(), to);
        return s;
    };
    plattest::CheckCalls("files/paths.txt",
                         [&](const std::string& name, std::vector<std::string> a) -> std::string {
                             for (std::string& arg : a) arg = expand(arg, "<dir>", dir.path());
                             if (name == "ResolvePath")
                                 return expand(plat::ResolvePath(a[0]), dir.path(), "<dir>");
                             std::string list;
                             for (const std::string& n : plat::ListSameBase(a[0], a[1]))
                                 list += (list.empty() ? "" : "|") + n;
                             return list;
                         });
    fs::current_path(cwd);
}

TEST(PlatformFiles, WholeFilesAreReplacedAndLinesAdded) {
    plattest::TempDir dir;
    std::string path = dir / "krv.ini";
    EXPECT_FALSE(plat::ReadFile(path).has_value());
    ASSERT_TRUE(plat::WriteFileAtomic(path, "first"));
    ASSERT_TRUE(plat::WriteFileAtomic(path, "second"));
    ASSERT_TRUE(plat::AppendFile(path, "+more"));
    EXPECT_EQ(plat::ReadFile(path), "second+more");
    EXPECT_FALSE(plat::ReadFile(path, 10).has_value()) << "larger than the limit";
    EXPECT_FALSE(plat::ReadFile(dir.path()).has_value()) << "a folder";
    EXPECT_FALSE(plat::WriteFileAtomic(dir / "no/such/folder.txt", "x"));
    EXPECT_FALSE(plat::AppendFile(dir / "no/such/folder.txt", "x"));
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), {}), 1) << "a temporary is left";
}

void Tick(int) {}

TEST(PlatformFiles, ChartDialog) {
    const std::string path = std::getenv("PATH") ? std::getenv("PATH") : "";
    for (const testsupport::Case& c :
         testsupport::ReadCases(testsupport::DataPath("files/dialog.txt"))) {
        SCOPED_TRACE("files/dialog.txt:" + std::to_string(c.line) + " " + c.at("name"));
        plattest::TempDir bin;
        for (const char* tool : {"zenity", "kdialog"}) {
            if (!c.has(tool)) continue;
            plattest::WriteBytes(bin / tool, "#!/bin/sh\nPATH=/usr/bin:/bin\n" + c.at(tool) + "\n");
            chmod((bin / tool).c_str(), 0755);
        }
        setenv("PATH", bin.path().c_str(), 1);
        // Without SA_RESTART every tick interrupts whatever the call waits in.
        struct sigaction tick {
        }, before{};
        tick.sa_handler = Tick;
        itimerval every5ms{{0, 5000}, {0, 5000}}, off{};
        if (c.has("signals"))
            sigaction(SIGALRM, &tick, &before), setitimer(ITIMER_REAL, &every5ms, nullptr);
        size_t open = OpenDescriptors();
        int idles = 0;
        std::optional<std::string> answer =
            plat::RunFileDialog(c.has("folder") ? c.at("folder") : "/songs",
                                c.has("file") ? c.at("file") : "x.bms", [&] { ++idles; });
        if (c.has("signals"))
            setitimer(ITIMER_REAL, &off, nullptr), sigaction(SIGALRM, &before, nullptr);
        setenv("PATH", path.c_str(), 1);
        EXPECT_EQ(answer.value_or("<none>"), c.at("result"));
        EXPECT_EQ(OpenDescriptors(), open);
        EXPECT_TRUE(!c.has("idle") || idles > 0) << "the window was not kept answered";
    }
}

}  // namespace
