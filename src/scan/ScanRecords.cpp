#include "scan/ScanRecords.hpp"

#include "base/Saturating.hpp"

#include <algorithm>

namespace quillmere {

int64_t accountedBytes(const DiskScanResult& result) {
    return saturatingAdd(std::max<int64_t>(result.root.allocatedSize(), 0),
                         std::max<int64_t>(result.folderBytes, 0));
}

int64_t bytesHiddenByPermissions(int64_t volumeUsedBytes, int64_t accountedBytes,
                                 const std::vector<DeniedPath>& deniedPaths, bool isComplete) {
    if (deniedPaths.empty()) return 0;
    if (!isComplete) {
        int64_t estimates = 0;
        for (const DeniedPath& denied : deniedPaths)
            estimates = saturatingAdd(estimates, std::max<int64_t>(denied.estimatedBytes, 0));
        return estimates;
    }
    return std::max<int64_t>(volumeUsedBytes - accountedBytes, 0);
}

int64_t bytesHiddenByPermissions(const DiskScanResult& result, int64_t volumeUsedBytes) {
    return bytesHiddenByPermissions(volumeUsedBytes, accountedBytes(result), result.deniedPaths,
                                    result.isComplete);
}

bool ScanEventChannel::yield(ScanEvent event) {
    bool wakes = true;
    {
        std::lock_guard guard(lock_);
        if (terminated_ || finished_) return false;
        const bool progress = std::holds_alternative<ScanProgress>(event);
        const bool supersedes =
            progress && queue_.size() >= kCapacity && std::holds_alternative<ScanProgress>(queue_.back());
        if (supersedes)
            queue_.back() = std::move(event);
        else
            queue_.push_back(std::move(event));
        if (progress) {
            const auto now = std::chrono::steady_clock::now();
            wakes = now - lastProgressWake_ >= kProgressWakeInterval;
            if (wakes) lastProgressWake_ = now;
        }
    }
    if (wakes) ready_.notify_one();
    return true;
}

void ScanEventChannel::finish() {
    {
        std::lock_guard guard(lock_);
        finished_ = true;
    }
    ready_.notify_all();
}

bool ScanEventChannel::isTerminated() const {
    std::lock_guard guard(lock_);
    return terminated_;
}

std::optional<ScanEvent> ScanEventChannel::next() {
    std::unique_lock guard(lock_);
    // Progress left unannounced is found when the interval runs out, so a walk slowed on a
    // stalled disk still shows how far it got.
    while (queue_.empty() && !finished_ && !terminated_)
        ready_.wait_for(guard, kProgressWakeInterval);
    if (queue_.empty()) return std::nullopt;
    ScanEvent event = std::move(queue_.front());
    queue_.pop_front();
    return event;
}

void ScanEventChannel::terminate() {
    {
        std::lock_guard guard(lock_);
        terminated_ = true;
        queue_.clear();
    }
    ready_.notify_all();
}

} // namespace quillmere
