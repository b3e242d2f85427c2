#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <future>
#include <thread>

#include "platform/instance.h"
#include "platform/platform.h"
#include "platform_test_util.h"

namespace {

using Clock = std::chrono::steady_clock;

// Every test listens on a socket in its own folder and stops listening at the end.
class PlatformInstance : public testing::Test {
protected:
    void SetUp() override {
        plat::SetInstanceSocketPathForTests(dir_ / "k.sock");
        plat::SetInstanceIdleLimitForTests(2000);
    }
    void TearDown() override {
        plat::StopListening();
        plat::SetInstanceSocketPathForTests("");
        plat::SetInstanceIdleLimitForTests(2000);
    }

    // Polls until a line arrives or the time is up; each poll must return at once.
    std::optional<std::string> PollFor(int ms) {
        auto end = Clock::now() + std::chrono::milliseconds(ms);
        while (Clock::now() < end) {
            auto start = Clock::now();
            auto line = plat::PollInstanceMessage();
            EXPECT_LT(Clock::now() - start, std::chrono::milliseconds(50)) << "poll blocked";
            if (line) return line;
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        return std::nullopt;
    }

    // A raw client connection to the listener.
    int RawConnect() {
        int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_un addr{};
        addr.sun_family = AF_UNIX;
        std::string path = dir_ / "k.sock";
        std::strcpy(addr.sun_path, path.c_str());
        EXPECT_EQ(connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
        return fd;
    }

    plattest::TempDir dir_;
};

}  // namespace

TEST_F(PlatformInstance, SecondStartHandsItsLineOverAndWaitsForTheAnswer) {
    EXPECT_FALSE(plat::HandOverToRunningInstance("nobody listens")) << "no instance yet";
    ASSERT_TRUE(plat::ListenForInstances());
    std::string line = "\"/songs/a b.bms\" -N2 \xE3\x83\x86";
    auto sender =
        std::async(std::launch::async, [&] { return plat::HandOverToRunningInstance(line); });
    auto got = PollFor(3000);
    ASSERT_TRUE(got);
    EXPECT_EQ(*got, line);
    // The sender is still waiting: it hears back only once the line was handled.
    EXPECT_EQ(sender.wait_for(std::chrono::milliseconds(100)), std::future_status::timeout);
    plat::AckInstanceMessage();
    EXPECT_TRUE(sender.get());

    // Several senders: one line per poll, each acknowledged by the next poll.
    auto a = std::async(std::launch::async, [] { return plat::HandOverToRunningInstance("one"); });
    auto b = std::async(std::launch::async, [] { return plat::HandOverToRunningInstance(""); });
    std::vector<std::string> lines;
    for (int i = 0; i < 2; ++i) {
        auto l = PollFor(3000);
        ASSERT_TRUE(l);
        lines.push_back(*l);
    }
    plat::PollInstanceMessage();
    EXPECT_TRUE(a.get());
    EXPECT_TRUE(b.get());
    std::sort(lines.begin(), lines.end());
    EXPECT_EQ(lines, (std::vector<std::string>{"", "one"}));
}

TEST_F(PlatformInstance, OversizedMessagesAreRefusedWithoutBlocking) {
    ASSERT_TRUE(plat::ListenForInstances());
    EXPECT_FALSE(plat::HandOverToRunningInstance(std::string(plat::kMaxHandOverBytes + 1, 'x')));
    // A raw client claiming and sending 1 MiB is cut off as soon as the length is seen.
    int fd = RawConnect();
    std::string big = {0, 0, 0x10, 0};
    big += std::string(1 << 20, 'y');
    auto writer = std::async(std::launch::async, [&] {
        size_t sent = 0;
        while (sent < big.size()) {
            ssize_t n = send(fd, big.data() + sent, big.size() - sent, MSG_NOSIGNAL);
            if (n <= 0) break;
            sent += static_cast<size_t>(n);
        }
        return sent;
    });
    EXPECT_FALSE(PollFor(300).has_value());
    EXPECT_LT(writer.get(), big.size()) << "the connection was closed on the sender";
    close(fd);
    EXPECT_EQ(plat::InstanceConnectionCount(), 0);
    // The largest allowed line still passes.
    std::string largest(plat::kMaxHandOverBytes, 'z');
    auto sender =
        std::async(std::launch::async, [&] { return plat::HandOverToRunningInstance(largest); });
    auto got = PollFor(3000);
    plat::AckInstanceMessage();
    EXPECT_TRUE(sender.get());
    ASSERT_TRUE(got);
    EXPECT_EQ(got->size(), plat::kMaxHandOverBytes);
}

TEST_F(PlatformInstance, SilentOrIncompleteConnectionsAreDroppedAfterTheIdleLimit) {
    plat::SetInstanceIdleLimitForTests(150);
    ASSERT_TRUE(plat::ListenForInstances());
    int silent = RawConnect();
    int partial = RawConnect();
    send(partial,
         "\x05\x00\x00\x00"
         "ab",
         6, MSG_NOSIGNAL);  // 2 of 5 bytes
    EXPECT_FALSE(PollFor(50).has_value());
    EXPECT_EQ(plat::InstanceConnectionCount(), 2);
    // Meanwhile a proper sender gets through.
    auto sender =
        std::async(std::launch::async, [] { return plat::HandOverToRunningInstance("ok"); });
    EXPECT_EQ(PollFor(3000), "ok");
    plat::AckInstanceMessage();
    EXPECT_TRUE(sender.get());
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    plat::PollInstanceMessage();
    EXPECT_EQ(plat::InstanceConnectionCount(), 0);
    char c;
    EXPECT_EQ(recv(silent, &c, 1, 0), 0) << "closed without an answer";
    close(silent);
    close(partial);
}

TEST_F(PlatformInstance, MessageSplitAcrossPollsIsReassembled) {
    ASSERT_TRUE(plat::ListenForInstances());
    int fd = RawConnect();
    send(fd, "\x03\x00", 2, MSG_NOSIGNAL);
    EXPECT_FALSE(PollFor(30).has_value());
    send(fd,
         "\x00\x00"
         "ab",
         4, MSG_NOSIGNAL);
    EXPECT_FALSE(PollFor(30).has_value());
    send(fd, "c", 1, MSG_NOSIGNAL);
    EXPECT_EQ(PollFor(1000), "abc");
    plat::PollInstanceMessage();
    char c = 0;
    EXPECT_EQ(recv(fd, &c, 1, 0), 1);
    EXPECT_EQ(c, 'K');
    close(fd);
}

TEST_F(PlatformInstance, StaleSocketIsReplacedLiveOneIsNot) {
    // A socket file nobody listens on, left by a crashed instance.
    int stale = socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    std::string path = dir_ / "k.sock";
    std::strcpy(addr.sun_path, path.c_str());
    ASSERT_EQ(bind(stale, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
    close(stale);
    EXPECT_FALSE(plat::HandOverToRunningInstance("x"));
    ASSERT_TRUE(plat::ListenForInstances());
    plat::StopListening();
    struct stat st;
    EXPECT_NE(stat(path.c_str(), &st), 0) << "the socket file is removed on stop";

    // Another instance listening there keeps its socket.
    int live = socket(AF_UNIX, SOCK_STREAM, 0);
    ASSERT_EQ(bind(live, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
    ASSERT_EQ(listen(live, 4), 0);
    EXPECT_FALSE(plat::ListenForInstances());
    EXPECT_EQ(stat(path.c_str(), &st), 0);
    close(live);
    unlink(path.c_str());
    // A regular file in the way is not deleted.
    plattest::WriteBytes(path, "not a socket");
    EXPECT_FALSE(plat::ListenForInstances());
    EXPECT_EQ(stat(path.c_str(), &st), 0);
}

TEST(PlatformInstanceRules, OnlyOurOwnUserMayHandOver) {
    EXPECT_TRUE(plat::PeerMayHandOver(1000, 1000));
    EXPECT_FALSE(plat::PeerMayHandOver(1001, 1000));
    EXPECT_FALSE(plat::PeerMayHandOver(0, 1000)) << "not even root";
}

TEST(PlatformInstanceRules, SocketFolderMustBeOursAndPrivate) {
    plattest::TempDir runtime;
    EXPECT_EQ(plat::InstanceSocketPath(runtime.path().c_str()), runtime / "korvane.sock");
    std::string folder = "/tmp/korvane-" + std::to_string(getuid());
    struct stat st;
    bool existed = lstat(folder.c_str(), &st) == 0;
    std::string fallback = folder + "/korvane.sock";
    EXPECT_EQ(plat::InstanceSocketPath(nullptr), fallback);
    EXPECT_EQ(plat::InstanceSocketPath(""), fallback);
    EXPECT_EQ(plat::InstanceSocketPath("relative/dir"), fallback);
    EXPECT_EQ(plat::InstanceSocketPath((runtime / "missing").c_str()), fallback);
    ASSERT_EQ(lstat(folder.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);
    if (!existed) rmdir(folder.c_str());
}
