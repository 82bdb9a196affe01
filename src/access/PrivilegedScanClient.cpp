#include "access/PrivilegedScanClient.hpp"

#include "access/HelperConnection.hpp"
#include "base/Unicode.hpp"
#include "platform/Bounded.hpp"
#include "platform/DiskUsage.hpp"
#include "platform/Fd.hpp"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <sys/un.h>
#include <variant>

namespace quillmere {

namespace {
constexpr const char* kConnectionFailed = "Privileged helper connection failed: %s";
} // namespace

PrivilegedScanClient::PrivilegedScanClient(HelperServiceManager& service, PrivilegedScanLog& log,
                                           Options options)
    : service_(service), log_(log), options_(std::move(options)) {}

PrivilegedScanClient::~PrivilegedScanClient() {
    if (connection_) connection_->invalidate();
}

std::optional<int64_t> PrivilegedScanClient::readVolumeCapacity(const std::string& folder) {
    struct statvfs info {};
    if (platform::statVfsWithin(folder.c_str(), &info, platform::kFileSystemAnswerLimit) != 0)
        return std::nullopt;
    const uint64_t blockSize = info.f_frsize ? info.f_frsize : info.f_bsize;
    if (blockSize == 0 || info.f_blocks == 0) return std::nullopt;
    return platform::blockBytes(info.f_blocks, blockSize);
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
            const auto cannotConnect = [&](int error) {
                failure = "Couldn't connect to the helper at " + path + ": " + std::strerror(error) + ".";
            };
            if (!socket) {
                cannotConnect(errno);
            } else if (path.size() >= sizeof address.sun_path) {
                cannotConnect(ENAMETOOLONG);
            } else {
                std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
                if (::connect(socket.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) !=
                    0) {
                    cannotConnect(errno);
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
        PrivilegedReplyBounds bounds{.askedPath = path};
        if (options_.volumeCapacity)
            if (const auto capacity = options_.volumeCapacity(path)) bounds.maxBytes = *capacity;
        auto outcome = helper->walk(bounds, options_.walkLimit);
        if (auto* failed = std::get_if<ExchangeFailure>(&outcome)) {
            dropConnection(helper);
            connectionFailed(failed->description);
            return {.timedOut = failed->timedOut};
        }
        auto& reply = std::get<HelperReply>(outcome);
        if (reply.error) {
            log_.write(LogLevel::notice, "Helper declined %{public}s: %{public}s", {path, *reply.error});
            return {};
        }
        // A record that does not decode, or totals that do not add up, yield nothing.
        if (!reply.tree) return {};
        return {.tree = std::move(*reply.tree)};
    } catch (const std::exception&) {
        // Out of memory on a huge reply is this walk's failure alone.
        return {};
    }
}

} // namespace quillmere
