// Process-wide facts: how to end, the command line as one text, and where the program lives.
#include <unistd.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace plat {

namespace {
bool g_exitThrows = false;
std::string g_commandLine;
std::vector<std::string> g_arguments;

std::string Join(const std::vector<std::string>& args) {
    std::string line;
    for (const std::string& arg : args) {
        if (!line.empty()) line += ' ';
        if (arg.empty() || arg.find(' ') != std::string::npos)
            line += '"' + arg + '"';
        else
            line += arg;
    }
    return line;
}
}  // namespace

size_t MachineMemoryBytes() {
    long pages = sysconf(_SC_PHYS_PAGES), pageSize = sysconf(_SC_PAGE_SIZE);
    return pages > 0 && pageSize > 0 ? static_cast<size_t>(pages) * static_cast<size_t>(pageSize)
                                     : 0;
}

void TellUser(const std::string& line) {
    std::fprintf(stderr, "%s\n", line.c_str());
    std::fflush(stderr);
}

void ExitProcess(int code) {
    if (g_exitThrows) throw ProcessExit{code};
    std::exit(code);
}

void SetExitThrows(bool throws) {
    g_exitThrows = throws;
}

// Arguments are joined the way a Windows command line shows them, so the command-line parser sees
// the same text whichever way the program was started.
void SetCommandLine(int argc, char** argv) {
    g_arguments.clear();
    for (int i = 1; i < argc; ++i) g_arguments.emplace_back(argv[i] ? argv[i] : "");
    g_commandLine = Join(g_arguments);
}

std::string CommandLine() {
    return g_commandLine;
}

// A running instance reads the line in its own working folder, so a chart named relative to ours
// is named from the root instead; options ("-...") and empty arguments stay as they are.
std::string HandOverCommandLine() {
    char cwd[PATH_MAX];
    if (!getcwd(cwd, sizeof cwd)) return g_commandLine;
    std::string folder = cwd;
    if (folder.back() != '/') folder += '/';
    std::vector<std::string> args = g_arguments;
    for (std::string& arg : args)
        if (!arg.empty() && arg[0] != '-' && arg[0] != '/') arg = folder + arg;
    return Join(args);
}

std::string ExeDir() {
    static const std::string dir = [] {
        char buf[PATH_MAX + 1];
        ssize_t n = readlink("/proc/self/exe", buf, PATH_MAX);
        if (n <= 0) return std::string("./");
        std::string path(buf, static_cast<size_t>(n));
        size_t slash = path.rfind('/');
        return slash == std::string::npos ? std::string("./") : path.substr(0, slash + 1);
    }();
    return dir;
}

}  // namespace plat
