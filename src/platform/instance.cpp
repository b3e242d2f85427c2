// The single-instance hand-over over a Unix-domain socket. Wire format, one message per
// connection: a 4-byte little-endian length, then that many bytes of command line; the
// receiver answers one byte 'K' once the line was handled, then closes.
//
// The listener never blocks its caller: every socket is non-blocking, partial messages are kept
// across polls, and connections that misbehave are dropped.
#include "platform/instance.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "platform/platform.h"

namespace plat {

namespace {

constexpr char kAck = 'K';
constexpr int32_t kAckWaitMs = 10000;
constexpr int32_t kConnectWaitMs = 3000;
constexpr size_t kMaxConnections = 16;
constexpr int kBacklog = 64;

struct Connection {
    int fd = -1;
    std::string buffer;
    int64_t since = 0;         // when it was accepted (steady ms)
    bool awaitingAck = false;  // its line was returned by Poll
};

struct Listener {
    int fd = -1;
    std::string path;
    ino_t inode = 0;
    std::vector<Connection> connections;
    int32_t idleLimitMs = 2000;
    std::string pathOverride;
};

Listener& State() {
    static Listener listener;
    return listener;
}

int64_t SteadyMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

bool PrivateFolderOfOurs(const std::string& dir, bool mustBePrivate) {
    struct stat st;
    if (lstat(dir.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != getuid()) return false;
    return !mustBePrivate || (st.st_mode & 077) == 0;
}

std::string SocketPath() {
    const Listener& l = State();
    if (!l.pathOverride.empty()) return l.pathOverride;
    return InstanceSocketPath(std::getenv("XDG_RUNTIME_DIR"));
}

bool MakeAddress(const std::string& path, sockaddr_un& addr) {
    if (path.empty() || path.size() >= sizeof(addr.sun_path)) return false;
    std::memset(&addr, 0, sizeof addr);
    addr.sun_family = AF_UNIX;
    std::memcpy(addr.sun_path, path.c_str(), path.size());
    return true;
}

// Waits until fd is ready for `events` or the deadline passes.
bool WaitFor(int fd, short events, int64_t deadline) {
    for (;;) {
        int64_t left = deadline - SteadyMs();
        if (left <= 0) return false;
        pollfd p{fd, events, 0};
        int r = poll(&p, 1, static_cast<int>(left));
        if (r > 0) return true;
        if (r < 0 && errno != EINTR) return false;
    }
}

bool SendAll(int fd, const std::string& data, int64_t deadline) {
    size_t done = 0;
    while (done < data.size()) {
        ssize_t n = send(fd, data.data() + done, data.size() - done, MSG_NOSIGNAL);
        if (n > 0) {
            done += static_cast<size_t>(n);
        } else if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)) {
            if (!WaitFor(fd, POLLOUT, deadline)) return false;
        } else {
            return false;
        }
    }
    return true;
}

// A non-blocking connection to a listening instance, or -1.
int ConnectTo(const std::string& path) {
    sockaddr_un addr;
    if (!MakeAddress(path, addr)) return -1;
    int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0) return -1;
    // A full backlog makes a Unix socket answer EAGAIN at once, without a connection in
    // progress: the listener exists but is busy (many files opened at once start many of us),
    // so the attempt is repeated for a while rather than starting a second window.
    int64_t deadline = SteadyMs() + kConnectWaitMs;
    while (connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
        if ((errno != EAGAIN && errno != EINTR) || SteadyMs() >= deadline) {
            close(fd);
            return -1;
        }
        usleep(2000);
    }
    return fd;
}

void CloseConnection(Connection& c) {
    if (c.fd >= 0) close(c.fd);
    c.fd = -1;
}

void SendAckAndClose(Connection& c) {
    char ack = kAck;
    // The sender waits for this byte; a full socket buffer is impossible for one byte on a
    // connection that carried nothing our way before.
    (void)send(c.fd, &ack, 1, MSG_NOSIGNAL | MSG_DONTWAIT);
    CloseConnection(c);
}

// Beyond kMaxConnections open at once, senders wait in the backlog until a slot frees up (a
// line is answered or a silent connection times out), rather than being turned away.
void AcceptWaiting(Listener& l) {
    while (l.connections.size() < kMaxConnections) {
        int fd = accept4(l.fd, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
        if (fd < 0) return;
        ucred cred{};
        socklen_t len = sizeof cred;
        bool allowed = getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &cred, &len) == 0 &&
                       PeerMayHandOver(cred.uid, getuid());
        if (!allowed) {
            close(fd);
            continue;
        }
        l.connections.push_back(Connection{fd, {}, SteadyMs(), false});
    }
}

uint32_t LengthOf(const std::string& buffer) {
    return uint32_t(uint8_t(buffer[0])) | (uint32_t(uint8_t(buffer[1])) << 8) |
           (uint32_t(uint8_t(buffer[2])) << 16) | (uint32_t(uint8_t(buffer[3])) << 24);
}

// Reads what is there. Returns the line when the message is complete; closes the connection
// when it breaks the rules.
std::optional<std::string> ReadSome(Connection& c, int64_t now, int32_t idleLimit) {
    char buf[8192];
    auto complete = [&] {
        return c.buffer.size() >= 4 && c.buffer.size() >= 4 + size_t(LengthOf(c.buffer));
    };
    auto take = [&] {
        std::string line = c.buffer.substr(4, LengthOf(c.buffer));
        c.buffer.clear();
        c.awaitingAck = true;
        return line;
    };
    for (;;) {
        ssize_t n = recv(c.fd, buf, sizeof buf, MSG_DONTWAIT);
        if (n > 0) {
            c.buffer.append(buf, static_cast<size_t>(n));
            if (c.buffer.size() >= 4 && LengthOf(c.buffer) > kMaxHandOverBytes) break;
            if (c.buffer.size() > 4 + kMaxHandOverBytes) break;
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            if (complete()) return take();
            if (now - c.since > idleLimit) break;
            return std::nullopt;
        }
        // The sender has gone. It stops waiting for the answer after a while (we may have sat
        // in a modal dialog), but a whole line it left is still acted on; the answer then
        // finds the connection closed, which does no harm.
        if (n == 0 && complete()) return take();
        break;  // closed before the message was complete, or an error
    }
    CloseConnection(c);
    return std::nullopt;
}

void RemoveClosed(Listener& l) {
    std::erase_if(l.connections, [](const Connection& c) { return c.fd < 0; });
}

}  // namespace

std::string InstanceSocketPath(const char* runtimeDir) {
    if (runtimeDir && *runtimeDir && runtimeDir[0] == '/' && PrivateFolderOfOurs(runtimeDir, false))
        return std::string(runtimeDir) + "/korvane.sock";
    std::string dir = "/tmp/korvane-" + std::to_string(getuid());
    if (mkdir(dir.c_str(), 0700) != 0 && errno != EEXIST) return "";
    // Someone else may have made the folder first: it must be ours and closed to others.
    if (!PrivateFolderOfOurs(dir, true)) return "";
    return dir + "/korvane.sock";
}

void SetInstanceSocketPathForTests(const std::string& path) {
    State().pathOverride = path;
}
bool PeerMayHandOver(uid_t peerUid, uid_t ownUid) {
    return peerUid == ownUid;
}
void SetInstanceIdleLimitForTests(int32_t ms) {
    State().idleLimitMs = ms;
}
int32_t InstanceConnectionCount() {
    return static_cast<int32_t>(State().connections.size());
}

bool HandOverToRunningInstance(const std::string& cmdLine) {
    if (cmdLine.size() > kMaxHandOverBytes) return false;
    int fd = ConnectTo(SocketPath());
    if (fd < 0) return false;
    uint32_t n = static_cast<uint32_t>(cmdLine.size());
    std::string message = {char(n & 0xFF), char((n >> 8) & 0xFF), char((n >> 16) & 0xFF),
                           char(n >> 24)};
    message += cmdLine;
    int64_t deadline = SteadyMs() + kAckWaitMs;
    bool sent = SendAll(fd, message, deadline);
    bool taken = false;
    if (sent) {
        char answer = 0;
        for (;;) {
            ssize_t r = recv(fd, &answer, 1, 0);
            if (r == 1) {
                taken = answer == kAck;
                break;
            }
            if (r == 0) break;  // closed without an answer: refused
            if (r < 0 && errno == EINTR) continue;
            if (r < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
                if (WaitFor(fd, POLLIN, deadline)) continue;
                // The line was delivered but the running instance is slow to answer (busy
                // loading, say); it will still act on it, so a second window is worse.
                taken = true;
            }
            break;
        }
    }
    close(fd);
    return taken;
}

bool ListenForInstances() {
    Listener& l = State();
    if (l.fd >= 0) return true;
    std::string path = SocketPath();
    sockaddr_un addr;
    if (!MakeAddress(path, addr)) return false;
    int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0) return false;
    if (bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
        int probe = errno == EADDRINUSE ? ConnectTo(path) : -1;
        if (probe >= 0) {  // a live instance owns it
            close(probe);
            close(fd);
            return false;
        }
        // Left by an instance that ended without cleaning up: replace it, if it is a socket.
        struct stat st;
        if (lstat(path.c_str(), &st) != 0 || !S_ISSOCK(st.st_mode) || unlink(path.c_str()) != 0 ||
            bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
            close(fd);
            return false;
        }
    }
    struct stat st;
    if (listen(fd, kBacklog) != 0 || stat(path.c_str(), &st) != 0) {
        close(fd);
        return false;
    }
    l.fd = fd;
    l.path = path;
    l.inode = st.st_ino;
    return true;
}

void AckInstanceMessage() {
    for (Connection& c : State().connections)
        if (c.awaitingAck && c.fd >= 0) SendAckAndClose(c);
    RemoveClosed(State());
}

std::optional<std::string> PollInstanceMessage() {
    Listener& l = State();
    if (l.fd < 0) return std::nullopt;
    AckInstanceMessage();
    AcceptWaiting(l);
    int64_t now = SteadyMs();
    std::optional<std::string> line;
    for (Connection& c : l.connections) {
        if (c.fd < 0 || c.awaitingAck) continue;
        line = ReadSome(c, now, l.idleLimitMs);
        if (line) break;  // one line per call; the others wait in their connections
    }
    RemoveClosed(l);
    return line;
}

void StopListening() {
    Listener& l = State();
    AckInstanceMessage();
    for (Connection& c : l.connections) CloseConnection(c);
    l.connections.clear();
    if (l.fd < 0) return;
    close(l.fd);
    l.fd = -1;
    // Only our own socket file is removed: another instance may have replaced it since.
    struct stat st;
    if (stat(l.path.c_str(), &st) == 0 && st.st_ino == l.inode) unlink(l.path.c_str());
    l.path.clear();
}

}  // namespace plat
