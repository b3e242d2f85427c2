// Details of the single-instance hand-over that tests reach for; callers use platform.h.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <optional>
#include <string>

namespace plat {

// The largest command line one instance hands to another.
constexpr size_t kMaxHandOverBytes = 64 * 1024;

// The socket's path: $XDG_RUNTIME_DIR/korvane.sock when that folder is ours, else
// /tmp/korvane-UID/korvane.sock (the folder made with mode 0700 and checked to be ours and
// private). Empty when no safe folder exists. `runtimeDir` stands for $XDG_RUNTIME_DIR.
std::string InstanceSocketPath(const char* runtimeDir);
// Overrides the socket path (tests use a private folder); "" returns to the default.
void SetInstanceSocketPathForTests(const std::string& path);
// Only a process of our own user may hand over a command line.
bool PeerMayHandOver(uid_t peerUid, uid_t ownUid);
// How long an accepted connection may stay without a complete message before it is dropped.
void SetInstanceIdleLimitForTests(int32_t ms);
// Open hand-over connections of the listener (for tests).
int32_t InstanceConnectionCount();

}  // namespace plat
