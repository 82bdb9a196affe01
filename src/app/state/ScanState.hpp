#pragma once

#include "app/state/SnapshotIO.hpp"
#include "scan/ScanRecords.hpp"
#include "scan/ScanSnapshot.hpp"

#include <QObject>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace quillmere {

// Whether a scan runs, its live progress, its finished result, the stop flag it shares with the
// walk, two event counters and the saved scan.
//
// Notifications: `isScanning`, `rescanToken` and `finishedScanToken` notify only when the value
// changes (an increment always changes it); `cancellation` only when it becomes another object;
// `progress`, `finishedScan` and `savedSnapshot` are records and notify on every write. An
// operation writes all its fields before it emits anything. Lives on the main thread.
class ScanState : public QObject {
    Q_OBJECT
public:
    explicit ScanState(std::optional<ScanSnapshot> savedSnapshot = std::nullopt,
                       SnapshotIO io = SnapshotIO::standard(), QObject* parent = nullptr);

    // Waits until no read or write of the saved scan is queued or running, at most `msecs`
    // (-1: as long as it takes); false when time ran out.
    static bool waitForSnapshotWork(int msecs = -1);

    bool isScanning() const { return isScanning_; }
    const std::optional<ScanProgress>& progress() const { return progress_; }
    const std::optional<DiskScanResult>& finishedScan() const { return finishedScan_; }
    const std::shared_ptr<ScanCancellation>& cancellation() const { return cancellation_; }
    int64_t rescanToken() const { return rescanToken_; }
    int64_t finishedScanToken() const { return finishedScanToken_; }
    const std::optional<ScanSnapshot>& savedSnapshot() const { return savedSnapshot_; }

    void setIsScanning(bool scanning);
    // The scan driver writes each progress event it applies here.
    void setProgress(std::optional<ScanProgress> progress);
    void setFinishedScan(std::optional<DiskScanResult> result);
    void setCancellation(std::shared_ptr<ScanCancellation> cancellation);
    void setRescanToken(int64_t token);
    void setSavedSnapshot(std::optional<ScanSnapshot> snapshot);

    // Prepares a new scan: a fresh, unflagged stop flag (the previous one is left as it is),
    // no progress and no result, and a new `rescanToken`, which is what starts the walk.
    void requestScan();
    // Shows `result`. With a volume UUID (an empty text counts as none) the result also becomes
    // the saved snapshot and is written on a worker thread; without one nothing is saved.
    void finishScan(DiskScanResult result, const std::optional<std::string>& volumeUUID,
                    const std::string& volumeName);
    void discardScan();
    // After a deletion: the finished result with a new tree. Nothing is written to disk.
    void replaceRoot(const FileNode& newRoot);

    // Reads the saved scan on a worker thread, then, on this object's thread, stores it unless a
    // saved snapshot or a finished scan has appeared meanwhile (a nothing read is stored too).
    // The caller waits through `done`, which runs on this object's thread right after that
    // decision, whatever it was; it does not run when this object was destroyed first.
    void loadSavedSnapshot(std::function<void()> done = {});

signals:
    void isScanningChanged();
    void progressChanged();
    void finishedScanChanged();
    void cancellationChanged();
    void rescanTokenChanged();
    void finishedScanTokenChanged();
    void savedSnapshotChanged();

private:
    void storeLoadedSnapshot(std::optional<ScanSnapshot> loaded);

    bool isScanning_ = false;
    std::optional<ScanProgress> progress_;
    std::optional<DiskScanResult> finishedScan_;
    std::shared_ptr<ScanCancellation> cancellation_;
    int64_t rescanToken_ = 0;
    int64_t finishedScanToken_ = 0;
    std::optional<ScanSnapshot> savedSnapshot_;
    SnapshotIO io_;
};

} // namespace quillmere
