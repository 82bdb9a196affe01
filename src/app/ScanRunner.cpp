#include "app/ScanRunner.hpp"

#include <QMetaObject>
#include <atomic>
#include <thread>

namespace quillmere {

struct ScanRunner::Run {
    std::atomic<bool> abandoned{false};
};

ScanRunner::ScanRunner(QObject* parent) : QObject(parent) {
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

void ScanRunner::start(const std::string& root, std::shared_ptr<ScanCancellation> cancellation,
                       bool hasFullDiskAccess, const std::string& homeDirectory) {
    cancel();
    auto run = std::make_shared<Run>();
    current_ = run;
    running_ = true;
    // The stream is made here so the scan starts at once; the reader thread owns it after.
    auto stream = std::make_shared<ScanEventStream>(
        DiskScanner(200).scan(root, std::move(cancellation), hasFullDiskAccess, homeDirectory));
    // Events travel through a relay that lives until the reader's last event is handled, so
    // the reader never posts to an object that may be gone; the runner is reached only while
    // the run is current, which the main thread alone decides.
    auto* relay = new QObject;
    ScanRunner* runner = this;
    std::thread([relay, runner, run, stream] {
        bool sawFinished = false;
        while (std::optional<ScanEvent> event = stream->next()) {
            if (run->abandoned) break;
            sawFinished = sawFinished || std::holds_alternative<DiskScanResult>(*event);
            QMetaObject::invokeMethod(
                relay,
                [runner, run, event = std::move(*event)] {
                    if (run->abandoned) return;
                    if (const auto* p = std::get_if<ScanProgress>(&event))
                        emit runner->progress(*p);
                    else
                        emit runner->finished(std::get<DiskScanResult>(event));
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
    }).detach();
}

} // namespace quillmere
