#pragma once

#include "scan/FileNode.hpp"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace quillmere {

// A snapshot of a running scan's totals.
struct ScanProgress {
    int64_t bytesScanned = 0;
    int64_t filesScanned = 0;
    std::string currentPath;
    std::map<std::string, int64_t> topLevelTotals;

    bool operator==(const ScanProgress&) const = default;
};

// A location the scan was refused or chose not to read.
struct DeniedPath {
    std::string url;
    std::string parent;
    int64_t estimatedBytes = 0; // the path's own lstat blocks × 512, not what lies inside

    bool operator==(const DeniedPath&) const = default;
};

struct DiskScanResult {
    FileNode root;
    std::vector<DeniedPath> deniedPaths;
    int64_t deniedBytesEstimate = 0;
    double elapsedSeconds = 0;
    // The walked folders' own allocated blocks (the root's included). Every tool counts them as
    // used space; the tree's sizes leave them out, as a folder's size is what lies inside it.
    int64_t folderBytes = 0;
    // False when the scan was stopped before it had walked everything.
    bool isComplete = true;
};

// What a scan accounts for of its volume's used space: its tree and its folders' own blocks.
int64_t accountedBytes(const DiskScanResult& result);

// What a scan can tell permissions hid from it on a volume with `volumeUsedBytes` in use, of
// which it accounted for `accountedBytes`. Nothing when it met no denied path. A complete scan
// blames what it could not account for on the paths it was denied; a stopped one says nothing
// of what it never reached, so only the denied paths' own estimates count.
int64_t bytesHiddenByPermissions(int64_t volumeUsedBytes, int64_t accountedBytes,
                                 const std::vector<DeniedPath>& deniedPaths, bool isComplete);
int64_t bytesHiddenByPermissions(const DiskScanResult& result, int64_t volumeUsedBytes);

// progress(ScanProgress) or finished(DiskScanResult).
using ScanEvent = std::variant<ScanProgress, DiskScanResult>;

// The stop flag shared by one scan and whoever started it. It never goes back.
// Every walker reads it before each item, so reading takes no lock.
class ScanCancellation {
public:
    void cancel() { isCancelled_.store(true, std::memory_order_release); }
    bool isCancelled() const { return isCancelled_.load(std::memory_order_acquire); }

private:
    std::atomic<bool> isCancelled_{false};
};

// A bounded, thread-safe stream of scan events: the scan yields, one consumer reads. A
// consumer that falls behind never makes the scan wait or the queue grow: once `kCapacity`
// events wait, a new progress event replaces the newest waiting one, which it supersedes.
// A finished event is never dropped. When the consumer's handle goes away the stream is
// terminated and later events are dropped; nothing is accepted after finish().
class ScanEventChannel {
public:
    static constexpr size_t kCapacity = 256;
    // A waiting consumer is woken for progress at most this often; results and the end wake it
    // at once. A scan yields progress every few hundred files, thousands of times a second, and
    // waking a thread for each cost the walk as much as a twentieth of its time, for progress
    // that a screen shows five times a second.
    static constexpr std::chrono::milliseconds kProgressWakeInterval{25};

    // Producer side. Returns false when the consumer has gone or the stream has finished.
    [[nodiscard]] bool yield(ScanEvent event);
    void finish();
    [[nodiscard]] bool isTerminated() const;

    // Consumer side: the next event, waiting for it; nothing once the stream has ended.
    [[nodiscard]] std::optional<ScanEvent> next();
    void terminate();

private:
    mutable std::mutex lock_;
    std::condition_variable ready_;
    std::deque<ScanEvent> queue_;
    std::chrono::steady_clock::time_point lastProgressWake_;
    bool finished_ = false;
    bool terminated_ = false;
};

// The consumer's handle on a scan's events. Dropping it terminates the stream.
class ScanEventStream {
public:
    explicit ScanEventStream(std::shared_ptr<ScanEventChannel> channel) : channel_(std::move(channel)) {}
    ScanEventStream(ScanEventStream&&) noexcept = default;
    ScanEventStream& operator=(ScanEventStream&&) noexcept = default;
    ScanEventStream(const ScanEventStream&) = delete;
    ScanEventStream& operator=(const ScanEventStream&) = delete;
    ~ScanEventStream() {
        if (channel_) channel_->terminate();
    }

    [[nodiscard]] std::optional<ScanEvent> next() { return channel_->next(); }

private:
    std::shared_ptr<ScanEventChannel> channel_;
};

} // namespace quillmere
