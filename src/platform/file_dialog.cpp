#include "platform/file_dialog.h"

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <vector>

extern char** environ;

namespace plat {

namespace {

constexpr size_t kMaxAnswer = 64 * 1024;

// Runs argv with its standard output on a pipe; the whole output, or empty when the program is
// missing (`started` false) or does not exit with 0 (a cancelled dialog exits with 1).
std::optional<std::string> RunCapturing(const std::vector<std::string>& args,
                                        const std::function<void()>& idle, bool& started) {
    started = false;
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) return std::nullopt;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[1], STDOUT_FILENO);
    std::vector<char*> argv;
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    pid_t pid = 0;
    int rc = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(fds[1]);
    if (rc != 0) {
        close(fds[0]);
        return std::nullopt;
    }
    started = true;
    std::string out;
    for (;;) {
        pollfd p{fds[0], POLLIN, 0};
        int ready = poll(&p, 1, 100);
        if (ready < 0 && errno != EINTR) break;
        if (ready <= 0) {
            if (idle) idle();
            continue;
        }
        char buf[4096];
        ssize_t n = read(fds[0], buf, sizeof buf);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        if (out.size() < kMaxAnswer) out.append(buf, static_cast<size_t>(n));
    }
    close(fds[0]);
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return std::nullopt;
    return out;
}

}  // namespace

std::optional<std::string> RunFileDialog(const std::string& folder, const std::string& file,
                                         const std::function<void()>& idle) {
    std::string start = file;
    if (start.empty() || start[0] != '/') {
        start = folder;
        if (!start.empty() && start.back() != '/') start += '/';
        start += file;
    }
    bool started = false;
    std::optional<std::string> answer =
        RunCapturing({"zenity", "--file-selection", "--title=Open", "--filename=" + start,
                      "--file-filter=BMS files (*.bms,*.bme,*.bml,*.pms) | *.bms *.bme *.bml *.pms",
                      "--file-filter=All files | *"},
                     idle, started);
    if (!started)
        answer = RunCapturing({"kdialog", "--getopenfilename", start,
                               "*.bms *.bme *.bml *.pms|BMS files\n*|All files"},
                              idle, started);
    if (!answer) return std::nullopt;
    while (!answer->empty() && (answer->back() == '\n' || answer->back() == '\r'))
        answer->pop_back();
    if (answer->empty()) return std::nullopt;
    return answer;
}

}  // namespace plat
