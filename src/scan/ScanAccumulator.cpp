#include "scan/ScanAccumulator.hpp"

namespace quillmere {

void ScanAccumulator::record(int64_t bytes, int64_t files, const std::string& topLevelName,
                             const std::string& currentPath) {
    std::lock_guard guard(lock_);
    bytesScanned_ += bytes;
    filesScanned_ += files;
    filesSinceLastEmit_ += files;
    topLevelBytes_[topLevelName] += bytes;
    if (filesSinceLastEmit_ >= batchSize_) {
        filesSinceLastEmit_ = 0;
        channel_->yield(ScanProgress{bytesScanned_, filesScanned_, currentPath, topLevelBytes_});
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

bool SharingRegistry::checkAndInsertClone(const CloneFingerprint& fingerprint) {
    std::lock_guard guard(lock_);
    return !clones_.insert(fingerprint).second;
}

} // namespace quillmere
