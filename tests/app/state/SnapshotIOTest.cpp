#include "app/state/SnapshotIO.hpp"

#include "scan/TreeBuilders.hpp"

#include <QTemporaryDir>
#include <fstream>
#include <gtest/gtest.h>

namespace quillmere {
namespace {

ScanSnapshot snapshotOf(const std::string& uuid) {
    return {.root = testing::folder("/v", {}), .volumeUUID = uuid, .volumeName = "Data", .scannedAt = 2};
}

TEST(SnapshotIO, OnlyAValidFileOfTheStartupVolumeLoads) {
    QTemporaryDir dir;
    const std::string path = dir.filePath("last-scan.qlmrsnap").toStdString();
    EXPECT_FALSE(loadStartupSnapshot("U1", path));
    for (const char* bytes : {"", "QLMR garbage"}) {
        std::ofstream(path, std::ios::binary) << bytes;
        EXPECT_FALSE(loadStartupSnapshot("U1", path));
    }
    ASSERT_TRUE(ScanSnapshotStore::save(snapshotOf("U1"), path));
    EXPECT_EQ(loadStartupSnapshot("U1", path)->root.path(), "/v");
    EXPECT_FALSE(loadStartupSnapshot("U2", path));
    EXPECT_FALSE(loadStartupSnapshot(std::nullopt, path));

    // The standard pair goes through the user's data folder (a temporary one under test).
    const std::optional<std::string> startup = ScanSnapshotStore::volumeUUID("/");
    SnapshotIO::standard().save(snapshotOf(startup.value_or("none")));
    EXPECT_EQ(ScanSnapshotStore::load(ScanSnapshotStore::fileURL())->volumeUUID, startup.value_or("none"));
    EXPECT_EQ(SnapshotIO::standard().load().has_value(), startup.has_value());
}

} // namespace
} // namespace quillmere
