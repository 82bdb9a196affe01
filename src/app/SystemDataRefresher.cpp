#include "app/SystemDataRefresher.hpp"

#include <QCoreApplication>
#include <QPointer>

namespace quillmere {

SystemDataRefresher::SystemDataRefresher(Probe probe, QObject* parent)
    : QObject(parent), probe_(std::move(probe)) {}

SystemDataRefresher::~SystemDataRefresher() {
    for (Run& run : runs_)
        if (run.thread.joinable()) run.thread.join();
}

void SystemDataRefresher::joinFinished() {
    std::erase_if(runs_, [](Run& run) {
        if (!run.done->load()) return false;
        run.thread.join();
        return true;
    });
}

void SystemDataRefresher::start(const DiskScanResult& scan) {
    if (!probe_) return;
    joinFinished();
    const uint64_t generation = ++generation_;
    ++running_;
    auto done = std::make_shared<std::atomic<bool>>(false);
    QPointer<SystemDataRefresher> self(this);
    // A plain thread: the probe blocks on tools and must not hold a worker of the scan's pool.
    std::thread thread([self, probe = probe_, scan, generation, done] {
        std::optional<SystemDataReport> report;
        try {
            report = probe(scan);
        } catch (...) {
            // The probe never throws; should it, this run simply yields nothing.
        }
        QMetaObject::invokeMethod(
            QCoreApplication::instance(),
            [self, report = std::move(report), generation] {
                if (!self) return;
                --self->running_;
                if (report && generation == self->generation_) emit self->reportReady(*report);
            },
            Qt::QueuedConnection);
        done->store(true);
    });
    runs_.push_back({std::move(thread), std::move(done)});
}

} // namespace quillmere
