#pragma once

#include "scan/ScanRecords.hpp"

#include <algorithm>
#include <memory>
#include <mutex>
#include <unordered_set>

namespace quillmere {

// Counts what a scan's walkers have sized and turns the counts into progress events,
// one for about every `batchSize` files. Events are yielded under the lock, so they
// leave in the order of their totals.
class ScanAccumulator {
public:
    ScanAccumulator(std::shared_ptr<ScanEventChannel> channel, int batchSize)
        : channel_(std::move(channel)), batchSize_(batchSize < 1 ? 1 : batchSize) {}

    void record(int64_t bytes, int64_t files, const std::string& topLevelName,
                const std::string& currentPath);
    void appendDeniedPaths(std::vector<DeniedPath> paths);
    void appendDeniedPath(DeniedPath path);
    std::vector<DeniedPath> deniedPaths() const;

private:
    mutable std::mutex lock_;
    std::shared_ptr<ScanEventChannel> channel_;
    int batchSize_;
    int64_t bytesScanned_ = 0;
    int64_t filesScanned_ = 0;
    int64_t filesSinceLastEmit_ = 0;
    std::map<std::string, int64_t> topLevelBytes_;
    std::vector<DeniedPath> deniedPaths_;
};

// Who owns shared bytes: the first walker to meet a hard-linked inode or a cloned
// extent counts it; every later sighting is marked shared elsewhere.
class SharingRegistry {
public:
    struct Identity {
        uint64_t device;
        uint64_t inode;
        bool operator==(const Identity&) const = default;
    };
    struct CloneFingerprint {
        uint64_t device;
        int64_t size;
        int64_t physicalOffset;
        bool operator==(const CloneFingerprint&) const = default;
    };

    // True when already seen; otherwise remembers it and answers false.
    bool checkAndInsertIdentity(const Identity& identity);
    bool checkAndInsertClone(const CloneFingerprint& fingerprint);

private:
    struct Hash {
        size_t operator()(const Identity& i) const { return std::hash<uint64_t>()(i.inode * 31 + i.device); }
        size_t operator()(const CloneFingerprint& f) const {
            return std::hash<int64_t>()(f.physicalOffset ^ (f.size << 1) ^
                                        static_cast<int64_t>(f.device << 3));
        }
    };
    std::mutex lock_;
    std::unordered_set<Identity, Hash> identities_;
    std::unordered_set<CloneFingerprint, Hash> clones_;
};

// The child walks one scan may have started and not yet finished.
class ConcurrencyBudget {
public:
    explicit ConcurrencyBudget(int units) : remaining_(units) {}
    bool tryAcquire() {
        std::lock_guard guard(lock_);
        if (remaining_ <= 0) return false;
        --remaining_;
        return true;
    }
    void release() {
        std::lock_guard guard(lock_);
        ++remaining_;
    }
    int remaining() const {
        std::lock_guard guard(lock_);
        return remaining_;
    }
    // max(4 × active processors, 8)
    static int unitsFor(int activeProcessors) { return std::max(4 * activeProcessors, 8); }

private:
    mutable std::mutex lock_;
    int remaining_;
};

} // namespace quillmere
