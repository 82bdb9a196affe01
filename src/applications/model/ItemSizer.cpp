#include "applications/model/ItemSizer.hpp"

#include "access/AccessAuditor.hpp"
#include "platform/FolderListing.hpp"
#include "scan/DiskScanner.hpp"

namespace quillmere {

namespace {
constexpr int kProgressBatchSize = 200;
}

ItemSizer::ItemSizer(std::string home, platform::ScanHost& host, std::function<bool()> fullDiskAccess)
    : home_(std::move(home)), host_(host), fullDiskAccess_(fullDiskAccess ? std::move(fullDiskAccess) : [] {
          return AccessAuditor::hasFullDiskAccess();
      }) {}

ItemMeasurement ItemSizer::sizeDirectory(const std::string& path,
                                         std::shared_ptr<ScanCancellation> cancellation) const {
    const DiskScanner scanner(kProgressBatchSize, host_);
    const std::optional<DiskScanResult> result =
        scanner.scanToEnd(path, fullDiskAccess_(), home_, std::move(cancellation));
    if (!result) return {};
    return {result->root.allocatedSize(), result->root.cloudOnlyCount()};
}

ItemMeasurement ItemSizer::sizeFile(const std::string& path) const {
    const std::optional<platform::CloudItemStatus> cloud = host_.cloudStatus(path);
    const std::optional<long long> allocated = platform::itemAllocatedBytes(path);
    if (!cloud || !allocated) return {};
    using Downloading = platform::CloudItemStatus::Downloading;
    const bool isLocal = cloud->downloadingStatus == Downloading::current ||
                         cloud->downloadingStatus == Downloading::downloaded;
    if (cloud->isUbiquitousItem && (!isLocal || cloud->isDownloading)) return {0, 1};
    return {*allocated, 0};
}

ItemMeasurement ItemSizer::sizeItem(const std::string& path) const {
    return platform::isDirectoryItem(path) ? sizeDirectory(path) : sizeFile(path);
}

} // namespace quillmere
