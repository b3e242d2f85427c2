// The single-instance hand-over's transport: lines of any bytes get through and are answered
// once handled; senders that claim too much, fall silent, stop halfway, come in pieces or leave
// early are dealt with without the listener ever waiting on them; the socket's place.
#include <sys/stat.h>

#include <filesystem>
#include <future>
#include <set>
#include <thread>

#include "platform/instance.h"
#include "platform/platform.h"
#include "platform_test_util.h"

namespace {

using std::chrono::milliseconds;

class Instance : public testing::Test {
  protected:
    void SetUp() override {
        plat::SetInstanceSocketPathForTests(path);
        plat::SetInstanceIdleLimitForTests(60000);
    }
    void TearDown() override {
        plat::StopListening();
        plat::SetInstanceSocketPathForTests("");
        plat::SetInstanceIdleLimitForTests(2000);
    }
    // Polls until a line comes; the deadline is only a safety net.
    std::string Poll() {
        for (int i = 0; i < 5000; ++i) {
            if (std::optional<std::string> line = plat::PollInstanceMessage()) return *line;
            std::this_thread::sleep_for(milliseconds(2));
        }
        return "(nothing came)";
    }
    static std::future<bool> Send(const std::string& line) {
        return std::async(std::launch::async,
                          [line] { return plat::HandOverToRunningInstance(line); });
    }

    plattest::TempDir dir;
    std::string path = dir / "k.sock";
};

TEST_F(Instance, AnyLineGetsThroughAndIsAnsweredOnlyOnceHandled) {
    EXPECT_FALSE(plat::HandOverToRunningInstance("x")) << "nobody listens";
    ASSERT_TRUE(plat::ListenForInstances());
    std::string bytes, largest(plat::kMaxHandOverBytes, ' ');
    for (int i = 0; i < 256; ++i) bytes += static_cast<char>(i);
    for (size_t i = 0; i < largest.size(); ++i) largest[i] = static_cast<char>('a' + i * 7 % 26);
    for (const std::string& line : {bytes, largest, std::string()}) {
        std::future<bool> sender = Send(line);
        EXPECT_TRUE(Poll() == line) << line.size() << " bytes";
        EXPECT_EQ(sender.wait_for(milliseconds(50)), std::future_status::timeout)
            << "answered early";
        plat::AckInstanceMessage();
        EXPECT_TRUE(sender.get());
    }
    EXPECT_FALSE(plat::HandOverToRunningInstance(std::string(plat::kMaxHandOverBytes + 1, 'x')));
    // Two at once: one line a poll, each answered by the next poll.
    std::future<bool> one = Send("one"), two = Send("two");
    std::set<std::string> lines = {Poll(), Poll()};
    plat::PollInstanceMessage();
    EXPECT_TRUE(one.get() && two.get());
    EXPECT_EQ(lines, (std::set<std::string>{"one", "two"}));
}

TEST_F(Instance, MisbehavingSendersAreCutOffAndHoldNothingUp) {
    ASSERT_TRUE(plat::ListenForInstances());
    int silent = plattest::RawConnect(path), partial = plattest::RawConnect(path),
        big = plattest::RawConnect(path);
    ASSERT_EQ(send(partial,
                   "\x05\x00\x00\x00"
                   "ab",
                   6, MSG_NOSIGNAL),
              6);
    // Claims a MiB and pushes it: cut off as soon as the length is seen.
    std::string mib = plattest::Framed(std::string(1 << 20, 'y'));
    auto pushed = std::async(std::launch::async, [&] {
        size_t sent = 0;
        for (ssize_t n; sent < mib.size() &&
                        (n = send(big, mib.data() + sent, mib.size() - sent, MSG_NOSIGNAL)) > 0;)
            sent += static_cast<size_t>(n);
        return sent;
    });
    for (int i = 0; i < 5000 && pushed.wait_for(milliseconds(2)) != std::future_status::ready; ++i)
        EXPECT_FALSE(plat::PollInstanceMessage().has_value()) << "nothing complete yet";
    EXPECT_LT(pushed.get(), mib.size());
    std::future<bool> ok = Send("ok");
    EXPECT_EQ(Poll(), "ok") << "a proper sender gets through meanwhile";
    plat::AckInstanceMessage();
    EXPECT_TRUE(ok.get());
    EXPECT_EQ(plat::InstanceConnectionCount(), 2) << "the silent and the partial one wait";
    // The rest of the partial message in two pieces.
    send(partial, "c", 1, MSG_NOSIGNAL);
    EXPECT_FALSE(plat::PollInstanceMessage().has_value());
    send(partial, "de", 2, MSG_NOSIGNAL);
    EXPECT_EQ(Poll(), "abcde");
    plat::PollInstanceMessage();
    char c = 0;
    EXPECT_TRUE(recv(partial, &c, 1, 0) == 1 && c == 'K');
    // Past the idle limit the silent one goes unanswered, but a whole line a sender left before
    // it stopped waiting (the window sat in a modal dialog) is still read.
    int left = plattest::RawConnect(path);
    std::string late = plattest::Framed("late");
    ASSERT_EQ(send(left, late.data(), late.size(), MSG_NOSIGNAL), ssize_t(late.size()));
    close(left);
    plat::SetInstanceIdleLimitForTests(-1);
    EXPECT_EQ(Poll(), "late");
    plat::PollInstanceMessage();
    EXPECT_EQ(plat::InstanceConnectionCount(), 0);
    EXPECT_EQ(recv(silent, &c, 1, 0), 0) << "closed without an answer";
    for (int fd : {silent, partial, big}) close(fd);
}

TEST_F(Instance, AStaleSocketIsReplacedALiveOneAndOtherFilesAreNot) {
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    std::strcpy(addr.sun_path, path.c_str());
    int stale = socket(AF_UNIX, SOCK_STREAM, 0);  // left by an instance that crashed
    ASSERT_EQ(bind(stale, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
    close(stale);
    EXPECT_FALSE(plat::HandOverToRunningInstance("x"));
    ASSERT_TRUE(plat::ListenForInstances());
    plat::StopListening();
    EXPECT_FALSE(std::filesystem::exists(path)) << "removed on stop";
    int live = socket(AF_UNIX, SOCK_STREAM, 0);
    ASSERT_EQ(bind(live, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
    ASSERT_EQ(listen(live, 4), 0);
    EXPECT_FALSE(plat::ListenForInstances());
    EXPECT_TRUE(std::filesystem::exists(path));
    close(live);
    std::filesystem::remove(path);
    plattest::WriteBytes(path, "not a socket");
    EXPECT_FALSE(plat::ListenForInstances());
    EXPECT_EQ(testsupport::ReadFile(path), "not a socket");
}

TEST(InstanceSocket, ItsFolderIsOursAndPrivate) {
    plattest::TempDir runtime;
    EXPECT_EQ(plat::InstanceSocketPath(runtime.path().c_str()), runtime / "korvane.sock");
    std::string folder = "/tmp/korvane-" + std::to_string(getuid());
    bool existed = std::filesystem::exists(folder);
    for (const char* unusable : {"", "relative/dir", "/no/such/folder"})
        EXPECT_EQ(plat::InstanceSocketPath(unusable), folder + "/korvane.sock") << unusable;
    EXPECT_EQ(plat::InstanceSocketPath(nullptr), folder + "/korvane.sock");
    struct stat st {};
    ASSERT_EQ(lstat(folder.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);
    if (!existed) rmdir(folder.c_str());
}

}  // namespace
