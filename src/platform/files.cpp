// Whole-file reads and writes. Settings and the error log go through here, so a failure is
// reported as false or empty, never thrown.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>

#include "platform/platform.h"

namespace plat {

namespace {

bool WriteAll(int fd, const std::string& data) {
    size_t done = 0;
    while (done < data.size()) {
        ssize_t n = write(fd, data.data() + done, data.size() - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        done += static_cast<size_t>(n);
    }
    return true;
}

bool Fail(std::string* why, const std::string& reason) {
    if (why) *why = reason;
    return false;
}

// The file a chain of symbolic links ends at (which need not exist yet), so that writing replaces
// the target and keeps the links. A chain too long or a link that cannot be read ends the walk.
std::string FollowLinks(std::string path) {
    for (int hops = 0; hops < 40; ++hops) {
        struct stat st;
        if (lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) break;
        char buf[4096];
        ssize_t n = readlink(path.c_str(), buf, sizeof buf);
        if (n <= 0 || static_cast<size_t>(n) == sizeof buf) break;
        std::string link(buf, static_cast<size_t>(n));
        size_t slash = path.rfind('/');
        path =
            link[0] == '/' || slash == std::string::npos ? link : path.substr(0, slash + 1) + link;
    }
    return path;
}

// A file with no write permission for anyone was made read-only on purpose; that holds for root
// too, who passes every access check.
bool Writable(const std::string& path, const struct stat& st) {
    return (st.st_mode & 0222) != 0 && faccessat(AT_FDCWD, path.c_str(), W_OK, AT_EACCESS) == 0;
}

// The replacement gets the mode of the file it replaces and, where we may, its owner.
void KeepOwnerAndMode(int fd, const struct stat& st) {
    fchmod(fd, st.st_mode & 07777);
    if (st.st_uid != geteuid() || st.st_gid != getegid())
        if (fchown(fd, st.st_uid, st.st_gid) == 0) fchmod(fd, st.st_mode & 07777);
}

}  // namespace

bool IsRegularFile(const std::string& path) {
    struct stat st;
    return !path.empty() && stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

uint64_t FileSize(const std::string& path) {
    struct stat st;
    if (path.empty() || stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return 0;
    return static_cast<uint64_t>(st.st_size);
}

std::string FileIdentity(const std::string& path) {
    struct stat st;
    if (path.empty() || stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return "";
    return std::to_string(st.st_dev) + ":" + std::to_string(st.st_ino) + ":" +
           std::to_string(st.st_size) + ":" + std::to_string(st.st_mtim.tv_sec) + "." +
           std::to_string(st.st_mtim.tv_nsec) + ":" + std::to_string(st.st_ctim.tv_nsec);
}

std::string WhyUnreadable(const std::string& path, size_t maxBytes, bool* missing) {
    if (missing) *missing = false;
    // Without O_NONBLOCK a FIFO would wait here for a writer that may never come.
    int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        if (missing) *missing = errno == ENOENT;
        return std::strerror(errno);
    }
    struct stat st;
    std::string why;
    if (fstat(fd, &st) != 0)
        why = std::strerror(errno);
    else if (S_ISDIR(st.st_mode))
        why = std::strerror(EISDIR);
    else if (!S_ISREG(st.st_mode))
        why = "not a regular file";
    else if (static_cast<uint64_t>(st.st_size) > maxBytes)
        why = "larger than " + std::to_string(maxBytes >> 20) + " MiB";
    close(fd);
    return why;
}

std::optional<std::string> ReadFile(const std::string& path, size_t maxBytes) {
    int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return std::nullopt;
    struct stat st;
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || static_cast<size_t>(st.st_size) > maxBytes) {
        close(fd);
        return std::nullopt;
    }
    std::string data;
    data.reserve(static_cast<size_t>(st.st_size));
    char buf[65536];
    for (;;) {
        ssize_t n = read(fd, buf, sizeof buf);
        if (n < 0) {
            if (errno == EINTR) continue;
            close(fd);
            return std::nullopt;
        }
        if (n == 0) break;
        // The file may grow while we read it; the limit holds for what we return.
        if (data.size() + static_cast<size_t>(n) > maxBytes) {
            close(fd);
            return std::nullopt;
        }
        data.append(buf, static_cast<size_t>(n));
    }
    close(fd);
    return data;
}

int OpenReplacement(const std::string& path, Replacement& r, std::string* why) {
    r.target = FollowLinks(path);
    struct stat st;
    bool exists = stat(r.target.c_str(), &st) == 0;
    if (exists && S_ISREG(st.st_mode) && !Writable(r.target, st)) return Fail(why, "read-only"), -1;
    if (exists && !S_ISREG(st.st_mode)) return Fail(why, "not a regular file"), -1;
    r.temp = r.target + ".tmp" + std::to_string(getpid());
    unlink(r.temp.c_str());  // one left by a process of the same number that was killed
    int fd = open(r.temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd < 0) return Fail(why, std::strerror(errno)), -1;
    if (exists) KeepOwnerAndMode(fd, st);
    return fd;
}

bool CommitReplacement(const Replacement& r, bool written, std::string* why) {
    int err = errno;
    if (written && rename(r.temp.c_str(), r.target.c_str()) == 0) return true;
    if (written) err = errno;
    unlink(r.temp.c_str());
    return Fail(why, std::strerror(err));
}

bool WriteFileAtomic(const std::string& path, const std::string& data, std::string* why) {
    Replacement r;
    int fd = OpenReplacement(path, r, why);
    if (fd < 0) return false;
    bool ok = WriteAll(fd, data) && fsync(fd) == 0;
    int err = errno;
    if (close(fd) != 0 && ok) ok = false, err = errno;
    errno = err;
    return CommitReplacement(r, ok, why);
}

bool AppendFile(const std::string& path, const std::string& data) {
    // Non-blocking: a FIFO without a reader is refused at once instead of waiting for one.
    int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_NONBLOCK | O_CLOEXEC, 0644);
    if (fd < 0) return false;
    struct stat st;
    bool ok = fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && WriteAll(fd, data);
    return close(fd) == 0 && ok;
}

}  // namespace plat
