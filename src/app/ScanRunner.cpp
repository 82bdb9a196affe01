#include "app/ScanRunner.hpp"

#include <QMetaObject>
#include <QTimer>
#include <atomic>
#include <mutex>
#include <optional>
#include <thread>

namespace quillmere {

struct ScanRunner::Run {
    std::atomic<bool> abandoned{false};
    std::mutex lock;
    std::optional<ScanProgress> latest; // progress not yet handed to the main thread
    bool deliveryQueued = false;
    bool finishedDelivered = false; // main thread only
    std::atomic<bool> allQueued{false};
};

ScanRunner::ScanRunner(QObject* parent, platform::ScanHost& host) : QObject(parent), host_(&host) {
    qRegisterMetaType<ScanProgress>();
    qRegisterMetaType<DiskScanResult>();
}

ScanRunner::~ScanRunner() {
    cancel();
}

void ScanRunner::cancel() {
    if (current_) current_->abandoned = true;
    current_.reset();
    running_ = false;
}

void ScanRunner::stop(const std::shared_ptr<ScanCancellation>& cancellation) {
    if (cancellation) cancellation->cancel();
    if (!current_) return;
    QTimer::singleShot(kStopGrace, this, [this, run = std::weak_ptr<Run>(current_)] {
        const std::shared_ptr<Run> stopped = run.lock();
        // A run that handed in its result ends by itself in a moment, with it.
        if (!stopped || stopped != current_ || stopped->finishedDelivered) return;
        cancel();
        emit ended(false);
    });
}

bool ScanRunner::hasQueuedEverything() const {
    return current_ && current_->allQueued;
}

void ScanRunner::start(const std::string& root, std::shared_ptr<ScanCancellation> cancellation,
                       bool hasFullDiskAccess, const std::string& homeDirectory) {
    cancel();
    auto run = std::make_shared<Run>();
    current_ = run;
    running_ = true;
    // The stream is made here so the scan starts at once; the reader thread owns it after.
    auto stream = std::make_shared<ScanEventStream>(
        DiskScanner(200, *host_).scan(root, std::move(cancellation), hasFullDiskAccess, homeDirectory));
    // Events travel through a relay that lives until the reader's last event is handled, so
    // the reader never posts to an object that may be gone; the runner is reached only while
    // the run is current, which the main thread alone decides.
    auto* relay = new QObject;
    ScanRunner* runner = this;
    std::thread([relay, runner, run, stream] {
        bool sawFinished = false;
        while (std::optional<ScanEvent> event = stream->next()) {
            if (run->abandoned) break;
            if (auto* progress = std::get_if<ScanProgress>(&*event)) {
                {
                    std::lock_guard guard(run->lock);
                    run->latest = std::move(*progress);
                    if (run->deliveryQueued) continue;
                    run->deliveryQueued = true;
                }
                QMetaObject::invokeMethod(
                    relay,
                    [runner, run] {
                        std::optional<ScanProgress> latest;
                        {
                            std::lock_guard guard(run->lock);
                            latest.swap(run->latest);
                            run->deliveryQueued = false;
                        }
                        if (run->abandoned || !latest) return;
                        emit runner->progress(*latest);
                    },
                    Qt::QueuedConnection);
                continue;
            }
            sawFinished = true;
            QMetaObject::invokeMethod(
                relay,
                [runner, run, result = std::get<DiskScanResult>(std::move(*event))] {
                    if (run->abandoned) return;
                    run->finishedDelivered = true;
                    emit runner->finished(result);
                },
                Qt::QueuedConnection);
        }
        QMetaObject::invokeMethod(
            relay,
            [relay, runner, run, sawFinished] {
                relay->deleteLater();
                if (run->abandoned) return;
                runner->running_ = false;
                runner->current_.reset();
                emit runner->ended(sawFinished);
            },
            Qt::QueuedConnection);
        run->allQueued = true;
    }).detach();
}

} // namespace quillmere
