#include "scan/ScanAccumulator.hpp"

#include "scan/BufferRelease.hpp"
#include "scan/TaskGroup.hpp"

#include <array>

namespace quillmere {

void ScanAccumulator::record(int64_t bytes, int64_t files, const std::string& topLevelName,
                             FunctionRef<std::string()> currentPath) {
    std::lock_guard guard(lock_);
    bytesScanned_ += bytes;
    filesScanned_ += files;
    filesSinceLastEmit_ += files;
    topLevelBytes_[topLevelName] += bytes;
    emitIfDue(currentPath);
}

void ScanAccumulator::recordTopLevel(int64_t bytes,
                                     std::span<const std::pair<std::string_view, int64_t>> leaves,
                                     FunctionRef<std::string()> currentPath) {
    std::lock_guard guard(lock_);
    const auto files = static_cast<int64_t>(leaves.size());
    bytesScanned_ += bytes;
    filesScanned_ += files;
    filesSinceLastEmit_ += files;
    for (const auto& [name, counted] : leaves) {
        if (leafNames_.append(name))
            leafBytes_.push_back(counted);
        else
            topLevelBytes_[std::string(name)] += counted;
    }
    emitIfDue(currentPath);
}

std::map<std::string, int64_t> ScanAccumulator::topLevelTotals() const {
    std::map<std::string, int64_t> totals(topLevelBytes_.begin(), topLevelBytes_.end());
    for (size_t i = 0; i < leafBytes_.size(); ++i)
        totals[std::string(leafNames_.name(i))] += leafBytes_[i];
    return totals;
}

void ScanAccumulator::emitIfDue(FunctionRef<std::string()> currentPath) {
    // Every event copies the top-level map. Once the root holds more entries than
    // kWideRootEntries, events wait for as many files as the map holds, which keeps the
    // copying linear in the files; a root of ordinary width reports every batch.
    const auto entries = static_cast<int64_t>(topLevelBytes_.size() + leafBytes_.size());
    const int64_t interval = entries > kWideRootEntries ? std::max<int64_t>(batchSize_, entries) : batchSize_;
    if (filesSinceLastEmit_ < interval) return;
    filesSinceLastEmit_ = 0;
    if (channel_->isTerminated()) return; // nobody reads: no copy to make
    (void)channel_->yield(ScanProgress{bytesScanned_, filesScanned_, currentPath(), topLevelTotals()});
}

void ScanAccumulator::forgetRootEntries() {
    std::lock_guard guard(lock_);
    topLevelBytes_ = {};
    releaseContents(leafNames_.text);
    releaseContents(leafNames_.starts);
    releaseContents(leafBytes_);
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

bool SharingRegistry::noteLinkedPath(const Identity& identity, std::string path, int64_t bytes) {
    LinkShard& shard = shardOf(identity);
    std::lock_guard guard(shard.lock);
    const auto [found, isNew] = shard.owners.try_emplace(identity);
    if (isNew) {
        found->second = LinkOwner{.path = std::move(path), .bytes = bytes};
        return true;
    }
    if (path < found->second.path) found->second.path = std::move(path);
    return false;
}

void SharingRegistry::noteLinkedBytesCountedElsewhere(const Identity& identity, int64_t bytes) {
    LinkShard& shard = shardOf(identity);
    std::lock_guard guard(shard.lock);
    if (const auto found = shard.owners.find(identity); found != shard.owners.end())
        found->second.countedElsewhere = bytes;
}

std::vector<SharingRegistry::LinkOwner> SharingRegistry::takeLinkOwners() {
    // Each shard's owners have their place in the list, in shard order, and are moved there
    // and freed on a thread of their own: in a tree of many hard links this is tens of
    // milliseconds of scattered reads and frees, after the walk, with every other core idle.
    std::array<size_t, kLinkShards + 1> offsets{};
    for (size_t i = 0; i < kLinkShards; ++i) {
        std::lock_guard guard(linkShards_[i].lock);
        offsets[i + 1] = offsets[i] + linkShards_[i].owners.size();
    }
    std::vector<LinkOwner> owners(offsets[kLinkShards]);
    TaskGroup group;
    for (size_t i = 0; i < kLinkShards; ++i) {
        if (offsets[i + 1] == offsets[i]) continue;
        group.run([this, i, &offsets, &owners] {
            LinkShard& shard = linkShards_[i];
            std::lock_guard guard(shard.lock);
            size_t next = offsets[i];
            for (auto& [identity, owner] : shard.owners)
                owners[next++] = std::move(owner);
            shard.owners.clear();
        });
    }
    group.wait();
    return owners;
}

int64_t SharingRegistry::bytesCountedBefore(uint64_t device,
                                            std::span<const platform::SharedExtent> extents) {
    int64_t counted = 0;
    std::lock_guard guard(extentsLock_);
    for (const platform::SharedExtent& extent : extents)
        if (!extents_.insert({device, extent.physicalOffset, extent.length}).second) counted += extent.length;
    return counted;
}

} // namespace quillmere
