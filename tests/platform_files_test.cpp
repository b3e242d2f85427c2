#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "platform/platform.h"
#include "platform_test_util.h"

using plattest::TempDir;
using plattest::WriteBytes;

namespace {

void Touch(const std::string& path) {
    WriteBytes(path, "x");
}

}  // namespace

TEST(PlatformResolvePath, ExactNameWinsAndBackslashesBecomeSlashes) {
    TempDir dir;
    mkdir((dir / "Sub").c_str(), 0755);
    Touch(dir / "Sub/Kick.wav");
    Touch(dir / "Sub/kick.wav");
    EXPECT_EQ(plat::ResolvePath(dir.path() + "\\Sub\\kick.wav"), dir / "Sub/kick.wav");
    EXPECT_EQ(plat::ResolvePath(dir / "Sub/Kick.wav"), dir / "Sub/Kick.wav");
    // Two case-blind matches: always the same one, whatever order the folder lists them in.
    EXPECT_EQ(plat::ResolvePath(dir.path() + "\\sub\\KICK.WAV"), dir / "Sub/Kick.wav");
}

TEST(PlatformResolvePath, MatchesEachComponentIgnoringCase) {
    TempDir dir;
    mkdir((dir / "Sounds").c_str(), 0755);
    mkdir((dir / "Sounds/Drums").c_str(), 0755);
    Touch(dir / "Sounds/Drums/Snare.WAV");
    EXPECT_EQ(plat::ResolvePath(dir.path() + "\\SOUNDS\\drums\\snare.wav"),
              dir / "Sounds/Drums/Snare.WAV");
    // Relative names resolve against the current folder, and "." / ".." pass through.
    std::string cwd = std::filesystem::current_path();
    std::filesystem::current_path(dir.path());
    EXPECT_EQ(plat::ResolvePath("sounds\\DRUMS\\..\\Drums\\SNARE.wav"),
              "Sounds/Drums/../Drums/Snare.WAV");
    std::filesystem::current_path(cwd);
}

TEST(PlatformResolvePath, NothingMatchingGivesTheConvertedName) {
    TempDir dir;
    EXPECT_EQ(plat::ResolvePath(dir.path() + "\\none\\x.wav"), dir / "none/x.wav");
    EXPECT_EQ(plat::ResolvePath(""), "");
}

TEST(PlatformListSameBase, AnyExtensionBaseIgnoringCaseExactCaseFirst) {
    TempDir dir;
    for (const char* name : {"kick.wav", "KICK.ogg", "kick.mp3", "Kick.flac", "kick", "kicks.wav",
                             "kick.wav.bak", "other.wav"})
        Touch(dir / name);
    mkdir((dir / "kick.dir").c_str(), 0755);
    std::vector<std::string> expected = {"kick",         "kick.mp3", "kick.wav",
                                         "kick.wav.bak", "KICK.ogg", "Kick.flac"};
    EXPECT_EQ(plat::ListSameBase(dir.path(), "kick"), expected);
    EXPECT_EQ(plat::ListSameBase(dir.path() + "/", "kick"), expected);
    EXPECT_TRUE(plat::ListSameBase(dir.path(), "snare").empty());
    EXPECT_TRUE(plat::ListSameBase(dir / "missing", "kick").empty());
    EXPECT_TRUE(plat::ListSameBase(dir.path(), "").empty());
}

TEST(PlatformFiles, ReadWriteAppendAndLimits) {
    TempDir dir;
    std::string path = dir / "a.txt";
    EXPECT_FALSE(plat::ReadFile(path).has_value());
    EXPECT_FALSE(plat::IsRegularFile(path));
    ASSERT_TRUE(plat::WriteFileAtomic(path, "first"));
    ASSERT_TRUE(plat::WriteFileAtomic(path, "second"));
    EXPECT_EQ(plat::ReadFile(path), "second");
    ASSERT_TRUE(plat::AppendFile(path, "+more"));
    EXPECT_EQ(plat::ReadFile(path), "second+more");
    EXPECT_FALSE(plat::ReadFile(path, 5).has_value()) << "larger than the limit";
    EXPECT_TRUE(plat::IsRegularFile(path));
    EXPECT_FALSE(plat::IsRegularFile(dir.path())) << "a folder is not a file";
    EXPECT_FALSE(plat::ReadFile(dir.path()).has_value());
    EXPECT_FALSE(plat::WriteFileAtomic(dir / "no/such/folder.txt", "x"));
    EXPECT_FALSE(plat::AppendFile(dir / "no/such/folder.txt", "x"));
    // No temporary is left beside the file.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1);
}

TEST(PlatformCommandLine, ArgumentsJoinedWithQuotesWhereNeeded) {
    std::string a0 = "korvane", a1 = "/music/my song.bms", a2 = "-N3", a3 = "";
    char* argv[] = {a0.data(), a1.data(), a2.data(), a3.data()};
    plat::SetCommandLine(4, argv);
    EXPECT_EQ(plat::CommandLine(), "\"/music/my song.bms\" -N3 \"\"");
    plat::SetCommandLine(1, argv);
    EXPECT_EQ(plat::CommandLine(), "");
}

TEST(PlatformProcess, ExitThrowsWhenAskedAndExeDirEndsInSlash) {
    plat::SetExitThrows(true);
    try {
        plat::ExitProcess(3);
        FAIL();
    } catch (const plat::ProcessExit& e) {
        EXPECT_EQ(e.code, 3);
    }
    std::string exe = plat::ExeDir();
    ASSERT_FALSE(exe.empty());
    EXPECT_EQ(exe.back(), '/');
    EXPECT_TRUE(std::filesystem::is_directory(exe));
}
