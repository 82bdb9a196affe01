#include "access/helper/HelperServer.hpp"

#include "access/HelperWire.hpp"
#include "access/PrivilegedPaths.hpp"
#include "access/helper/HelperRecord.hpp"
#include "access/helper/WalkAdmission.hpp"
#include "platform/Thread.hpp"
#include "scan/DiskScanner.hpp"

#include <atomic>
#include <cerrno>
#include <climits>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <list>
#include <mutex>
#include <nlohmann/json.hpp>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <thread>

namespace quillmere {

namespace {
constexpr const char* kVersionText = "quillmere-helper 1";
// A walk that was told to stop gets this long before it is left behind.
constexpr std::chrono::milliseconds kStopGrace{1000};
constexpr std::size_t kWalkStackBytes = 16 * 1024 * 1024;

std::string errnoText(int error) {
    return std::strerror(error);
}

std::string secondsText(std::chrono::milliseconds limit) {
    char text[32];
    std::snprintf(text, sizeof text, "%g", static_cast<double>(limit.count()) / 1000.0);
    return text;
}

std::string declineFrame(int64_t id, const std::string& reason) {
    return framed(nlohmann::json{{"id", id}, {"error", reason}}.dump());
}

// Whether the client hung up (a request it sent meanwhile is no hang-up).
bool clientLeft(int socket) {
    pollfd entry{socket, POLLRDHUP, 0};
    return ::poll(&entry, 1, 0) > 0 && (entry.revents & (POLLRDHUP | POLLHUP | POLLERR));
}

uid_t peerUser(int socket) {
    ucred peer{};
    socklen_t size = sizeof peer;
    if (::getsockopt(socket, SOL_SOCKET, SO_PEERCRED, &peer, &size) != 0) return static_cast<uid_t>(-1);
    return peer.uid;
}

// One walk, run on a thread of its own so that the client's thread can give up on it: a walk
// stuck in the kernel cannot be stopped, only left behind.
struct WalkJob {
    std::mutex lock;
    std::condition_variable changed;
    bool finished = false;
    bool leftBehind = false;
    std::optional<std::string> decline;
    std::optional<DiskScanResult> result;
    std::shared_ptr<ScanCancellation> cancellation = std::make_shared<ScanCancellation>();

    // Waits until the walk finishes or `deadline`; whether it finished.
    bool awaitUntil(std::chrono::steady_clock::time_point deadline) {
        std::unique_lock guard(lock);
        return changed.wait_until(guard, deadline, [&] { return finished; });
    }
};

bool startWalk(const std::shared_ptr<WalkJob>& job, const std::shared_ptr<WalkAdmission>& admission,
               std::string path, platform::ScanHost& host) {
    return platform::startDetachedThread(
        [job, admission, path = std::move(path), &host] {
            std::optional<std::string> decline;
            std::optional<DiskScanResult> result;
            try {
                decline = reasonToDecline(path);
                if (!decline) {
                    result = DiskScanner(200, host).scanToEnd(path, true, "", job->cancellation);
                    if (!result) decline = "The folder could not be read.";
                }
            } catch (const std::exception&) {
                decline = "The folder could not be read.";
                result.reset();
            }
            std::lock_guard guard(job->lock);
            job->finished = true;
            if (job->leftBehind) {
                // Nobody waits for it any more: its tree goes, and its place is free again.
                result.reset();
                admission->leftBehindWalkEnded();
                return;
            }
            job->decline = std::move(decline);
            job->result = std::move(result);
            job->changed.notify_all();
        },
        kWalkStackBytes);
}

// Streams the walked tree after its reply object, each chunk as it is made; false when the
// client stopped taking them (the connection is then dropped).
bool streamTree(int socket, int64_t id, const FileNode& root, const HelperServerOptions& options) {
    const auto deadline = [&] { return monotonicMs() + options.stalledClientLimit.count(); };
    if (!sendAll(socket, framed(nlohmann::json{{"id", id}, {"error", nullptr}, {"chunks", true}}.dump()),
                 deadline()))
        return false;
    uint64_t sent = 0;
    bool tooLarge = false;
    bool clientTakes = true;
    std::string frame;
    auto send = [&](std::string_view piece) {
        sent += piece.size();
        if (sent > kHelperRecordLimit) {
            tooLarge = true;
            return false;
        }
        frame.assign(1, kChunkData);
        frame.append(piece);
        clientTakes = sendAll(socket, framed(frame), deadline());
        return clientTakes;
    };
    writeScannedTree(root, kHelperChunkBytes, send);
    if (!clientTakes) return false;
    if (tooLarge)
        return sendAll(socket,
                       framed(std::string(1, kChunkAbort) + "The folder's tree is too large to send."),
                       deadline());
    return sendAll(socket, framed(std::string(1, kChunkEnd)), deadline());
}

struct Served {
    const HelperServerOptions& options;
    std::shared_ptr<WalkAdmission> admission;
};

// Answers one walk request; false when the connection is to close.
bool answerWalk(int socket, uid_t user, int64_t id, const std::string& path, const Served& served) {
    auto left = [socket] { return clientLeft(socket); };
    switch (served.admission->awaitWalk(user, left)) {
    case WalkAdmission::Turn::clientLeft:
        return false;
    case WalkAdmission::Turn::overloaded:
        return sendAll(
            socket,
            declineFrame(id, "The helper is waiting for folders that do not answer; try again later."),
            monotonicMs() + served.options.stalledClientLimit.count());
    case WalkAdmission::Turn::granted:
        break;
    }
    auto job = std::make_shared<WalkJob>();
    if (!startWalk(job, served.admission, path, *served.options.scanHost)) {
        served.admission->walkEnded(user);
        return sendAll(socket, declineFrame(id, "The folder could not be read."));
    }
    // Watch the client and the clock while the walk runs.
    const auto limit = std::chrono::steady_clock::now() + served.options.walkLimit;
    bool clientGone = false;
    bool finished = false;
    while (!finished) {
        const auto now = std::chrono::steady_clock::now();
        if (now >= limit || (clientGone = clientLeft(socket))) break;
        finished = job->awaitUntil(std::min(limit, now + std::chrono::milliseconds(100)));
    }
    if (!finished) {
        job->cancellation->cancel();
        if (!job->awaitUntil(std::chrono::steady_clock::now() + kStopGrace)) {
            bool leftBehind = false;
            {
                std::lock_guard guard(job->lock);
                if (!job->finished) {
                    // Counted before the walk can end and uncount itself.
                    job->leftBehind = leftBehind = true;
                    served.admission->walkLeftBehind(user);
                }
            }
            if (leftBehind) {
                if (clientGone) return false;
                return sendAll(socket,
                               declineFrame(id, "The folder did not answer within " +
                                                    secondsText(served.options.walkLimit) + " seconds."),
                               monotonicMs() + served.options.stalledClientLimit.count());
            }
        }
        // Stopped in time: what it walked is only part of the folder.
        served.admission->walkEnded(user);
        if (clientGone) return false;
        return sendAll(socket, declineFrame(id, "The folder took too long to walk."),
                       monotonicMs() + served.options.stalledClientLimit.count());
    }
    bool keepOpen = true;
    if (job->decline) {
        keepOpen = sendAll(socket, declineFrame(id, *job->decline),
                           monotonicMs() + served.options.stalledClientLimit.count());
    } else {
        keepOpen = streamTree(socket, id, job->result->root, served.options);
    }
    job.reset(); // the tree goes before the memory is given back
    served.admission->walkEnded(user);
    return keepOpen;
}

// Answers one request; false when the connection is to close (the request broke the protocol,
// or the client went away).
bool answerRequest(int socket, uid_t user, const std::string& frame, const Served& served) {
    const auto request = nlohmann::json::parse(frame, nullptr, false);
    if (request.is_discarded() || !request.is_object()) return false;
    const auto id = request.find("id");
    const auto selector = request.find("selector");
    if (id == request.end() || !id->is_number_integer() || id->get<int64_t>() < 1) return false;
    if (selector == request.end() || !selector->is_string()) return false;
    const int64_t number = id->get<int64_t>();
    const int64_t deadline = monotonicMs() + served.options.stalledClientLimit.count();
    if (*selector == kHelperPingSelector)
        return sendAll(socket, framed(nlohmann::json{{"id", number}, {"text", kVersionText}}.dump()),
                       deadline);
    if (*selector != kHelperWalkSelector) return false;
    const auto path = request.find("path");
    if (path == request.end() || !path->is_string()) return false;
    return answerWalk(socket, user, number, path->get<std::string>(), served);
}

void serveClient(platform::Fd client, uid_t user, const Served& served) {
    for (;;) {
        const int64_t deadline = monotonicMs() + served.options.clientIdleLimit.count();
        auto frame = readFrame(client.get(), kHelperRequestLimit, deadline);
        if (!frame) return;
        if (!answerRequest(client.get(), user, *frame, served)) return;
    }
}
} // namespace

std::optional<std::string> reasonToDecline(const std::string& path) {
    if (!path.starts_with('/')) return "The path is not absolute.";
    std::size_t start = 1;
    while (start <= path.size()) {
        std::size_t end = path.find('/', start);
        if (end == std::string::npos) end = path.size();
        const std::string_view component(path.data() + start, end - start);
        if (component == "." || component == "..") return "The path contains \".\" or \"..\".";
        if (component.empty() && end != path.size()) return "The path contains an empty component.";
        start = end + 1;
    }
    struct stat info {};
    if (::lstat(path.c_str(), &info) != 0) return "The path cannot be examined: " + errnoText(errno) + ".";
    if (S_ISLNK(info.st_mode)) return "The path is a symbolic link.";
    if (!S_ISDIR(info.st_mode)) return "The path is not a folder.";
    char resolved[PATH_MAX];
    if (::realpath(path.c_str(), resolved) == nullptr) return "The path cannot be resolved.";
    if (withoutTrailingSlashes(path) != resolved) return "The path passes through a symbolic link.";
    return std::nullopt;
}

std::expected<platform::Fd, std::string> listenAtPath(const std::string& path, mode_t mode) {
    sockaddr_un address{};
    if (path.empty() || path.size() >= sizeof address.sun_path)
        return std::unexpected("The socket path is too long.");
    struct stat info {};
    if (::lstat(path.c_str(), &info) == 0) {
        if (!S_ISSOCK(info.st_mode))
            return std::unexpected("The path " + path + " exists and is not a socket; it is left as it is.");
        if (::unlink(path.c_str()) != 0)
            return std::unexpected("The old socket at " + path + " cannot be removed: " + errnoText(errno) +
                                   ".");
    }
    platform::Fd socket(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
    if (!socket) return std::unexpected("No socket: " + errnoText(errno) + ".");
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    // The socket is born with its mode: no moment exists in which others may connect.
    const mode_t previous = ::umask(static_cast<mode_t>(~mode & 0777));
    const int bound = ::bind(socket.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address);
    const int bindError = errno;
    ::umask(previous);
    if (bound != 0) return std::unexpected("Cannot listen at " + path + ": " + errnoText(bindError) + ".");
    if (::listen(socket.get(), SOMAXCONN) != 0)
        return std::unexpected("Cannot listen at " + path + ": " + errnoText(errno) + ".");
    return socket;
}

std::optional<platform::Fd> socketFromServiceManager() {
    const char* pid = std::getenv("LISTEN_PID");
    const char* fds = std::getenv("LISTEN_FDS");
    if (pid == nullptr || fds == nullptr) return std::nullopt;
    if (std::strtol(pid, nullptr, 10) != static_cast<long>(::getpid()) || std::strtol(fds, nullptr, 10) != 1)
        return std::nullopt;
    ::unsetenv("LISTEN_PID");
    ::unsetenv("LISTEN_FDS");
    ::unsetenv("LISTEN_FDNAMES");
    constexpr int kFirstPassedFd = 3;
    struct stat info {};
    if (::fstat(kFirstPassedFd, &info) != 0 || !S_ISSOCK(info.st_mode)) return std::nullopt;
    return platform::Fd(kFirstPassedFd);
}

int serveHelper(platform::Fd listener, HelperServerOptions options) {
    const Served served{options, std::make_shared<WalkAdmission>(
                                     WalkAdmission::Limits{.connections = options.maxClients,
                                                           .connectionsPerUser = options.maxClientsPerUser,
                                                           .walks = options.maxWalks,
                                                           .walksPerUser = options.maxWalksPerUser,
                                                           .walksLeftBehind = options.maxWalksLeftBehind})};
    struct ClientThread {
        std::thread thread;
        std::shared_ptr<std::atomic<bool>> finished;
    };
    // Finished clients are joined as the loop goes, so a helper that runs for weeks keeps
    // no more threads than it has clients.
    std::list<ClientThread> threads;
    const auto joinFinished = [&threads](bool all) {
        for (auto it = threads.begin(); it != threads.end();) {
            if (all || it->finished->load()) {
                it->thread.join();
                it = threads.erase(it);
            } else {
                ++it;
            }
        }
    };
    int64_t idleSince = monotonicMs();
    for (;;) {
        joinFinished(false);
        if (served.admission->connections() > 0) idleSince = monotonicMs();
        if (options.exitWhenIdle && monotonicMs() - idleSince >= options.exitWhenIdle->count()) break;
        pollfd entry{listener.get(), POLLIN, 0};
        const int ready = ::poll(&entry, 1, 1000);
        if (ready < 0 && errno != EINTR) break;
        if (ready <= 0) continue;
        platform::Fd client(::accept4(listener.get(), nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK));
        if (!client) continue;
        const uid_t user = peerUser(client.get());
        if (!served.admission->admitConnection(user)) continue; // closed at once
        idleSince = monotonicMs();
        auto finished = std::make_shared<std::atomic<bool>>(false);
        std::thread thread([&served, user, finished, socket = std::move(client)]() mutable {
            try {
                serveClient(std::move(socket), user, served);
            } catch (...) {
            }
            served.admission->connectionClosed(user);
            finished->store(true);
        });
        threads.push_back({std::move(thread), std::move(finished)});
    }
    joinFinished(true);
    return 0;
}

} // namespace quillmere
