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
    std::size_t maxClients = 32;
    // What walks read the file system through; it outlives the server.
    platform::ScanHost* scanHost = &platform::ScanHost::system();
};

// Serves walks on `listener` until it is idle for `exitWhenIdle`. One walk at a time; a
// walk whose client has gone is cancelled. Returns the process's exit status.
int serveHelper(platform::Fd listener, HelperServerOptions options);

// The reply frame's JSON for one request, or nothing when the request breaks the protocol
// (its connection is then closed).
std::optional<std::string> answerRequest(const std::string& frame, int clientSocket,
                                         platform::ScanHost& host = platform::ScanHost::system());

} // namespace quillmere
