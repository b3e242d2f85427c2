// The single-instance hand-over seen from the running program: lines handed over reach the
// command-line reader through the frame loop's message pass, the sender hears back only after
// that, and no sender, however slow, large, silent or foreign, holds up a frame.
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstring>
#include <future>
#include <thread>

#include "platform/instance.h"
#include "window_fixture.h"

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;
namespace fs = std::filesystem;
using windowtest::WindowTest;

std::string Framed(const std::string& line, uint32_t claimed) {
    std::string m = {char(claimed & 0xFF), char((claimed >> 8) & 0xFF),
                     char((claimed >> 16) & 0xFF), char(claimed >> 24)};
    return m + line;
}
std::string Framed(const std::string& line) {
    return Framed(line, static_cast<uint32_t>(line.size()));
}

// The running program: started, listening on a socket in its own folder.
class HandOver : public WindowTest {
  protected:
    void SetUp() override {
        WindowTest::SetUp();
        socketPath = Path("k.sock");
        plat::SetInstanceSocketPathForTests(socketPath);
        plat::SetInstanceIdleLimitForTests(300);
        modMain::StartUp();
        ASSERT_TRUE(plat::ListenForInstances());
        modMain::UseInstanceHandOver = true;
    }
    void TearDown() override {
        plat::StopListening();
        plat::SetInstanceSocketPathForTests("");
        plat::SetInstanceIdleLimitForTests(2000);
        WindowTest::TearDown();
    }

    // Runs frames for up to `ms` of real time, until `done` holds; returns the longest message
    // pass seen.
    template <typename Done>
    Clock::duration RunUntil(int ms, Done done) {
        Clock::duration longest{};
        auto end = Clock::now() + milliseconds(ms);
        while (Clock::now() < end && !done()) {
            auto start = Clock::now();
            modMain::MessagePass();
            longest = std::max(longest, Clock::now() - start);
            Frames(1);
            std::this_thread::sleep_for(milliseconds(1));
        }
        return longest;
    }

    int RawConnect() {
        int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_un addr{};
        addr.sun_family = AF_UNIX;
        std::strcpy(addr.sun_path, socketPath.c_str());
        EXPECT_EQ(connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
        return fd;
    }

    std::string socketPath;
};

TEST_F(HandOver, ASecondStartsLineLoadsItsChartAndTheSenderWaitsForThat) {
    std::string chart = Chart("handed over.bms", 10);
    std::atomic<bool> loadedBeforeAnswer{false};
    auto sender = std::async(std::launch::async, [&] {
        bool taken = plat::HandOverToRunningInstance("  \"" + chart + "\" -N3  ");
        loadedBeforeAnswer = modBMSLoad::BMSFileName == chart;
        return taken;
    });
    RunUntil(5000, [&] { return sender.wait_for(milliseconds(0)) == std::future_status::ready; });
    ASSERT_EQ(sender.wait_for(milliseconds(0)), std::future_status::ready);
    EXPECT_TRUE(sender.get());
    EXPECT_TRUE(loadedBeforeAnswer) << "answered before the line was read";
    Frames(2);
    EXPECT_EQ(modMain::PlayState, modMain::PS_PLAY);
    EXPECT_EQ(modCount::CurrentMeasure, 3);
    EXPECT_EQ(dev->Caption(), "Korvane 1.0.0 - " + chart);
}

TEST_F(HandOver, ASecondStartEndsAtOnceWithoutTouchingTheSettings) {
    // The second program runs in this process too: a helper answers for the first one. It is
    // started in another folder with a chart named relative to that folder.
    fs::create_directory(Path("elsewhere"));
    std::string chart = WriteChart(Path("elsewhere/other one.bms"));
    fs::current_path(Path("elsewhere"));
    fs::remove(Ini());
    std::string argv0 = "korvane", argv1 = "other one.bms", argv2 = "-N2";
    char* argv[] = {argv0.data(), argv1.data(), argv2.data(), nullptr};
    plat::SetCommandLine(3, argv);
    std::atomic<bool> stop{false};
    std::optional<std::string> received;
    std::thread first([&] {
        while (!stop && !received) {
            received = plat::PollInstanceMessage();
            std::this_thread::sleep_for(milliseconds(1));
        }
        plat::AckInstanceMessage();
    });
    dev = &plat::InstallHeadless();
    modMain::Reset();
    modMain::AppPath = dir + "/";
    modMain::UseInstanceHandOver = true;
    EXPECT_EQ(ExitCodeOf([] { modMain::StartUp(); }), 0);
    stop = true;
    first.join();
    EXPECT_EQ(received, "\"" + chart + "\" -N2") << "named from the root for the first one";
    EXPECT_EQ(plat::CommandLine(), "\"other one.bms\" -N2") << "its own line is as given";
    EXPECT_FALSE(dev->VideoOpen()) << "no window was made";
    EXPECT_FALSE(fs::exists(Ini())) << "krv.ini was touched";
}

TEST_F(HandOver, AQuitLineEndsTheProgramAndStillAnswersTheSender) {
    auto sender =
        std::async(std::launch::async, [] { return plat::HandOverToRunningInstance("-Q"); });
    bool ended = false;
    auto end = Clock::now() + milliseconds(5000);
    while (!ended && Clock::now() < end) {
        try {
            Frames(1);
        } catch (const plat::ProcessExit& e) {
            EXPECT_EQ(e.code, 0);
            ended = true;
        }
        std::this_thread::sleep_for(milliseconds(1));
    }
    EXPECT_TRUE(ended);
    EXPECT_TRUE(sender.get());
    EXPECT_FALSE(fs::exists(socketPath)) << "the socket goes with the program";
}

TEST_F(HandOver, LinesThatAreNoTextOrNoChartChangeNothing) {
    std::string chart = Chart("song.bms");
    Drop({chart});
    Frames(2);
    ASSERT_EQ(modMain::PlayState, modMain::PS_PLAY);
    std::string binary;
    for (int i = 1; i < 256; ++i) binary += static_cast<char>(i);
    std::string lines[] = {binary,
                           std::string("\0\0\0", 3),
                           "\"",
                           "\xFF\xFE\"/x\x01.bms",
                           std::string(4000, 'a') + ".bms",
                           "- -N -NX -N-1 -N99999999999"};
    for (const std::string& line : lines) {
        auto sender =
            std::async(std::launch::async, [&] { return plat::HandOverToRunningInstance(line); });
        RunUntil(3000,
                 [&] { return sender.wait_for(milliseconds(0)) == std::future_status::ready; });
        EXPECT_TRUE(sender.get()) << "answered even when nothing came of it";
    }
    Frames(2);
    EXPECT_EQ(modBMSLoad::BMSFileName, chart);
    EXPECT_EQ(modMain::PlayState, modMain::PS_PLAY);
    EXPECT_EQ(dev->Caption(), "Korvane 1.0.0 - " + chart);

    // What lies after a NUL is not read, and the rest is trimmed of spaces.
    std::string next = Chart("next.bms");
    modMessage::HandleHandOver(std::string("  \"") + next + "\"  " + std::string("\0 -Q", 4));
    EXPECT_EQ(modBMSLoad::BMSFileName, next);
    EXPECT_EQ(modMain::PlayState, modMain::PS_LOAD);
}

// While a modal file dialog is open the frame loop stands still; a second start gives up
// waiting for the answer after a while and ends. Its line must still be acted on afterwards.
TEST_F(HandOver, ALineLeftByASenderThatStoppedWaitingIsStillRead) {
    std::string chart = Chart("late.bms");
    int fd = RawConnect();
    std::string message = Framed(chart);
    ASSERT_EQ(send(fd, message.data(), message.size(), MSG_NOSIGNAL), ssize_t(message.size()));
    close(fd);
    std::this_thread::sleep_for(milliseconds(500));  // longer than the idle limit
    Frames(2);
    EXPECT_EQ(modBMSLoad::BMSFileName, chart);
    EXPECT_EQ(modMain::PlayState, modMain::PS_PLAY);
    EXPECT_EQ(plat::InstanceConnectionCount(), 0);
}

TEST_F(HandOver, HugeSilentAndEndlessSendersNeverHoldUpAFrame) {
    // One claims 1 MiB and pushes it, one claims the limit and pushes 1 MiB, one says half a
    // message and falls silent, one says nothing at all.
    int claimsBig = RawConnect(), overflows = RawConnect(), half = RawConnect(),
        silent = RawConnect();
    std::string mib(1 << 20, 'y');
    auto push = [&](int fd, std::string data) {
        return std::async(std::launch::async, [fd, data] {
            size_t sent = 0;
            while (sent < data.size()) {
                ssize_t n = send(fd, data.data() + sent, data.size() - sent, MSG_NOSIGNAL);
                if (n <= 0) break;
                sent += static_cast<size_t>(n);
            }
            return sent;
        });
    };
    auto big = push(claimsBig, Framed(mib));
    auto over = push(overflows, Framed(mib, static_cast<uint32_t>(plat::kMaxHandOverBytes)));
    ASSERT_EQ(send(half, "\x10\x00\x00\x00/tmp", 8, MSG_NOSIGNAL), 8);

    // Meanwhile a proper second start gets through.
    std::string chart = Chart("meanwhile.bms");
    auto sender =
        std::async(std::launch::async, [&] { return plat::HandOverToRunningInstance(chart); });
    Clock::duration longest = RunUntil(
        3000, [&] { return sender.wait_for(milliseconds(0)) == std::future_status::ready; });
    EXPECT_TRUE(sender.get());
    EXPECT_EQ(modBMSLoad::BMSFileName, chart);

    longest = std::max(longest, RunUntil(600, [] { return false; }));
    EXPECT_LT(big.get(), mib.size()) << "cut off, not read to the end";
    EXPECT_LT(over.get(), mib.size());
    EXPECT_EQ(plat::InstanceConnectionCount(), 0) << "all dropped by now";
    for (int fd : {half, silent}) {
        char c = 0;
        EXPECT_EQ(recv(fd, &c, 1, 0), 0) << "closed without an answer";
    }
    EXPECT_LT(longest, milliseconds(50)) << "a message pass was held up";
    std::printf("longest message pass: %.2f ms\n",
                std::chrono::duration<double, std::milli>(longest).count());
    for (int fd : {claimsBig, overflows, half, silent}) close(fd);
}

// Opening forty files at once from a file manager starts forty of us: every one must get
// through to the running window, none may open a window of its own.
TEST_F(HandOver, FortySecondStartsAtOnceAllGetThrough) {
    std::vector<std::future<bool>> senders;
    for (int i = 0; i < 40; ++i)
        senders.push_back(std::async(std::launch::async, [i] {
            return plat::HandOverToRunningInstance("-N" + std::to_string(i));
        }));
    RunUntil(5000, [&] {
        for (auto& s : senders)
            if (s.wait_for(milliseconds(0)) != std::future_status::ready) return false;
        return true;
    });
    for (auto& s : senders) EXPECT_TRUE(s.get());
}

// A process of another user connects to the socket the way a second start would. The socket is
// opened to everyone for this, so only the credential check stands in the way.
class ForeignSender : public HandOver {
  protected:
    // Runs a child as `uid` that sends `line`; returns 0 refused, 1 answered, 2 could not connect.
    int SendAs(uid_t uid, const std::string& line) {
        chmod(dir.c_str(), 0755);
        chmod(socketPath.c_str(), 0777);
        std::string message = Framed(line);
        sockaddr_un addr{};
        addr.sun_family = AF_UNIX;
        std::strcpy(addr.sun_path, socketPath.c_str());
        pid_t pid = fork();
        if (pid == 0) {
            // Only system calls from here: the parent may have other threads, and the C
            // library's setuid() would try to reach them (and could wait on one of their locks).
            if (uid != getuid() &&
                (syscall(SYS_setgroups, 0, nullptr) != 0 || syscall(SYS_setgid, uid) != 0 ||
                 syscall(SYS_setuid, uid) != 0 || getuid() != uid))
                _exit(4);
            int fd = socket(AF_UNIX, SOCK_STREAM, 0);
            if (connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) _exit(2);
            timeval tv{5, 0};
            setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
            (void)!write(fd, message.data(), message.size());
            char answer = 0;
            ssize_t r = read(fd, &answer, 1);
            _exit(r == 1 && answer == 'K' ? 1 : r < 0 && errno == EAGAIN ? 3 : 0);
        }
        int status = -1;
        RunUntil(10000, [&] { return waitpid(pid, &status, WNOHANG) == pid; });
        if (status == -1) {
            kill(pid, SIGKILL);
            waitpid(pid, &status, 0);
            return -1;
        }
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
};

TEST_F(ForeignSender, AnotherUserCannotHandACommandLineOver) {
    if (getuid() != 0) GTEST_SKIP() << "needs root to become another user";
    std::string chart = Chart("foreign.bms");
    EXPECT_EQ(SendAs(65534, "\"" + chart + "\""), 0) << "nobody's line was answered";
    Frames(2);
    EXPECT_TRUE(modBMSLoad::BMSFileName.empty());
    EXPECT_EQ(modMain::PlayState, modMain::PS_IDLE);
    // The same child as our own user is heard: the refusal above was the credential check.
    EXPECT_EQ(SendAs(getuid(), "\"" + chart + "\""), 1);
    EXPECT_EQ(modBMSLoad::BMSFileName, chart);
}

}  // namespace
