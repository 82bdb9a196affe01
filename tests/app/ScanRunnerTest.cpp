#include "app/ScanRunner.hpp"

#include "scan/ScanTestSupport.hpp"
#include "support/Eventually.hpp"
#include "support/Gate.hpp"

#include <QCoreApplication>
#include <QEventLoop>
#include <QThread>
#include <QTimer>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>

namespace quillmere {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

TEST(ProgressThrottle, AppliesAtMostOneEventPerInterval) {
    const auto t0 = ProgressThrottle::Clock::time_point{};
    ProgressThrottle throttle(t0);
    std::vector<int> applied;
    for (int ms : {150, 210, 360, 420, 570})
        if (throttle.admit(t0 + std::chrono::milliseconds(ms))) applied.push_back(ms);
    EXPECT_EQ(applied, (std::vector<int>{210, 420}));
    ProgressThrottle exact(t0);
    EXPECT_TRUE(exact.admit(t0 + 200ms));
}

// A temporary folder of this process holding `count` one-byte files in folders "sub0", "sub1",
// … of 1,000 each: a folder that size is walked by one walker, whose progress comes in whole
// batches, so the last progress a scan gives counts every file.
fs::path folderOfFiles(const std::string& prefix, int count) {
    const fs::path dir = fs::temp_directory_path() / (prefix + std::to_string(::getpid()));
    for (int i = 0; i < count; ++i) {
        const fs::path sub = dir / ("sub" + std::to_string(i / 1000));
        if (i % 1000 == 0) fs::create_directories(sub);
        std::ofstream(sub / ("f" + std::to_string(i))) << "x";
    }
    return dir;
}

// Runs the event loop until the runner's current run ends or the time is up.
bool waitForEnd(ScanRunner& runner, bool* sawFinished) {
    QEventLoop loop;
    QObject::connect(&runner, &ScanRunner::ended, &loop, [&](bool finished) {
        *sawFinished = finished;
        loop.quit();
    });
    QTimer::singleShot(30000, &loop, &QEventLoop::quit);
    loop.exec();
    return !runner.isRunning();
}

TEST(ScanRunner, DeliversEventsInOrderOnItsThreadAndEndsOnce) {
    const fs::path dir = folderOfFiles("quillmere-runner-", 450);

    ScanRunner runner;
    std::vector<int64_t> files;
    int finishedCount = 0;
    int64_t finalFiles = 0;
    QObject::connect(&runner, &ScanRunner::progress, [&](const ScanProgress& p) {
        EXPECT_EQ(QThread::currentThread(), QCoreApplication::instance()->thread());
        EXPECT_EQ(finishedCount, 0);
        files.push_back(p.filesScanned);
    });
    QObject::connect(&runner, &ScanRunner::finished, [&](const DiskScanResult& r) {
        ++finishedCount;
        finalFiles = r.root.fileCount();
    });
    runner.start(dir.string(), std::make_shared<ScanCancellation>(), true, "/nonexistent-home");
    bool sawFinished = false;
    ASSERT_TRUE(waitForEnd(runner, &sawFinished));
    EXPECT_TRUE(sawFinished);
    EXPECT_EQ(finishedCount, 1);
    EXPECT_EQ(finalFiles, 450);
    EXPECT_TRUE(std::is_sorted(files.begin(), files.end()));
    // One event per 200 files, those that arrive while one waits for the main thread coalesced.
    EXPECT_GE(files.size(), 1u);
    EXPECT_LE(files.size(), 2u);
    EXPECT_EQ(files.back(), 400);

    runner.start((dir / "missing").string(), nullptr, true, "/nonexistent-home");
    ASSERT_TRUE(waitForEnd(runner, &sawFinished));
    EXPECT_FALSE(sawFinished);
    fs::remove_all(dir);
}

TEST(ScanRunner, ANewRunAbandonsTheOldOne) {
    const fs::path dir = fs::temp_directory_path() / ("quillmere-runner2-" + std::to_string(::getpid()));
    fs::create_directories(dir);
    std::ofstream(dir / "f") << "x";
    ScanRunner runner;
    int finishedCount = 0;
    QObject::connect(&runner, &ScanRunner::finished, [&](const DiskScanResult&) { ++finishedCount; });
    runner.start(dir.string(), nullptr, true, "/h");
    runner.start(dir.string(), nullptr, true, "/h");
    bool sawFinished = false;
    ASSERT_TRUE(waitForEnd(runner, &sawFinished));
    QCoreApplication::processEvents();
    EXPECT_EQ(finishedCount, 1);
    fs::remove_all(dir);
}

// The main thread is busy while a whole scan runs: of its progress only the latest value
// waits for it, and an abandoned run delivers nothing it had already queued.
TEST(ScanRunner, ABusyMainThreadGetsTheLatestProgressOnceAndAnAbandonedRunNothing) {
    const fs::path dir = folderOfFiles("quillmere-runner3-", 2000);

    ScanRunner runner;
    std::vector<int64_t> files;
    int finishedCount = 0;
    QObject::connect(&runner, &ScanRunner::progress,
                     [&](const ScanProgress& p) { files.push_back(p.filesScanned); });
    QObject::connect(&runner, &ScanRunner::finished, [&](const DiskScanResult&) { ++finishedCount; });
    runner.start(dir.string(), nullptr, true, "/nonexistent-home");
    // The main thread turns no events while the whole scan runs and its ten progress events
    // are queued.
    ASSERT_TRUE(testing::eventually([&] { return runner.hasQueuedEverything(); }));
    bool sawFinished = false;
    ASSERT_TRUE(waitForEnd(runner, &sawFinished));
    EXPECT_EQ(files, (std::vector<int64_t>{2000}));
    EXPECT_EQ(finishedCount, 1);

    files.clear();
    finishedCount = 0;
    int endedCount = 0;
    QObject::connect(&runner, &ScanRunner::ended, [&](bool) { ++endedCount; });
    runner.start(dir.string(), nullptr, true, "/nonexistent-home");
    ASSERT_TRUE(testing::eventually([&] { return runner.hasQueuedEverything(); }));
    runner.cancel();
    QCoreApplication::sendPostedEvents(); // all that the run had queued
    EXPECT_TRUE(files.empty());
    EXPECT_EQ(finishedCount, 0);
    EXPECT_EQ(endedCount, 0);
    fs::remove_all(dir);
}

// A walk stuck in the kernel never sees its cancellation: Stop abandons it instead of waiting,
// and what it produces once the file system answers goes nowhere.
TEST(ScanRunner, AStopEndsARunStuckInTheKernelAtOnceWithoutAResult) {
    const fs::path dir = folderOfFiles("quillmere-runner4-", 50);
    fs::create_directories(dir / "stuck");
    // Scans keep their host until their last walker ends, long after this test: it lives on.
    static testing::Gate gate;
    static testing::FakeHost host;
    host.onCall = [](std::string_view, const std::string& name) {
        if (name == "stuck") gate.pass();
    };
    const testing::Gate::OpensAtExit release{gate};
    ScanRunner runner(nullptr, host);
    int finishedCount = 0;
    QObject::connect(&runner, &ScanRunner::finished, [&](const DiskScanResult&) { ++finishedCount; });
    const auto cancellation = std::make_shared<ScanCancellation>();
    runner.start(dir.string(), cancellation, true, "/nonexistent-home");
    ASSERT_TRUE(testing::eventually([] { return gate.waiting() > 0; }));

    runner.stop(cancellation);
    EXPECT_TRUE(cancellation->isCancelled());
    bool sawFinished = true;
    ASSERT_TRUE(waitForEnd(runner, &sawFinished));
    EXPECT_FALSE(sawFinished);
    EXPECT_EQ(finishedCount, 0);

    gate.open();
    ASSERT_TRUE(testing::eventually([] { return gate.waiting() == 0; }));
    for (int i = 0; i < 5; ++i)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    EXPECT_EQ(finishedCount, 0);
    fs::remove_all(dir);
}

// A stop whose walkers do stop is an ordinary end: the partial tree arrives.
TEST(ScanRunner, AStopThatTheWalkersSeeEndsWithTheirPartialTree) {
    const fs::path dir = folderOfFiles("quillmere-runner5-", 300);
    ScanRunner runner;
    std::optional<DiskScanResult> result;
    QObject::connect(&runner, &ScanRunner::finished, [&](const DiskScanResult& r) { result = r; });
    const auto cancellation = std::make_shared<ScanCancellation>();
    runner.start(dir.string(), cancellation, true, "/nonexistent-home");
    runner.stop(cancellation);
    bool sawFinished = false;
    ASSERT_TRUE(waitForEnd(runner, &sawFinished));
    EXPECT_TRUE(sawFinished);
    ASSERT_TRUE(result);
    EXPECT_LE(result->root.fileCount(), 300);
    fs::remove_all(dir);
}

} // namespace
} // namespace quillmere
