#include "app/state/ScanState.hpp"

#include "app/state/SelectionState.hpp"
#include "scan/TreeBuilders.hpp"

#include <QCoreApplication>
#include <QSignalSpy>
#include <QTest>
#include <QThread>
#include <future>
#include <gtest/gtest.h>

namespace quillmere {
namespace {

using testing::folder;

DiskScanResult result(const std::string& path, int64_t size = 7) {
    return {.root = folder(path, {testing::file(path + "/f", size)}),
            .deniedBytesEstimate = 512,
            .elapsedSeconds = 1.5};
}

ScanSnapshot snapshot(const std::string& uuid) {
    return {.root = folder("/s", {}), .volumeUUID = uuid, .volumeName = "Disk", .scannedAt = 1};
}

// The saver's calls, read after the pool has drained; the loader answers when the gate opens.
struct IODouble {
    std::shared_ptr<std::vector<ScanSnapshot>> saved = std::make_shared<std::vector<ScanSnapshot>>();
    std::shared_ptr<std::promise<void>> gate = std::make_shared<std::promise<void>>();
    SnapshotIO io(std::optional<ScanSnapshot> loaded = {}) const {
        return {.save = [saved = saved](ScanSnapshot s) { saved->push_back(std::move(s)); },
                .load =
                    [future = gate->get_future().share(), loaded] {
                        future.wait();
                        return loaded;
                    }};
    }
    std::vector<ScanSnapshot> drained() const {
        ScanState::waitForSnapshotWork();
        return *saved;
    }
};

std::vector<int> counts(const std::vector<QSignalSpy*>& spies) {
    std::vector<int> out;
    for (QSignalSpy* spy : spies)
        out.push_back(int(spy->count()));
    return out;
}

TEST(ScanState, EqualWritesNotifyOnlyForRecordsAndOperationsFollowTheCycle) {
    IODouble io;
    ScanState state(std::nullopt, io.io());
    QSignalSpy scanning(&state, &ScanState::isScanningChanged), progress(&state, &ScanState::progressChanged),
        finished(&state, &ScanState::finishedScanChanged),
        cancellation(&state, &ScanState::cancellationChanged), rescan(&state, &ScanState::rescanTokenChanged),
        token(&state, &ScanState::finishedScanTokenChanged), saved(&state, &ScanState::savedSnapshotChanged);
    const std::vector<QSignalSpy*> all{&scanning, &progress, &finished, &cancellation,
                                       &rescan,   &token,    &saved};
    state.setIsScanning(false);
    state.setCancellation(state.cancellation());
    state.setRescanToken(0);
    state.setProgress(ScanProgress{});
    state.setProgress(ScanProgress{});
    state.setSavedSnapshot(std::nullopt);
    EXPECT_EQ(counts(all), (std::vector{0, 2, 0, 0, 0, 0, 1}));

    const std::shared_ptr<ScanCancellation> first = state.cancellation();
    state.requestScan();
    state.requestScan(); // already scanning: the flag stays quiet, the counter does not
    EXPECT_EQ(counts(all), (std::vector{1, 4, 2, 2, 2, 0, 1}));
    EXPECT_FALSE(first->isCancelled());
    EXPECT_NE(state.cancellation(), first);
    EXPECT_EQ(state.rescanToken(), 2);

    state.finishScan(result("/v"), std::nullopt, "Data");
    state.finishScan(result("/w"), std::string(), "Data");
    EXPECT_FALSE(state.isScanning());
    EXPECT_EQ(state.finishedScan()->root.path(), "/w");
    EXPECT_EQ(state.finishedScanToken(), 2);
    EXPECT_EQ(saved.count(), 1);

    state.discardScan();
    EXPECT_FALSE(state.finishedScan());
    state.replaceRoot(folder("/n", {}));
    EXPECT_FALSE(state.finishedScan());
    EXPECT_EQ(counts(all), (std::vector{2, 7, 5, 2, 2, 3, 1}));
    EXPECT_TRUE(io.drained().empty());
}

TEST(ScanState, FinishWithAVolumeSavesAndReplaceRootTouchesOnlyTheResult) {
    IODouble io;
    ScanState state(snapshot("OLD"), io.io());
    state.cancellation()->cancel(); // a stopped scan is saved like a complete one
    state.finishScan(result("/v"), "U1", "Data");
    ASSERT_EQ(state.savedSnapshot()->volumeUUID, "U1");
    EXPECT_EQ(state.savedSnapshot()->volumeName, "Data");
    EXPECT_GT(state.savedSnapshot()->scannedAt, 1.7e9);

    state.replaceRoot(folder("/v", {}));
    EXPECT_EQ(state.finishedScan()->root.allocatedSize(), 0);
    EXPECT_EQ(state.finishedScan()->deniedBytesEstimate, 512);
    EXPECT_EQ(state.finishedScanToken(), 1);
    EXPECT_EQ(state.savedSnapshot()->root.allocatedSize(), 7);
    const std::vector<ScanSnapshot> saved = io.drained();
    ASSERT_EQ(saved.size(), 1u);
    EXPECT_EQ(saved[0].root.allocatedSize(), 7);
}

bool waitFor(const bool& done) {
    return QTest::qWaitFor([&] { return done; }, 30000);
}

TEST(ScanState, LoadStoresWhatWasReadOnTheObjectsThreadEvenNothing) {
    for (const std::optional<ScanSnapshot>& loaded :
         {std::optional(snapshot("U1")), std::optional<ScanSnapshot>()}) {
        IODouble io;
        ScanState state(std::nullopt, io.io(loaded));
        QThread* storedOn = nullptr;
        QObject::connect(&state, &ScanState::savedSnapshotChanged,
                         [&] { storedOn = QThread::currentThread(); });
        bool done = false;
        state.loadSavedSnapshot([&] { done = true; });
        io.gate->set_value();
        ASSERT_TRUE(waitFor(done));
        EXPECT_EQ(storedOn, state.thread());
        EXPECT_EQ(state.savedSnapshot().has_value(), loaded.has_value());
    }
}

TEST(ScanState, LoadDropsItsValueWhenAScanFinishedMeanwhile) {
    for (const std::optional<std::string>& uuid :
         {std::optional<std::string>(), std::optional<std::string>("NEW")}) {
        IODouble io;
        ScanState state(std::nullopt, io.io(snapshot("U1")));
        bool done = false;
        state.loadSavedSnapshot([&] { done = true; });
        state.finishScan(result("/v"), uuid, "Data");
        QSignalSpy saved(&state, &ScanState::savedSnapshotChanged);
        io.gate->set_value();
        ASSERT_TRUE(waitFor(done));
        EXPECT_EQ(saved.count(), 0);
        EXPECT_EQ(state.savedSnapshot() ? state.savedSnapshot()->volumeUUID : "none", uuid.value_or("none"));
    }

    IODouble io; // an answer for a state already gone is dropped
    bool done = false;
    {
        ScanState(std::nullopt, io.io(snapshot("U1"))).loadSavedSnapshot([&] { done = true; });
    }
    io.gate->set_value();
    // The read has ended and handed its answer over once the pool is idle; it is delivered here.
    ASSERT_TRUE(ScanState::waitForSnapshotWork(30000));
    QCoreApplication::sendPostedEvents();
    EXPECT_FALSE(done);
}

TEST(SelectionState, EveryWriteNotifies) {
    SelectionState selection;
    QSignalSpy changed(&selection, &SelectionState::selectedNodeChanged);
    selection.setSelectedNode(std::nullopt);
    selection.setSelectedNode(folder("/v", {}));
    selection.setSelectedNode(selection.selectedNode());
    EXPECT_EQ(changed.count(), 3);
}

} // namespace
} // namespace quillmere
