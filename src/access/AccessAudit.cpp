#include "access/AccessAudit.hpp"

#include <algorithm>
#include <system_error>

namespace quillmere {

AccessAudit assembleAccessAudit(const DiskScanResult& result, const AccessAuditor& auditor) {
    AccessAudit audit;
    try {
        audit.volumeUsedBytes = auditor.volumeUsedBytes();
    } catch (const std::system_error&) {
        // An unreadable capacity shows as nothing hidden rather than as an error.
        audit.volumeUsedBytes = 0;
    }
    audit.accountedBytes = std::max<int64_t>(result.root.allocatedSize(), 0);
    audit.unaccountedBytes = std::max<int64_t>(audit.volumeUsedBytes - audit.accountedBytes, 0);
    audit.topDeniedLocations =
        auditor.topDeniedLocations(result.deniedPaths, audit.unaccountedBytes, kAccessAuditLocationLimit);
    audit.isFullDiskAccessGranted = auditor.isFullDiskAccessGranted();
    return audit;
}

} // namespace quillmere
