// Process-wide facts: how to end, the command line as one text, and where the program lives.
#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <string>

#include "platform/platform.h"

namespace plat {

namespace {
bool g_exitThrows = false;
std::string g_commandLine;
}  // namespace

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
    std::string line;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i] ? argv[i] : "";
        if (!line.empty()) line += ' ';
        if (arg.empty() || arg.find(' ') != std::string::npos)
            line += '"' + arg + '"';
        else
            line += arg;
    }
    g_commandLine = line;
}

std::string CommandLine() {
    return g_commandLine;
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
