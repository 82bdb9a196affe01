#pragma once

#include "scan/ScanRecords.hpp"
#include "systemdata/SystemDataReport.hpp"

#include <QObject>
#include <atomic>
#include <functional>
#include <memory>
#include <thread>
#include <vector>

namespace quillmere {

// Runs the System Data probe off the main thread, one run per finished scan or reclaim, and
// hands back only the newest run's report: a run that finishes after a later one started is
// dropped. Runs still going when the refresher is destroyed are waited for.
class SystemDataRefresher : public QObject {
    Q_OBJECT
public:
    using Probe = std::function<SystemDataReport(const DiskScanResult&)>;

    explicit SystemDataRefresher(Probe probe, QObject* parent = nullptr);
    ~SystemDataRefresher() override;

    void start(const DiskScanResult& scan);
    bool isRunning() const { return running_ > 0; }

signals:
    // On the main thread.
    void reportReady(const quillmere::SystemDataReport& report);

private:
    struct Run {
        std::thread thread;
        std::shared_ptr<std::atomic<bool>> done;
    };
    void joinFinished();

    Probe probe_;
    uint64_t generation_ = 0;
    int running_ = 0;
    std::vector<Run> runs_;
};

} // namespace quillmere
