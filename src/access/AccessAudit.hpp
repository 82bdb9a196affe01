#pragma once

#include "access/AccessAuditor.hpp"
#include "scan/ScanRecords.hpp"

#include <cstdint>
#include <vector>

namespace quillmere {

// What a finished scan did not see of its volume.
struct AccessAudit {
    int64_t volumeUsedBytes = 0;  // 0 when the volume's capacity can't be read
    int64_t accountedBytes = 0;   // the scanned tree and its folders' own blocks, never negative
    int64_t unaccountedBytes = 0; // used minus accounted, never negative
    std::vector<AccessAuditLocation> topDeniedLocations;
    bool isFullDiskAccessGranted = false;
    // What permissions hid: nothing unless the scan met denied paths (see
    // bytesHiddenByPermissions); the locations share exactly this amount.
    int64_t deniedBytes = 0;
    bool hasDeniedPaths = false;

    bool operator==(const AccessAudit&) const = default;
};

inline constexpr std::size_t kAccessAuditLocationLimit = 5;

// The audit of `result` against the volume, home folder and probe of `auditor`: the caller
// builds the auditor for the volume that was scanned, so a removable disk is measured by its
// own capacity, not by the startup disk's.
AccessAudit assembleAccessAudit(const DiskScanResult& result, const AccessAuditor& auditor);

} // namespace quillmere
