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
    audit.accountedBytes = accountedBytes(result);
    audit.unaccountedBytes = std::max<int64_t>(audit.volumeUsedBytes - audit.accountedBytes, 0);
    audit.hasDeniedPaths = !result.deniedPaths.empty();
    audit.deniedBytes = bytesHiddenByPermissions(result, audit.volumeUsedBytes);
    audit.topDeniedLocations =
        auditor.topDeniedLocations(result.deniedPaths, audit.deniedBytes, kAccessAuditLocationLimit);
    audit.isFullDiskAccessGranted = auditor.isFullDiskAccessGranted();
    return audit;
}

} // namespace quillmere
