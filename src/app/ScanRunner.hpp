#pragma once

#include "scan/DiskScanner.hpp"

#include <QObject>
#include <chrono>
#include <memory>

namespace quillmere {

// Applies a scan's progress at most once per interval, measured on the monotonic clock from
// a reference taken before the scan starts; a dropped event is never applied later.
class ProgressThrottle {
public:
    using Clock = std::chrono::steady_clock;
    explicit ProgressThrottle(Clock::time_point reference,
                              Clock::duration interval = std::chrono::milliseconds(200))
        : reference_(reference), interval_(interval) {}

    // Whether an event arriving at `now` is applied; an applied event moves the reference.
    bool admit(Clock::time_point now) {
        if (now - reference_ < interval_) return false;
        reference_ = now;
        return true;
    }

private:
    Clock::time_point reference_;
    Clock::duration interval_;
};

// Runs one scan at a time and delivers its events on the thread that owns this object (the
// main thread), in order. Events are read on a thread of our own, never on a scan worker.
// A busy main thread never lets events pile up: progress that arrives while a delivery is
// still queued replaces the waiting value, so at most one progress call is in flight, and
// the finished event always arrives, last. Starting a new run, or cancel(), abandons the
// previous run: its events, even those already queued, are dropped and it ends without
// `ended` (the walk itself stops only through its ScanCancellation).
//
// Stopping never waits for the walk: a walk stuck in the kernel on a file system that stopped
// answering cannot see its cancellation, so a run that has not delivered its result within
// kStopGrace of stop() is abandoned (its threads left to finish on their own, what they
// produce dropped) and ends at once, without a result.
class ScanRunner : public QObject {
    Q_OBJECT
public:
    // `host` must outlive every scan this runner starts.
    explicit ScanRunner(QObject* parent = nullptr, platform::ScanHost& host = platform::ScanHost::system());
    ~ScanRunner() override;

    void start(const std::string& root, std::shared_ptr<ScanCancellation> cancellation,
               bool hasFullDiskAccess, const std::string& homeDirectory);
    void cancel();
    // Sets the run's cancellation; see above.
    void stop(const std::shared_ptr<ScanCancellation>& cancellation);
    bool isRunning() const { return running_; }
    // Whether the current run's reader has queued the last of its events for this thread:
    // what remains arrives through the event loop alone.
    bool hasQueuedEverything() const;

    static constexpr std::chrono::milliseconds kStopGrace{600};

signals:
    void progress(const quillmere::ScanProgress& progress);
    void finished(const quillmere::DiskScanResult& result);
    // The stream of the current run ended; `sawFinished` is false when it ended without a
    // result (the root could not be examined, or the run was abandoned after a stop).
    void ended(bool sawFinished);

private:
    struct Run;
    platform::ScanHost* host_;
    std::shared_ptr<Run> current_;
    bool running_ = false;
};

} // namespace quillmere

Q_DECLARE_METATYPE(quillmere::ScanProgress)
Q_DECLARE_METATYPE(quillmere::DiskScanResult)
