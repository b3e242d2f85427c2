// Crafted pictures of every format the picture library knows: each is refused before its pixels
// are decoded (or decoded, where it is small), in a child process under a memory limit and a
// deadline, growing by no more than a few megabytes (tests/data/media/hostile_pictures.cases).
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <thread>

#include "support.h"

namespace {

// Pages of address space and of memory in use now.
void Statm(long& size, long& resident) {
    std::ifstream("/proc/self/statm") >> size >> resident;
}

struct Outcome {
    int exit = -1;      // 10 decoded, 20 refused; -1 killed at the deadline or crashed
    long grownKiB = 0;  // the child's peak resident memory above the parent's now
};

// Decodes the file in a child whose address space may grow by 1 GiB at most.
Outcome DecodeInChild(const std::string& path) {
    long size = 0, resident = 0;
    Statm(size, resident);
    const long page = sysconf(_SC_PAGESIZE);
    pid_t child = fork();
    if (child == 0) {
        rlimit limit{};
        limit.rlim_cur = limit.rlim_max = static_cast<rlim_t>(size * page) + (rlim_t(1) << 30);
        setrlimit(RLIMIT_AS, &limit);
        _exit(plat::DecodeImage(path, true) ? 10 : 20);
    }
    Outcome out;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    int status = 0;
    rusage usage{};
    while (wait4(child, &status, WNOHANG, &usage) == 0) {
        if (std::chrono::steady_clock::now() > deadline) {
            kill(child, SIGKILL);
            wait4(child, &status, 0, &usage);
            return out;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    if (WIFEXITED(status)) out.exit = WEXITSTATUS(status);
    out.grownKiB = usage.ru_maxrss - resident * page / 1024;
    return out;
}

using PictureLimits = testsupport::Test;

TEST_F(PictureLimits, CraftedHeadersAreRefusedWithBoundedMemoryAndTime) {
    for (const testsupport::Case& c :
         testsupport::ReadCases(testsupport::DataPath("media/hostile_pictures.cases"))) {
        SCOPED_TRACE("case at line " + std::to_string(c.line) + ": " + c.at("name"));
        testsupport::WriteFile(tmp / c.at("file"), c.at("bytes"));
        Outcome out = DecodeInChild(tmp / c.at("file"));
        EXPECT_EQ(out.exit, c.at("decodes") == "yes" ? 10 : 20);
        EXPECT_LT(out.grownKiB, 16 * 1024) << "KiB grown";
    }
}

}  // namespace
