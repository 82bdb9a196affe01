#include "access/helper/HelperServer.hpp"

#include "access/HelperWire.hpp"
#include "access/PrivilegedPaths.hpp"
#include "access/helper/HelperRecord.hpp"
#include "platform/Base64.hpp"
#include "scan/DiskScanner.hpp"

#include <atomic>
#include <cerrno>
#include <climits>
#include <condition_variable>
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

std::string errnoText(int error) {
    return std::strerror(error);
}

// Walks are one at a time: the helper keeps one volume's worth of metadata in flight.
std::mutex& walkMutex() {
    static std::mutex mutex;
    return mutex;
}

nlohmann::json replyFor(int64_t id, std::optional<std::string> data, std::optional<std::string> error) {
    nlohmann::json reply{{"id", id}};
    reply["data"] = data ? nlohmann::json(*data) : nlohmann::json(nullptr);
    reply["error"] = error ? nlohmann::json(*error) : nlohmann::json(nullptr);
    return reply;
}

// Scans `path` while watching the client: when it hangs up the scan is cancelled.
std::optional<std::string> walkFor(const std::string& path, int clientSocket, platform::ScanHost& host,
                                   std::string& error) {
    std::lock_guard oneAtATime(walkMutex());
    auto cancellation = std::make_shared<ScanCancellation>();
    std::mutex doneMutex;
    std::condition_variable doneChanged;
    bool done = false;
    std::thread watcher([&] {
        std::unique_lock lock(doneMutex);
        while (!done) {
            lock.unlock();
            pollfd entry{clientSocket, POLLRDHUP, 0};
            const bool gone = ::poll(&entry, 1, 0) > 0 && (entry.revents & (POLLRDHUP | POLLHUP | POLLERR));
            lock.lock();
            if (gone) {
                cancellation->cancel();
                return;
            }
            doneChanged.wait_for(lock, std::chrono::milliseconds(100));
        }
    });
    std::optional<DiskScanResult> result;
    try {
        result = DiskScanner(200, host).scanToEnd(path, true, "", cancellation);
    } catch (const std::exception&) {
        result.reset();
    }
    {
        std::lock_guard lock(doneMutex);
        done = true;
    }
    doneChanged.notify_all();
    watcher.join();
    if (cancellation->isCancelled()) return std::nullopt;
    if (!result) {
        error = "The folder could not be read.";
        return std::nullopt;
    }
    std::string record = encodePrivilegedNode(privilegedNodeFromScan(result->root));
    std::string data = platform::base64Encoded(record);
    if (data.size() + 256 > kHelperReplyLimit) {
        error = "The folder's tree is too large to send.";
        return std::nullopt;
    }
    return data;
}

struct ClientSet {
    std::mutex mutex;
    std::size_t active = 0;
};

void serveClient(platform::Fd client, const HelperServerOptions& options) {
    for (;;) {
        const int64_t deadline = monotonicMs() + options.clientIdleLimit.count();
        auto frame = readFrame(client.get(), kHelperRequestLimit, deadline);
        if (!frame) return;
        auto reply = answerRequest(*frame, client.get(), *options.scanHost);
        if (!reply) return;
        if (!sendAll(client.get(), framed(*reply), monotonicMs() + options.clientIdleLimit.count())) return;
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

std::optional<std::string> answerRequest(const std::string& frame, int clientSocket,
                                         platform::ScanHost& host) {
    const auto request = nlohmann::json::parse(frame, nullptr, false);
    if (request.is_discarded() || !request.is_object()) return std::nullopt;
    const auto id = request.find("id");
    const auto selector = request.find("selector");
    if (id == request.end() || !id->is_number_integer() || id->get<int64_t>() < 1) return std::nullopt;
    if (selector == request.end() || !selector->is_string()) return std::nullopt;
    const int64_t number = id->get<int64_t>();
    if (*selector == kHelperPingSelector)
        return nlohmann::json{{"id", number}, {"text", kVersionText}}.dump();
    if (*selector != kHelperWalkSelector) return std::nullopt;
    const auto path = request.find("path");
    if (path == request.end() || !path->is_string()) return std::nullopt;
    const std::string text = path->get<std::string>();
    if (auto reason = reasonToDecline(text)) return replyFor(number, std::nullopt, *reason).dump();
    std::string error;
    auto data = walkFor(text, clientSocket, host, error);
    if (!data && error.empty()) return std::nullopt; // the client left
    return replyFor(number, std::move(data), error.empty() ? std::nullopt : std::optional(error)).dump();
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
    ClientSet clients;
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
        {
            std::lock_guard lock(clients.mutex);
            if (clients.active > 0) idleSince = monotonicMs();
        }
        if (options.exitWhenIdle && monotonicMs() - idleSince >= options.exitWhenIdle->count()) break;
        pollfd entry{listener.get(), POLLIN, 0};
        const int ready = ::poll(&entry, 1, 1000);
        if (ready < 0 && errno != EINTR) break;
        if (ready <= 0) continue;
        platform::Fd client(::accept4(listener.get(), nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK));
        if (!client) continue;
        {
            std::lock_guard lock(clients.mutex);
            if (clients.active >= options.maxClients) continue; // closed at once
            ++clients.active;
        }
        idleSince = monotonicMs();
        auto finished = std::make_shared<std::atomic<bool>>(false);
        std::thread thread([&clients, &options, finished, socket = std::move(client)]() mutable {
            try {
                serveClient(std::move(socket), options);
            } catch (...) {
            }
            std::lock_guard lock(clients.mutex);
            --clients.active;
            finished->store(true);
        });
        threads.push_back({std::move(thread), std::move(finished)});
    }
    joinFinished(true);
    return 0;
}

} // namespace quillmere
