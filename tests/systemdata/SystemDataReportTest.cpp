#include "SystemDataTestSupport.hpp"
#include "support/Eventually.hpp"
#include "systemdata/SystemDataRun.hpp"
#include "systemdata/SystemDataTexts.hpp"

#include <condition_variable>
#include <gtest/gtest.h>
#include <mutex>

namespace quillmere {
namespace {

namespace text = systemdata_text;

SystemDataCategory category(const std::string& id, int64_t size, int64_t denied = 0) {
    SystemDataCategory c;
    c.id = id;
    c.name = id;
    c.sizeBytes = size;
    c.deniedBytesEstimate = denied;
    return c;
}

std::vector<SystemDataCategory> eight(std::vector<int64_t> sizes, std::vector<int64_t> denied = {}) {
    std::vector<SystemDataCategory> out;
    for (size_t i = 0; i < 8; ++i)
        out.push_back(category("c" + std::to_string(i), i < sizes.size() ? sizes[i] : 0,
                               i < denied.size() ? denied[i] : 0));
    return out;
}

TEST(SystemDataReportTest, WithoutAScanTheNamedSumIsAttributedAndTheRemainderIsProvisional) {
    const SystemDataReport report =
        SystemDataProbe::assemble(eight({100, 200}, {0, 0, 50}), std::nullopt, 1000);
    ASSERT_EQ(report.categories.size(), 9u);
    EXPECT_EQ(report.categories[8].id, "denied-by-permissions");
    EXPECT_EQ(report.categories[8].sizeBytes, 50);
    EXPECT_EQ(report.remainder.id, "cant-be-attributed");
    EXPECT_EQ(report.remainder.sizeBytes, 1000 - 300 - 50);
    EXPECT_EQ(report.remainder.explanation, text::remainderExplanation(false));
    EXPECT_EQ(report.remainder.mechanism, text::remainderMechanism(false));
    EXPECT_TRUE(report.remainder.explanation.starts_with("Provisional:"));
    EXPECT_EQ(report.volumeUsedBytes, 1000);
    EXPECT_EQ(report.totalBytes(), 1000);
}

TEST(SystemDataReportTest, TheLargerOfScanTotalAndNamedSumIsAttributed) {
    // A scan total below the named sum: the named sum counts.
    EXPECT_EQ(SystemDataProbe::assemble(eight({500}), 100, 1000).remainder.sizeBytes, 500);
    const SystemDataReport report = SystemDataProbe::assemble(eight({500}), 800, 1000);
    EXPECT_EQ(report.remainder.sizeBytes, 200);
    EXPECT_EQ(report.remainder.explanation, text::remainderExplanation(true));
    EXPECT_EQ(report.remainder.mechanism, text::remainderMechanism(true));
}

TEST(SystemDataReportTest, DeniedTakesAtMostTheUnexplainedBytes) {
    // Used below the attributed bytes: both derived rows are 0 whatever the estimates.
    SystemDataReport report = SystemDataProbe::assemble(eight({500}, {0, 300}), 900, 800);
    EXPECT_EQ(report.categories[8].sizeBytes, 0);
    EXPECT_EQ(report.categories[8].explanation, "Nothing was denied by a permission error this run.");
    EXPECT_EQ(report.remainder.sizeBytes, 0);
    // Estimates larger than the unexplained bytes: the denied row takes them all.
    report = SystemDataProbe::assemble(eight({500}, {0, 300}), 900, 1000);
    EXPECT_EQ(report.categories[8].sizeBytes, 100);
    EXPECT_EQ(report.categories[8].explanation, text::deniedExplanation(1, false));
    EXPECT_EQ(report.remainder.sizeBytes, 0);
    // The derived rows carry no estimate of their own.
    int64_t estimates = 0;
    for (const SystemDataCategory& c : report.categories)
        estimates += c.deniedBytesEstimate;
    EXPECT_EQ(estimates, 300);
    EXPECT_EQ(report.remainder.deniedBytesEstimate, 0);
    EXPECT_FALSE(report.categories[8].isReclaimable);
    EXPECT_FALSE(report.remainder.isReclaimable);
    EXPECT_FALSE(report.remainder.reclaimAction.has_value());
}

TEST(SystemDataReportTest, TheProbeCountsTheScansFoldersAndBlamesOnlyDeniedPaths) {
    testing::ProbeFixture fixture;
    const SystemDataProbe probe(fixture.locations(), fixture.services());
    const FolderPath root = FolderPath::root("/");
    DiskScanResult scan{
        FileNode::folder(root, "/", std::nullopt,
                         {FileNode::under(root, "f", NodeFields{.allocatedSize = 600, .fileCount = 1})}),
        {}};
    scan.folderBytes = 300;
    const auto reportFor = [&](const DiskScanResult& result) {
        const SystemDataProbeInput input =
            probeInputFor(result, "/", [](const std::string&) { return std::optional<uint64_t>(1); });
        return probe.probe(input.scanTotalBytes, 1000, input.scanRoot, input.deniedPaths,
                           input.scanIsComplete);
    };
    // Nothing denied: the folders' blocks are accounted for and the rest is unattributed.
    SystemDataReport report = reportFor(scan);
    EXPECT_EQ(report.categories[8].sizeBytes, 0);
    EXPECT_EQ(report.remainder.sizeBytes, 100);
    // A denied path: everything unaccounted is behind it.
    scan.deniedPaths = {DeniedPath{"/secret", "/", 8}};
    report = reportFor(scan);
    EXPECT_EQ(report.categories[8].sizeBytes, 100);
    EXPECT_EQ(report.categories[8].sizeBytes, bytesHiddenByPermissions(scan, 1000));
    EXPECT_EQ(report.categories[8].explanation, text::deniedExplanation(100, true));
    EXPECT_EQ(report.remainder.sizeBytes, 0);
    // A stopped scan claims only the denied path's own blocks; what it never reached is unattributed.
    scan.isComplete = false;
    report = reportFor(scan);
    EXPECT_EQ(report.categories[8].sizeBytes, 8);
    EXPECT_EQ(report.remainder.sizeBytes, 92);
}

TEST(SystemDataReportTest, TheTotalIsCappedAtTheUsedBytes) {
    SystemDataReport report = SystemDataProbe::assemble(eight({700, 700}), std::nullopt, 1000);
    EXPECT_EQ(report.totalBytes(), 1000);
    // Capacity unreadable: used 0 makes the total 0 while the categories keep their sizes.
    report = SystemDataProbe::assemble(eight({700, 700}, {5}), std::nullopt, 0);
    EXPECT_EQ(report.totalBytes(), 0);
    EXPECT_EQ(report.categories[0].sizeBytes, 700);
    EXPECT_EQ(report.categories[8].sizeBytes, 0);
}

TEST(SystemDataReportTest, ConcurrentProbesComeBackInTableOrderAndAFailingOneKeepsItsRow) {
    // Each probe waits until all eight have started, which they only can side by side, then
    // they end in reverse table order, so the order of the result is the table's own.
    std::mutex lock;
    std::condition_variable changed;
    int started = 0;
    int lastEnded = 8;
    bool gaveUp = false;
    std::vector<SystemDataProbe::ProbeTask> table;
    for (int i = 0; i < 8; ++i)
        table.push_back({"id" + std::to_string(i), "name", [&, i] {
                             std::unique_lock guard(lock);
                             ++started;
                             changed.notify_all();
                             const auto arrived = [&] { return started == 8 || gaveUp; };
                             if (!changed.wait_for(guard, testing::kEventuallyLimit, arrived)) gaveUp = true;
                             changed.wait_for(guard, testing::kEventuallyLimit,
                                              [&] { return lastEnded == i + 1 || gaveUp; });
                             lastEnded = i;
                             changed.notify_all();
                             if (i == 5) throw std::bad_alloc();
                             return category("c" + std::to_string(i), i);
                         }});
    const std::vector<SystemDataCategory> result = SystemDataProbe::runConcurrently(table);
    EXPECT_FALSE(gaveUp) << "the probes did not run side by side";
    ASSERT_EQ(result.size(), 8u);
    for (int i = 0; i < 8; ++i)
        EXPECT_EQ(result[i].id, i == 5 ? "id5" : "c" + std::to_string(i));
    EXPECT_EQ(result[5].explanation, text::probeFailed());
    EXPECT_FALSE(result[5].isReclaimable);
}

TEST(SystemDataReportTest, UsedBytesCountReservedBlocksAsFreeAndAGivenFigureSkipsTheCapacityRead) {
    testing::ProbeFixture fixture;
    SystemDataProbeServices services = fixture.services();
    int reads = 0;
    services.statVfs = [&](const char*, struct statvfs* info) {
        ++reads;
        *info = {};
        info->f_frsize = 4096;
        info->f_blocks = 1000;
        info->f_bfree = 300;  // free, reserved blocks included
        info->f_bavail = 250; // what an ordinary user may use
        return 0;
    };
    const SystemDataProbe probe(fixture.locations(), services);
    EXPECT_EQ(probe.volumeUsedBytes(), 700 * 4096);
    reads = 0;
    EXPECT_EQ(probe.probe(std::nullopt, 12345, std::nullopt, {}).volumeUsedBytes, 12345);
    EXPECT_EQ(reads, 0);

    services.statVfs = [](const char*, struct statvfs*) { return -1; };
    const SystemDataProbe failing(fixture.locations(), services);
    EXPECT_EQ(failing.volumeUsedBytes(), std::unexpected(SystemDataProbeError::volumeCapacityUnavailable));
    const SystemDataReport report = failing.probe(5, std::nullopt, std::nullopt, {});
    EXPECT_EQ(report.volumeUsedBytes, 0);
    EXPECT_EQ(report.totalBytes(), 0);
    ASSERT_EQ(report.categories.size(), 9u);
    const std::vector<std::string> ids{"apfs-local-snapshots", "time-machine-local-backups",
                                       "ios-device-backups",   "xcode-derived-data",
                                       "user-caches",          "system-caches",
                                       "mail-downloads",       "cached-icloud-content",
                                       "denied-by-permissions"};
    for (size_t i = 0; i < ids.size(); ++i)
        EXPECT_EQ(report.categories[i].id, ids[i]);
}

TEST(SystemDataRunTest, AnotherVolumesScanIsNotHandedToTheProbe) {
    const FolderPath root = FolderPath::root("/media/stick");
    DiskScanResult scan{
        FileNode::folder(root, "stick", std::nullopt,
                         {FileNode::under(root, "a", NodeFields{.allocatedSize = 700, .fileCount = 1})}),
        {DeniedPath{"/media/stick/x", "/media/stick", 4096}},
        4096,
        1.0};
    const auto devices = [](uint64_t stick) {
        return [stick](const std::string& path) -> std::optional<uint64_t> {
            if (path == "/media/stick") return stick;
            if (path == "/") return 1;
            return std::nullopt;
        };
    };
    SystemDataProbeInput input = probeInputFor(scan, "/", devices(2));
    EXPECT_FALSE(input.scanTotalBytes);
    EXPECT_FALSE(input.scanRoot);
    EXPECT_TRUE(input.deniedPaths.empty());
    input = probeInputFor(scan, "/", devices(1));
    EXPECT_EQ(input.scanTotalBytes, 700);
    ASSERT_TRUE(input.scanRoot);
    EXPECT_EQ(input.deniedPaths.size(), 1u);
}

} // namespace
} // namespace quillmere
