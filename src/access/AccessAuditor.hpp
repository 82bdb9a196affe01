#pragma once

#include "platform/Mounts.hpp"
#include "scan/ScanRecords.hpp"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quillmere {

// One labelled place the scan could not read, with its share of the unaccounted bytes.
struct AccessAuditLocation {
    std::string label;
    int64_t estimatedBytes = 0;
    int64_t deniedPathCount = 0;

    bool operator==(const AccessAuditLocation&) const = default;
};

// Set when no probe location is given: the path to probe instead of the home folder, so
// that every "not granted" path can be reached on a system that has no such permission.
inline constexpr const char* kFullDiskAccessProbeVariable = "QUILLMERE_FULL_DISK_ACCESS_PROBE";

// Reads what the current user may see of a volume.
class AccessAuditor {
public:
    using StatVfs = std::function<int(const char* path, struct statvfs* info)>;

    // With no probe, the probe is the path named by QUILLMERE_FULL_DISK_ACCESS_PROBE when that
    // is set and not empty, else the home folder itself: Linux has no Full Disk Access
    // permission, and a user who cannot read their own home folder sees nothing worth
    // scanning. The variable is read here, once per auditor. The capacity is read through
    // `host.statVfs`.
    explicit AccessAuditor(std::string volumePath = "/", std::optional<std::string> homeDirectory = {},
                           std::optional<std::string> fullDiskAccessProbePath = {},
                           const platform::MountHost& host = platform::MountHost::system());

    const std::string& volumePath() const { return volumePath_; }
    const std::string& homeDirectory() const { return homeDirectory_; }
    const std::string& fullDiskAccessProbePath() const { return probePath_; }

    // Whether the probe location is readable; asked anew on every call.
    bool isFullDiskAccessGranted() const;

    // The probe of an auditor with every default: the one access test callers use.
    static bool hasFullDiskAccess();

    // Used bytes of the volume as df counts them: (total − free) blocks, the root reserve
    // included. Throws std::system_error: the errno of a failing statvfs, or
    // AccessAuditError::volumeCapacityUnavailable when the volume reports no block size.
    int64_t volumeUsedBytes() const;

    // The label a denied path is shown under: "~", "~/a" or "~/a/b" inside the home folder,
    // "Other users' home folders" in other homes, else "/" and the path's first component.
    static std::string locationLabel(std::string_view path, std::string_view homeDirectory);

    // At most `limit` labelled locations sharing `unaccountedBytes` in proportion to their
    // denied paths' estimates (by path count when every estimate is 0), largest first.
    std::vector<AccessAuditLocation> topDeniedLocations(const std::vector<DeniedPath>& deniedPaths,
                                                        int64_t unaccountedBytes, std::size_t limit) const;

private:
    std::string volumePath_;
    std::string homeDirectory_;
    std::string probePath_;
    StatVfs statVfs_;
};

} // namespace quillmere
