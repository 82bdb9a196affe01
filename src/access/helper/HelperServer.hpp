#pragma once

#include "platform/Fd.hpp"
#include "platform/ScanHost.hpp"

#include <chrono>
#include <expected>
#include <optional>
#include <string>
#include <sys/types.h>

namespace quillmere {

// A socket listening at `path`, created with `mode` (e.g. 0660). An existing path that is
// not a socket is refused and left as it is; a stale socket is replaced.
std::expected<platform::Fd, std::string> listenAtPath(const std::string& path, mode_t mode);

// The socket systemd passed (LISTEN_PID is ours and LISTEN_FDS is 1), or nothing.
std::optional<platform::Fd> socketFromServiceManager();

// Why the helper declines `path`, or nothing when it walks it: only absolute paths of
// folders, without "." or ".." and reached through no symbolic link.
std::optional<std::string> reasonToDecline(const std::string& path);

struct HelperServerOptions {
    // Exit after this long without a client; nothing: serve for ever.
    std::optional<std::chrono::milliseconds> exitWhenIdle;
    std::chrono::milliseconds clientIdleLimit{60'000};
    // Connections in all and from one user (by the peer's credentials), so that one user's
    // idle connections never lock the others out; more are closed at once.
    std::size_t maxClients = 128;
    std::size_t maxClientsPerUser = 48;
    // Walks at once, in all and for one user; further walks wait their turn.
    std::size_t maxWalks = 4;
    std::size_t maxWalksPerUser = 2;
    // How long one walk may run. A walk over it is cancelled and declined; one that does not
    // stop within a second (stuck in the kernel on a file system that stopped answering) is
    // left behind, its slot given to the next, and its result dropped whenever it ends.
    std::chrono::milliseconds walkLimit{90'000};
    // While this many walks are left behind, new walks are declined.
    std::size_t maxWalksLeftBehind = 8;
    // A client that takes no byte of its reply for this long is dropped, and its walk's tree
    // with it.
    std::chrono::milliseconds stalledClientLimit{15'000};
    // What walks read the file system through; it outlives the server and every walk left
    // behind.
    platform::ScanHost* scanHost = &platform::ScanHost::system();
};

// Serves walks on `listener` until it is idle for `exitWhenIdle`. A walk whose client has
// gone is cancelled. Each reply is written as it is made, with back-pressure: the memory of a
// walk is its tree and one chunk, and it is given back after the walk. Returns the process's
// exit status.
int serveHelper(platform::Fd listener, HelperServerOptions options);

} // namespace quillmere
