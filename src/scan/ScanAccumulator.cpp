#include "scan/ScanAccumulator.hpp"

namespace quillmere {

void ScanAccumulator::record(int64_t bytes, int64_t files, const std::string& topLevelName,
                             const std::string& currentPath) {
    std::lock_guard guard(lock_);
    bytesScanned_ += bytes;
    filesScanned_ += files;
    filesSinceLastEmit_ += files;
    topLevelBytes_[topLevelName] += bytes;
    // Every event copies the top-level map; waiting for a sixteenth of its size in files
    // between events keeps the copying linear when the root holds hundreds of thousands of
    // entries, and changes nothing for a root of ordinary width.
    const auto interval = std::max<int64_t>(batchSize_, static_cast<int64_t>(topLevelBytes_.size() / 16));
    if (filesSinceLastEmit_ >= interval) {
        filesSinceLastEmit_ = 0;
        (void)channel_->yield(ScanProgress{bytesScanned_, filesScanned_, currentPath, topLevelBytes_});
    }
}

void ScanAccumulator::appendDeniedPaths(std::vector<DeniedPath> paths) {
    std::lock_guard guard(lock_);
    for (DeniedPath& path : paths)
        deniedPaths_.push_back(std::move(path));
}

void ScanAccumulator::appendDeniedPath(DeniedPath path) {
    std::lock_guard guard(lock_);
    deniedPaths_.push_back(std::move(path));
}

std::vector<DeniedPath> ScanAccumulator::deniedPaths() const {
    std::lock_guard guard(lock_);
    return deniedPaths_;
}

bool SharingRegistry::checkAndInsertIdentity(const Identity& identity) {
    std::lock_guard guard(lock_);
    return !identities_.insert(identity).second;
}

int64_t SharingRegistry::bytesCountedBefore(uint64_t device,
                                            std::span<const platform::SharedExtent> extents) {
    int64_t counted = 0;
    std::lock_guard guard(lock_);
    for (const platform::SharedExtent& extent : extents)
        if (!extents_.insert({device, extent.physicalOffset, extent.length}).second) counted += extent.length;
    return counted;
}

} // namespace quillmere
