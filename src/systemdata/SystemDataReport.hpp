#pragma once

#include "systemdata/SystemDataReclaimAction.hpp"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace quillmere {

// One named share of the volume's used space.
struct SystemDataCategory {
    std::string id; // stable kebab-case key; also the key of its tile style
    std::string name;
    int64_t sizeBytes = 0;
    std::string explanation;
    bool isReclaimable = false;
    std::optional<std::string> reclaimabilityReason; // absent when it is offered
    std::string mechanism;                           // how the figure was measured
    std::optional<SystemDataReclaimAction> reclaimAction;
    int64_t deniedBytesEstimate = 0;

    bool operator==(const SystemDataCategory&) const = default;
};

// The breakdown of a volume's used bytes: always nine categories (the eight probed ones in
// their fixed order, then "denied-by-permissions") and the "cant-be-attributed" remainder.
struct SystemDataReport {
    int64_t volumeUsedBytes = 0; // 0 when unreadable
    std::vector<SystemDataCategory> categories;
    SystemDataCategory remainder;

    // The categories and the remainder summed, capped at the used bytes.
    int64_t totalBytes() const;

    bool operator==(const SystemDataReport&) const = default;
};

enum class SystemDataProbeError { volumeCapacityUnavailable };

namespace systemdata_ids {
inline constexpr const char* localSnapshots = "apfs-local-snapshots";
inline constexpr const char* timeMachine = "time-machine-local-backups";
inline constexpr const char* deviceBackups = "ios-device-backups";
inline constexpr const char* derivedData = "xcode-derived-data";
inline constexpr const char* userCaches = "user-caches";
inline constexpr const char* systemCaches = "system-caches";
inline constexpr const char* mailDownloads = "mail-downloads";
inline constexpr const char* cloudContent = "cached-icloud-content";
inline constexpr const char* denied = "denied-by-permissions";
inline constexpr const char* remainder = "cant-be-attributed";
} // namespace systemdata_ids

} // namespace quillmere
