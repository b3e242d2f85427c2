// The hand-over seen from the running window: a line reaches the command-line reader through the
// frame loop's message pass and its sender hears back only after that; a second start ends at
// once; a flood of senders, misbehaving ones among them, is answered while frames go on; another
// user is not heard. The deadlines are only safety nets.
#include <sys/stat.h>
#include <sys/syscall.h>

#include <atomic>
#include <filesystem>
#include <future>
#include <thread>

#include "platform/instance.h"
#include "platform_test_util.h"

namespace {

namespace fs = std::filesystem;
using std::chrono::milliseconds;

template <typename T>
bool Ready(const std::future<T>& f) {
    return f.wait_for(milliseconds(0)) == std::future_status::ready;
}

std::future<bool> Send(const std::string& line) {
    return std::async(std::launch::async, [line] { return plat::HandOverToRunningInstance(line); });
}

class HandOver : public testsupport::Test {
  protected:
    void SetUp() override {
        Test::SetUp();
        modMain::AppPath = tmp.path() + "/";
        modMain::UseSettingsFile = true;
        plat::SetInstanceSocketPathForTests(socket);
        modMain::StartUp();
        ASSERT_TRUE(plat::ListenForInstances());
        modMain::UseInstanceHandOver = true;
    }
    void TearDown() override {
        plat::StopListening();
        plat::SetInstanceSocketPathForTests("");
        plat::SetInstanceIdleLimitForTests(2000);
        Test::TearDown();
    }
    // Whole frames of the loop until `done`; the process's end code if it ended, else -1.
    template <typename Done>
    int RunUntil(Done done) {
        try {
            for (int i = 0; i < 5000 && !done(); ++i) {
                modMain::RunFrame();
                std::this_thread::sleep_for(milliseconds(1));
            }
        } catch (const plat::ProcessExit& e) {
            return e.code;
        }
        return -1;
    }
    std::string Chart(const std::string& name) {
        testsupport::WriteFile(tmp / name,
                               "#TITLE Hand\r\n#BPM 120\r\n#00111:0101\r\n#00911:01\r\n");
        return tmp / name;
    }
    std::string socket = tmp / "k.sock";
};

TEST_F(HandOver, ALineLoadsItsChartBeforeTheSenderHearsBack) {
    std::string chart = Chart("handed over.bms");
    std::atomic<bool> loadedFirst{false};
    auto sender = std::async(std::launch::async, [&] {
        bool taken = plat::HandOverToRunningInstance("  \"" + chart + "\" -N3  ");
        loadedFirst = modBMSLoad::BMSFileName == chart;
        return taken;
    });
    RunUntil([&] { return Ready(sender); });
    EXPECT_TRUE(sender.get());
    EXPECT_TRUE(loadedFirst);
    RunUntil([n = 0]() mutable { return n++ == 2; });
    EXPECT_EQ(modMain::PlayState, modMain::PS_PLAY);
    EXPECT_EQ(modCount::CurrentMeasure, 3);
    EXPECT_EQ(dev->Caption(), "Korvane 1.0.0 - " + chart);
}

TEST_F(HandOver, ASecondStartHandsItsLineOverAndEndsWithoutTouchingAnything) {
    fs::create_directory(tmp / "elsewhere");
    std::string chart = Chart("elsewhere/other one.bms");
    fs::path cwd = fs::current_path();
    fs::current_path(tmp / "elsewhere");
    fs::remove(tmp / "krv.ini");
    std::string a0 = "korvane", a1 = "other one.bms", a2 = "-N2";
    char* argv[] = {a0.data(), a1.data(), a2.data()};
    plat::SetCommandLine(3, argv);
    std::optional<std::string> received;
    std::thread first([&] {  // the running instance
        for (int i = 0; i < 5000 && !received; ++i) {
            received = plat::PollInstanceMessage();
            std::this_thread::sleep_for(milliseconds(1));
        }
        plat::AckInstanceMessage();
    });
    dev = &plat::InstallHeadless();
    modMain::Reset();
    modMain::AppPath = tmp.path() + "/";
    int code = -1;
    try {
        modMain::StartUp();
    } catch (const plat::ProcessExit& e) {
        code = e.code;
    }
    first.join();
    fs::current_path(cwd);
    EXPECT_EQ(code, 0);
    EXPECT_EQ(received, "\"" + chart + "\" -N2") << "named from the root for the running one";
    EXPECT_FALSE(dev->VideoOpen()) << "no window was made";
    EXPECT_FALSE(fs::exists(tmp / "krv.ini")) << "krv.ini was touched";
}

TEST_F(HandOver, AQuitLineEndsTheProgramAndStillAnswers) {
    std::future<bool> sender = Send("-Q");
    EXPECT_EQ(RunUntil([] { return false; }), 0);
    EXPECT_TRUE(sender.get());
    EXPECT_FALSE(fs::exists(socket)) << "the socket goes with the program";
}

// Opening forty files at once from a file manager starts forty of us; meanwhile one sender
// claims a MiB, one stops halfway and one says nothing.
TEST_F(HandOver, AFloodIsAnsweredWhileFramesGoOn) {
    int big = plattest::RawConnect(socket), half = plattest::RawConnect(socket),
        silent = plattest::RawConnect(socket);
    std::string mib = plattest::Framed(std::string(1 << 20, 'y'));
    auto pushed = std::async(std::launch::async, [&] {
        return send(big, mib.data(), mib.size(), MSG_NOSIGNAL) < ssize_t(mib.size());
    });
    ASSERT_EQ(send(half, "\x10\x00\x00\x00/tmp", 8, MSG_NOSIGNAL), 8);
    std::string chart = Chart("meanwhile.bms");
    std::vector<std::future<bool>> senders;
    for (int i = 0; i < 40; ++i)
        senders.push_back(Send(i == 20 ? chart : "-N" + std::to_string(i)));
    RunUntil([&] {
        for (auto& s : senders)
            if (!Ready(s)) return false;
        return Ready(pushed);
    });
    for (auto& s : senders) EXPECT_TRUE(s.get());
    EXPECT_TRUE(pushed.get()) << "the MiB was cut off";
    EXPECT_EQ(modBMSLoad::BMSFileName, chart);
    plat::SetInstanceIdleLimitForTests(-1);
    RunUntil([] { return plat::InstanceConnectionCount() == 0; });
    char c = 0;
    EXPECT_EQ(recv(half, &c, 1, 0) + recv(silent, &c, 1, 0), 0) << "closed without an answer";
    for (int fd : {big, half, silent}) close(fd);
}

TEST_F(HandOver, AnotherUserIsNotHeard) {
    if (getuid() != 0) GTEST_SKIP() << "needs root to act as another user";
    chmod(tmp.path().c_str(), 0755);
    chmod(socket.c_str(), 0777);  // so only the credential check stands in the way
    std::string chart = Chart("foreign.bms");
    auto sendAs = [&](uid_t uid) {
        return std::async(std::launch::async, [uid, line = "\"" + chart + "\""] {
            // The raw call changes this thread only; the C library's would change them all.
            syscall(SYS_setresuid, -1, uid, -1);
            bool taken = plat::HandOverToRunningInstance(line);
            syscall(SYS_setresuid, -1, 0, -1);
            return taken;
        });
    };
    std::future<bool> nobody = sendAs(65534);
    RunUntil([&] { return Ready(nobody); });
    EXPECT_FALSE(nobody.get());
    EXPECT_TRUE(modBMSLoad::BMSFileName.empty());
    std::future<bool> us = sendAs(0);
    RunUntil([&] { return Ready(us); });
    EXPECT_TRUE(us.get()) << "the refusal above was the credential check";
    EXPECT_EQ(modBMSLoad::BMSFileName, chart);
}

}  // namespace
