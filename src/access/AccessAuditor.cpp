#include "access/AccessAuditor.hpp"

#include "platform/HostSystem.hpp"

namespace quillmere {

AccessAuditor::AccessAuditor(std::string volumePath, std::string homeDirectory,
                             std::string fullDiskAccessProbePath)
    : volumePath_(std::move(volumePath)), homeDirectory_(std::move(homeDirectory)),
      probePath_(fullDiskAccessProbePath.empty() ? homeDirectory_ : std::move(fullDiskAccessProbePath)) {}

bool AccessAuditor::isFullDiskAccessGranted() const {
    return platform::isReadableFile(probePath_);
}

bool AccessAuditor::hasFullDiskAccess() {
    return AccessAuditor("/", platform::homeDirectory()).isFullDiskAccessGranted();
}

} // namespace quillmere
