#include "app/state/ScanState.hpp"

#include <QCoreApplication>
#include <QMetaObject>
#include <QPointer>
#include <QThreadPool>
#include <chrono>

namespace quillmere {

namespace {

// Reads and writes of the saved scan run on a pool of their own, not on Qt's shared one: the
// painter waits for that pool's threads, and writing a large tree takes a second. The
// application waits for this pool as it goes, so a scan finished just before quitting is saved.
QThreadPool& snapshotPool() {
    static QThreadPool* pool = [] {
        auto* made = new QThreadPool;
        qAddPostRoutine([] { snapshotPool().waitForDone(); });
        return made;
    }();
    return *pool;
}

Date now() {
    return std::chrono::duration<double>(std::chrono::system_clock::now().time_since_epoch()).count();
}

} // namespace

bool ScanState::waitForSnapshotWork(int msecs) {
    return snapshotPool().waitForDone(msecs);
}

ScanState::ScanState(std::optional<ScanSnapshot> savedSnapshot, SnapshotIO io, QObject* parent)
    : QObject(parent), cancellation_(std::make_shared<ScanCancellation>()),
      savedSnapshot_(std::move(savedSnapshot)), io_(std::move(io)) {}

void ScanState::setIsScanning(bool scanning) {
    if (isScanning_ == scanning) return;
    isScanning_ = scanning;
    emit isScanningChanged();
}

void ScanState::setProgress(std::optional<ScanProgress> progress) {
    progress_ = std::move(progress);
    emit progressChanged();
}

void ScanState::setFinishedScan(std::optional<DiskScanResult> result) {
    finishedScan_ = std::move(result);
    emit finishedScanChanged();
}

void ScanState::setCancellation(std::shared_ptr<ScanCancellation> cancellation) {
    if (cancellation_ == cancellation) return;
    cancellation_ = std::move(cancellation);
    emit cancellationChanged();
}

void ScanState::setRescanToken(int64_t token) {
    if (rescanToken_ == token) return;
    rescanToken_ = token;
    emit rescanTokenChanged();
}

void ScanState::setSavedSnapshot(std::optional<ScanSnapshot> snapshot) {
    savedSnapshot_ = std::move(snapshot);
    emit savedSnapshotChanged();
}

void ScanState::requestScan() {
    const bool wasScanning = isScanning_;
    cancellation_ = std::make_shared<ScanCancellation>();
    isScanning_ = true;
    progress_.reset();
    finishedScan_.reset();
    ++rescanToken_;
    emit cancellationChanged();
    if (!wasScanning) emit isScanningChanged();
    emit progressChanged();
    emit finishedScanChanged();
    emit rescanTokenChanged();
}

void ScanState::finishScan(DiskScanResult result, const std::optional<std::string>& volumeUUID,
                           const std::string& volumeName) {
    const bool wasScanning = isScanning_;
    std::optional<ScanSnapshot> snapshot;
    if (volumeUUID && !volumeUUID->empty())
        snapshot = ScanSnapshot{
            .root = result.root, .volumeUUID = *volumeUUID, .volumeName = volumeName, .scannedAt = now()};

    isScanning_ = false;
    progress_.reset();
    finishedScan_ = std::move(result);
    ++finishedScanToken_;
    if (snapshot) savedSnapshot_ = snapshot;

    if (wasScanning) emit isScanningChanged();
    emit progressChanged();
    emit finishedScanChanged();
    emit finishedScanTokenChanged();
    if (!snapshot) return;
    emit savedSnapshotChanged();

    // The write works on its own copy and touches no field.
    if (io_.save)
        snapshotPool().start(
            [save = io_.save, snapshot = std::move(*snapshot)]() mutable { save(std::move(snapshot)); });
}

void ScanState::discardScan() {
    const bool wasScanning = isScanning_;
    isScanning_ = false;
    progress_.reset();
    finishedScan_.reset();
    ++finishedScanToken_;
    if (wasScanning) emit isScanningChanged();
    emit progressChanged();
    emit finishedScanChanged();
    emit finishedScanTokenChanged();
}

void ScanState::replaceRoot(const FileNode& newRoot) {
    if (!finishedScan_) return;
    DiskScanResult replaced = *finishedScan_;
    replaced.root = newRoot;
    setFinishedScan(std::move(replaced));
}

void ScanState::loadSavedSnapshot(std::function<void()> done) {
    // The answer travels through a relay that lives until it is delivered, so the worker never
    // posts to an object that may be gone; whether this object still exists is then asked on
    // its own thread.
    auto* relay = new QObject;
    relay->moveToThread(thread());
    snapshotPool().start([relay, self = QPointer<ScanState>(this), load = io_.load,
                          done = std::move(done)]() mutable {
        std::optional<ScanSnapshot> loaded = load ? load() : std::nullopt;
        QMetaObject::invokeMethod(
            relay,
            [relay, self = std::move(self), loaded = std::move(loaded), done = std::move(done)]() mutable {
                relay->deleteLater();
                if (!self) return;
                self->storeLoadedSnapshot(std::move(loaded));
                if (done) done();
            },
            Qt::QueuedConnection);
    });
}

void ScanState::storeLoadedSnapshot(std::optional<ScanSnapshot> loaded) {
    // A scan that finished while the file was read is newer than the file.
    if (savedSnapshot_ || finishedScan_) return;
    setSavedSnapshot(std::move(loaded));
}

} // namespace quillmere
