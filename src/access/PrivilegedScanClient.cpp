#include "access/PrivilegedScanClient.hpp"

#include "access/HelperWire.hpp"
#include "access/ResumeGuard.hpp"
#include "platform/Base64.hpp"
#include "platform/Fd.hpp"
#include "scan/Unicode.hpp"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <nlohmann/json.hpp>
#include <poll.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <sys/un.h>
#include <thread>
#include <variant>

namespace quillmere {

namespace {
constexpr const char* kConnectionFailed = "Privileged helper connection failed: %s";

struct HelperReply {
    std::optional<std::string> data;
    std::optional<std::string> error;
};

struct ExchangeFailure {
    std::string description;
    bool timedOut = false;
};

using WalkAnswer = std::variant<HelperReply, ExchangeFailure>;
using WalkGuard = ResumeGuard<WalkAnswer>;

constexpr const char* kInterrupted = "The connection to the helper was interrupted.";
constexpr const char* kInvalidated = "The connection to the helper was invalidated.";

std::string secondsText(std::chrono::milliseconds limit) {
    char text[32];
    std::snprintf(text, sizeof text, "%g", static_cast<double>(limit.count()) / 1000.0);
    return text;
}

// A reply's optional text field: missing or null is nothing; anything but a string is a fault.
bool readOptionalText(const nlohmann::json& object, const char* key, std::optional<std::string>& out) {
    const auto it = object.find(key);
    if (it == object.end() || it->is_null()) return true;
    if (!it->is_string()) return false;
    out = it->get<std::string>();
    return true;
}
} // namespace

// One socket to the helper and the thread that reads it. A walk's answer is claimed by the
// first of the helper's reply, the end of the connection (an invalidation from any thread
// among them) and the walk's time limit; whichever comes first wakes the walk at once.
class HelperConnection {
public:
    explicit HelperConnection(platform::Fd socket)
        : socket_(std::move(socket)), reader_([this] { readReplies(); }) {}

    ~HelperConnection() {
        invalidate();
        reader_.join();
    }

    void invalidate() {
        std::shared_ptr<WalkGuard> waiting;
        {
            std::lock_guard lock(stateLock_);
            if (invalidated_) return;
            invalidated_ = true;
            waiting = pending_;
        }
        if (waiting) waiting->claim(ExchangeFailure{kInvalidated});
        ::shutdown(socket_.get(), SHUT_RDWR);
    }

    // Whether the helper closed, or broke, a connection idle since the last walk; either way
    // it is not reused.
    bool isStale() const {
        {
            std::lock_guard lock(stateLock_);
            if (invalidated_ || ended_) return true;
        }
        pollfd entry{socket_.get(), POLLRDHUP, 0};
        return ::poll(&entry, 1, 0) != 0;
    }

    WalkAnswer walk(const std::string& path, std::chrono::milliseconds limit) {
        std::lock_guard oneAtATime(walkMutex_);
        const auto deadline = std::chrono::steady_clock::now() + limit;
        const int64_t id = ++lastId_;
        auto guard = std::make_shared<WalkGuard>();
        {
            std::lock_guard lock(stateLock_);
            if (invalidated_ || ended_) {
                guard->claim(endFault());
            } else {
                pending_ = guard;
                pendingId_ = id;
            }
        }
        if (!guard->isClaimed()) {
            const std::string request =
                nlohmann::json{{"id", id}, {"selector", kHelperWalkSelector}, {"path", path}}.dump();
            if (!sendAll(socket_.get(), framed(request), monotonicMs() + limit.count())) {
                std::lock_guard lock(stateLock_);
                guard->claim(endFault());
            }
        }
        WalkAnswer answer = std::move(guard->await(
            deadline,
            ExchangeFailure{"The helper did not answer within " + secondsText(limit) + " seconds.", true}));
        {
            std::lock_guard lock(stateLock_);
            if (pending_ == guard) pending_.reset();
        }
        return answer;
    }

private:
    // Reads frames until the connection ends, handing the waiting walk its reply. A second
    // reply, or one to a walk that has given up, is not anyone's and is dropped.
    void readReplies() {
        try {
            for (;;) {
                auto frame = readFrame(socket_.get(), kHelperReplyLimit, -1);
                if (!frame) {
                    if (frame.error() == FrameFault::tooLong) return end(malformed());
                    return end(ExchangeFailure{kInterrupted});
                }
                const auto message = nlohmann::json::parse(*frame, nullptr, false);
                if (message.is_discarded() || !message.is_object()) return end(malformed());
                const auto idField = message.find("id");
                if (idField == message.end() || !idField->is_number_integer()) return end(malformed());
                std::shared_ptr<WalkGuard> waiting;
                {
                    std::lock_guard lock(stateLock_);
                    if (pending_ && pendingId_ == idField->get<int64_t>()) waiting = pending_;
                }
                if (!waiting) continue;
                HelperReply reply;
                if (!readOptionalText(message, "data", reply.data) ||
                    !readOptionalText(message, "error", reply.error))
                    return end(malformed());
                waiting->claim(std::move(reply));
            }
        } catch (const std::exception&) {
            // Out of memory on a huge reply: this connection cannot go on.
            end(ExchangeFailure{kInterrupted});
        }
    }

    // The connection is over: the waiting walk, and any that comes later, gets `fault`.
    void end(ExchangeFailure fault) {
        std::shared_ptr<WalkGuard> waiting;
        {
            std::lock_guard lock(stateLock_);
            if (!ended_) ended_ = invalidated_ ? ExchangeFailure{kInvalidated} : std::move(fault);
            fault = *ended_;
            waiting = pending_;
        }
        if (waiting) waiting->claim(std::move(fault));
    }

    static ExchangeFailure malformed() { return {"The helper sent a malformed message."}; }
    // Why the connection ended, as a walk learns it; stateLock_ is held.
    ExchangeFailure endFault() const {
        if (invalidated_) return {kInvalidated};
        if (ended_) return *ended_;
        return {kInterrupted};
    }

    platform::Fd socket_;
    std::mutex walkMutex_;
    int64_t lastId_ = 0; // under walkMutex_
    mutable std::mutex stateLock_;
    bool invalidated_ = false;
    std::optional<ExchangeFailure> ended_;
    std::shared_ptr<WalkGuard> pending_;
    int64_t pendingId_ = 0;
    std::thread reader_; // last: it starts once everything above is in place
};

PrivilegedScanClient::PrivilegedScanClient(HelperServiceManager& service, PrivilegedScanLog& log,
                                           Options options)
    : service_(service), log_(log), options_(std::move(options)) {}

PrivilegedScanClient::~PrivilegedScanClient() {
    if (connection_) connection_->invalidate();
}

PrivilegedScanStatus PrivilegedScanClient::status() {
    return PrivilegedScanStatus::fromServiceStatus(service_.rawStatus());
}

PrivilegedScanStatus PrivilegedScanClient::registerHelper() {
    const auto registered = service_.registerService();
    if (registered) {
        log_.write(LogLevel::notice, "Registered privileged helper; status is now %s",
                   {serviceStatusText(service_.rawStatus())});
        return status();
    }
    if (registered.error().code == kServiceAlreadyRegistered) return status();
    log_.write(LogLevel::error, "Registering privileged helper failed: %s", {registered.error().description});
    return PrivilegedScanStatus::failed(registered.error().description);
}

PrivilegedScanStatus PrivilegedScanClient::unregisterHelper() {
    std::shared_ptr<HelperConnection> taken;
    {
        std::lock_guard lock(connectionLock_);
        taken = std::exchange(connection_, nullptr);
    }
    if (taken) taken->invalidate();
    const auto unregistered = service_.unregisterService();
    if (unregistered) {
        log_.write(LogLevel::notice, "Unregistered privileged helper", {});
        return status();
    }
    log_.write(LogLevel::error, "Unregistering privileged helper failed: %s",
               {unregistered.error().description});
    return PrivilegedScanStatus::failed(unregistered.error().description);
}

std::shared_ptr<HelperConnection> PrivilegedScanClient::connection(std::string& failure) {
    std::shared_ptr<HelperConnection> stale;
    std::shared_ptr<HelperConnection> made;
    {
        std::lock_guard lock(connectionLock_);
        // A helper that exited since the last walk left a closed socket behind: start afresh.
        if (connection_ && connection_->isStale()) stale = std::exchange(connection_, nullptr);
        if (!connection_) {
            platform::Fd socket(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
            // A busy helper's full backlog is waited for, briefly, rather than failed at once.
            const auto waitMs = std::min<int64_t>(options_.walkLimit.count(), 5000);
            const timeval connectWait{.tv_sec = waitMs / 1000, .tv_usec = (waitMs % 1000) * 1000};
            if (socket) ::setsockopt(socket.get(), SOL_SOCKET, SO_SNDTIMEO, &connectWait, sizeof connectWait);
            sockaddr_un address{};
            address.sun_family = AF_UNIX;
            const std::string& path = options_.socketPath;
            if (!socket) {
                failure = "Couldn't connect to the helper at " + path + ": " + std::strerror(errno) + ".";
            } else if (path.size() >= sizeof address.sun_path) {
                failure =
                    "Couldn't connect to the helper at " + path + ": " + std::strerror(ENAMETOOLONG) + ".";
            } else {
                std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
                if (::connect(socket.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) !=
                    0) {
                    failure = "Couldn't connect to the helper at " + path + ": " + std::strerror(errno) + ".";
                } else {
                    ucred peer{};
                    socklen_t size = sizeof peer;
                    if (::getsockopt(socket.get(), SOL_SOCKET, SO_PEERCRED, &peer, &size) != 0 ||
                        peer.uid != options_.expectedUser) {
                        failure = "The helper at " + path + " is not run by user " +
                                  std::to_string(options_.expectedUser) + ".";
                    } else {
                        ::fcntl(socket.get(), F_SETFL, ::fcntl(socket.get(), F_GETFL) | O_NONBLOCK);
                        connection_ = std::make_shared<HelperConnection>(std::move(socket));
                    }
                }
            }
        }
        made = connection_;
    }
    if (stale) stale->invalidate();
    return made;
}

void PrivilegedScanClient::dropConnection(const std::shared_ptr<HelperConnection>& which) {
    std::shared_ptr<HelperConnection> taken;
    {
        std::lock_guard lock(connectionLock_);
        if (connection_ == which) taken = std::exchange(connection_, nullptr);
    }
    which->invalidate();
}

void PrivilegedScanClient::connectionFailed(const std::string& description) {
    log_.write(LogLevel::error, kConnectionFailed, {description});
}

PrivilegedWalk PrivilegedScanClient::walkSubtree(const std::string& path) {
    try {
        if (service_.rawStatus() != PrivilegedScanStatus::kEnabled) return {};
        if (!isValidUtf8(path)) {
            connectionFailed("The path is not valid UTF-8, so it can't be sent to the helper.");
            return {};
        }
        std::string failure;
        const auto helper = connection(failure);
        if (!helper) {
            connectionFailed(failure);
            return {};
        }
        auto outcome = helper->walk(path, options_.walkLimit);
        if (auto* failed = std::get_if<ExchangeFailure>(&outcome)) {
            dropConnection(helper);
            connectionFailed(failed->description);
            return {.node = std::nullopt, .timedOut = failed->timedOut};
        }
        auto& reply = std::get<HelperReply>(outcome);
        if (reply.error) {
            log_.write(LogLevel::notice, "Helper declined %{public}s: %{public}s", {path, *reply.error});
            return {};
        }
        if (!reply.data) return {};
        const auto bytes = platform::base64Decoded(*reply.data);
        if (!bytes) {
            dropConnection(helper);
            connectionFailed("The helper sent a malformed message.");
            return {};
        }
        auto node = decodePrivilegedNode(*bytes, path);
        if (!node) return {};
        return {.node = std::move(*node)};
    } catch (const std::exception&) {
        // Out of memory on a huge reply is this walk's failure alone.
        return {};
    }
}

} // namespace quillmere
