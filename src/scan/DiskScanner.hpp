#pragma once

#include "platform/ScanHost.hpp"
#include "scan/ScanRecords.hpp"

#include <memory>
#include <string>

namespace quillmere {

// Walks one folder with many concurrent walkers, sizing every item, and streams
// ScanEvents while it runs. A scanner keeps no per-scan state; many scans may run at once.
class DiskScanner {
public:
    explicit DiskScanner(int progressBatchSize = 200,
                         platform::ScanHost& host = platform::ScanHost::system());

    int progressBatchSize() const { return progressBatchSize_; }

    // Starts a scan of `root` and returns its events at once. Read them from a thread of
    // your own (not from a scan worker, which the scan itself needs). The stream ends after
    // exactly one finished event, or with none when the root cannot be examined.
    [[nodiscard]] ScanEventStream scan(const std::string& root,
                                       std::shared_ptr<ScanCancellation> cancellation, bool hasFullDiskAccess,
                                       const std::string& homeDirectory) const;

    // Runs a scan on the calling thread to its end and returns its result (nothing when the
    // root cannot be examined). Its walks wait for each other by running other work, so
    // this may be called from many concurrent tasks at once, e.g. to size many folders.
    [[nodiscard]] std::optional<DiskScanResult>
    scanToEnd(const std::string& root, bool hasFullDiskAccess, const std::string& homeDirectory,
              std::shared_ptr<ScanCancellation> cancellation = nullptr) const;

    // Starts the task workers that scans walk on, which the first scan would otherwise wait for
    // (a few milliseconds, as the scheduler loads its allocator and starts a thread a processor),
    // and reads the user's digit grouping for the names of aggregates. Returns once they run:
    // for a thread that can spare the wait, early in the process.
    static void startWorkers();

private:
    int progressBatchSize_;
    platform::ScanHost& host_;
};

} // namespace quillmere
