#pragma once

#include "access/HelperServiceManager.hpp"
#include "access/PrivilegedScanLog.hpp"
#include "access/PrivilegedScanning.hpp"

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <sys/types.h>

namespace quillmere {

class HelperConnection;

// The application's one link to the privileged helper: registers it with the service
// manager, keeps one lazily made connection to its socket, and turns each walk into one
// answer. Every failure of a walk is logged and yields nothing.
class PrivilegedScanClient final : public PrivilegedScanning {
public:
    struct Options {
        std::string socketPath;
        uid_t expectedUser = 0; // the helper must run as this user
        std::chrono::milliseconds walkLimit{120'000};
        // The capacity of the volume holding a folder, which no size in its walked tree can
        // exceed; nothing when it cannot be read (then no size is refused for it).
        std::function<std::optional<int64_t>(const std::string& folder)> volumeCapacity = readVolumeCapacity;
    };
    // statvfs of the folder, given the time a file system has to answer.
    static std::optional<int64_t> readVolumeCapacity(const std::string& folder);
    PrivilegedScanClient(HelperServiceManager& service, PrivilegedScanLog& log, Options options);
    ~PrivilegedScanClient() override;

    // Blocks while the service manager registers the helper.
    PrivilegedScanStatus registerHelper();
    // Drops the connection first, so an outstanding walk ends with nothing. Blocks.
    PrivilegedScanStatus unregisterHelper();
    PrivilegedScanStatus status();

    PrivilegedWalk walkSubtree(const std::string& path) override;

    HelperServiceManager& service() { return service_; }

private:
    std::shared_ptr<HelperConnection> connection(std::string& failure);
    void dropConnection(const std::shared_ptr<HelperConnection>& which);
    void connectionFailed(const std::string& description);

    HelperServiceManager& service_;
    PrivilegedScanLog& log_;
    Options options_;
    std::mutex connectionLock_;
    std::shared_ptr<HelperConnection> connection_;
};

} // namespace quillmere
