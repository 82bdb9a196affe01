#include "SystemDataTestSupport.hpp"
#include "scan/TreeBuilders.hpp"
#include "systemdata/SystemDataTexts.hpp"

#include <gtest/gtest.h>

namespace quillmere {
namespace {

namespace text = systemdata_text;
using testing::allocatedBytes;
using testing::fileText;
using testing::makeFolder;
using testing::ProbeFixture;
using testing::writeFile;
using testing::writeScript;

platform::MountEntry mount(const std::string& point, const std::string& type, const std::string& source) {
    return {0, 0, "/", point, type, source};
}

// ---- Local snapshots

TEST(LocalSnapshotsTest, OnlySnapshottingFileSystemsAreAskedAndAFailedListingIsNotCalledEmpty) {
    ProbeFixture f;
    // ext4: nothing to ask.
    SystemDataCategory c =
        f.probe(f.locations({mount(f.volume, "ext4", "/dev/sda1")})).localSnapshotsCategory();
    EXPECT_EQ(c.explanation, "No local snapshots exist on this volume right now.");
    EXPECT_EQ(c.reclaimabilityReason, "nothing present to reclaim");

    // btrfs with a tool that is missing, then one that fails.
    const auto btrfs = f.locations({mount(f.volume, "btrfs", "/dev/sda2")});
    c = f.probe(btrfs).localSnapshotsCategory();
    EXPECT_EQ(c.explanation,
              "Local snapshots of this volume couldn't be listed, so any space they hold stays in "
              "\"Can't be attributed\".");
    EXPECT_EQ(c.reclaimabilityReason,
              "Could not verify on this machine; treated as unknown rather than assumed empty.");
    writeScript(f.scratch / "tools/btrfs", "echo 'ERROR: permission denied' >&2; exit 1");
    EXPECT_EQ(f.probe(btrfs).localSnapshotsCategory().explanation, text::snapshotsUnlisted());

    // An empty listing that succeeded: none.
    writeScript(f.scratch / "tools/btrfs", "exit 0");
    EXPECT_EQ(f.probe(btrfs).localSnapshotsCategory().explanation, text::noSnapshots());
}

TEST(LocalSnapshotsTest, BtrfsAndZfsNamesAreCountedButNeverSizedOrOffered) {
    ProbeFixture f;
    writeScript(f.scratch / "tools/btrfs",
                "echo \"$@\" > '" + f.scratch / "args" +
                    "'\n"
                    "echo 'ID 257 gen 9 cgen 9 top level 5 otime 2024-01-02 10:00:00 "
                    "path .snapshots/1/Snapshot'\n"
                    "echo ''\n"
                    "echo 'ID 258 gen 12 cgen 12 top level 5 otime 2024-01-03 10:00:00 "
                    "path .snapshots/2/snapshot'");
    SystemDataCategory c =
        f.probe(f.locations({mount(f.volume, "btrfs", "/dev/sda2")})).localSnapshotsCategory();
    EXPECT_EQ(fileText(f.scratch / "args"), "subvolume list -s " + f.volume + "\n");
    EXPECT_EQ(c.sizeBytes, 0);
    EXPECT_FALSE(c.isReclaimable);
    EXPECT_FALSE(c.reclaimAction.has_value());
    EXPECT_EQ(c.explanation, text::snapshotsFound(2, ".snapshots/1/Snapshot", "btrfs subvolume list"));
    EXPECT_TRUE(c.explanation.starts_with("2 local snapshot(s) exist (e.g. \".snapshots/1/Snapshot\")."));
    EXPECT_EQ(c.reclaimabilityReason, "Size is unknown, so nothing can be offered for deletion responsibly.");

    writeScript(f.scratch / "tools/zfs", "echo \"$@\" > '" + f.scratch / "args" +
                                             "'\nprintf 'tank/root@daily-1\\n\\ttank/root@daily-2  \\n'");
    c = f.probe(f.locations({mount(f.volume, "zfs", "tank/root")})).localSnapshotsCategory();
    EXPECT_EQ(fileText(f.scratch / "args"), "list -H -t snapshot -o name -d 1 tank/root\n");
    EXPECT_EQ(c.explanation, text::snapshotsFound(2, "tank/root@daily-1", "zfs list"));
}

// ---- Backup snapshots

TEST(BackupSnapshotsTest, EachListedBackupIsAnItemAndAnUnreadableOneSizesToZero) {
    ProbeFixture f;
    const std::string folder = f.volume + "/timeshift/snapshots";
    writeFile(folder + "/2024-01-01_10-00-00/localhost/etc/a", 9000);
    writeFile(folder + "/2024-02-01_10-00-00/localhost/etc/b", 5000);
    writeFile(folder + "/stray-file", 100);
    f.host.openError["2024-02-01_10-00-00"] = EACCES;
    const SystemDataCategory c = f.probe(f.locations()).timeMachineBackupsCategory(std::nullopt, {});
    const int64_t readable = allocatedBytes(folder + "/2024-01-01_10-00-00/localhost/etc/a");
    EXPECT_EQ(c.sizeBytes, readable);
    EXPECT_TRUE(c.isReclaimable);
    EXPECT_EQ(c.deniedBytesEstimate, allocatedBytes(folder + "/2024-02-01_10-00-00"));
    EXPECT_EQ(c.explanation, text::backupsFound(2, folder));
    const std::string canonical = FileNode::canonicalPath(folder);
    EXPECT_EQ(c.reclaimAction,
              SystemDataReclaimAction::wholeItems(
                  {{canonical + "/2024-01-01_10-00-00", "Timeshift backup — 2024-01-01_10-00-00", readable},
                   {canonical + "/2024-02-01_10-00-00", "Timeshift backup — 2024-02-01_10-00-00", 0}}));
}

TEST(BackupSnapshotsTest, NoBackupsOrOnlyUnreadableOnesAreNotOffered) {
    ProbeFixture f;
    SystemDataCategory c = f.probe(f.locations()).timeMachineBackupsCategory(std::nullopt, {});
    EXPECT_EQ(c.sizeBytes, 0);
    EXPECT_EQ(c.explanation, text::noBackups(f.volume + "/timeshift/snapshots"));
    EXPECT_FALSE(c.reclaimAction.has_value());
    makeFolder(f.volume + "/timeshift/snapshots/one");
    c = f.probe(f.locations()).timeMachineBackupsCategory(std::nullopt, {});
    EXPECT_FALSE(c.isReclaimable);
    EXPECT_EQ(c.reclaimabilityReason, text::backupsUnreadableReason(1));
    EXPECT_FALSE(c.reclaimAction.has_value());
}

// ---- Device backups

void writeInfoPlist(const std::string& path, const std::string& entries) {
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    std::ofstream(path) << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\"><dict>"
                        << entries << "</dict></plist>\n";
}

TEST(DeviceBackupsTest, NamesFollowThePropertyListsPrecedenceAndDatesFallBackToTheFolder) {
    ProbeFixture f;
    const std::string folder = f.home + "/Library/Application Support/MobileSync/Backup";
    writeFile(folder + "/aaa/data", 8000);
    writeInfoPlist(folder + "/aaa/Info.plist",
                   "<key>Device Name</key><string>iPhone</string>"
                   "<key>Display Name</key><string>Ann's iPhone</string>"
                   "<key>Last Backup Date</key><date>2024-03-01T00:00:00Z</date>");
    writeFile(folder + "/bbb/data", 8000);
    writeInfoPlist(folder + "/bbb/Info.plist", "<key>Display Name</key><integer>7</integer>"
                                               "<key>Device Name</key><string>iPad</string>"
                                               "<key>Last Backup Date</key><string>yesterday</string>");
    writeFile(folder + "/ccc/data", 8000);
    std::ofstream(folder + "/ccc/Info.plist") << "bplist00\xd1\x01\x02\xff\xff\xff"; // truncated, hostile
    writeFile(folder + "/ddd/Info.plist", 0);                                        // sizes to 0: no item
    makeFolder(folder + "/eee");
    const SystemDataCategory c = f.probe(f.locations()).deviceBackupsCategory(std::nullopt, {});
    ASSERT_TRUE(c.reclaimAction.has_value());
    const auto& items = std::get<SystemDataReclaimAction::WholeItems>(c.reclaimAction->value).items;
    ASSERT_EQ(items.size(), 3u);
    const auto mtimeDay = [&](const std::string& name) {
        return "day " + std::to_string(testing::lstatOf(folder + "/" + name).st_mtim.tv_sec / 86400);
    };
    EXPECT_EQ(items[0].label, "Ann's iPhone — backed up day 19783"); // 2024-03-01
    EXPECT_EQ(items[1].label, "iPad — backed up " + mtimeDay("bbb"));
    EXPECT_EQ(items[2].label, "ccc — backed up " + mtimeDay("ccc"));
    EXPECT_EQ(items[0].url, FileNode::canonicalPath(folder + "/aaa"));
    EXPECT_EQ(c.explanation, "Local backups of iPhones and iPads made through Finder or iTunes.");
    EXPECT_TRUE(c.isReclaimable);
    EXPECT_EQ(c.sizeBytes, items[0].sizeBytes + items[1].sizeBytes + items[2].sizeBytes);
}

TEST(DeviceBackupsTest, AnUnreadableDateIsAnUnknownDateAndItemlessBytesCarryNoAction) {
    ProbeFixture f;
    const std::string folder =
        FileNode::canonicalPath(f.home + "/Library/Application Support/MobileSync/Backup");
    makeFolder(folder + "/fff");
    // The scan tree holds the backup, so no walk is needed; its date cannot be read.
    const FileNode tree =
        testing::folder(folder, {testing::folder(folder + "/fff", {testing::file(folder + "/fff/x", 4096)})});
    f.host.statError["fff"] = EACCES;
    SystemDataCategory c = f.probe(f.locations()).deviceBackupsCategory(tree, {});
    ASSERT_TRUE(c.reclaimAction.has_value());
    EXPECT_EQ(std::get<SystemDataReclaimAction::WholeItems>(c.reclaimAction->value).items.at(0).label,
              "fff — backed up an unknown date");

    ProbeFixture g;
    const std::string loose = g.home + "/Library/Application Support/MobileSync/Backup/loose-file";
    writeFile(loose, 4096);
    c = g.probe(g.locations()).deviceBackupsCategory(std::nullopt, {});
    EXPECT_EQ(c.sizeBytes, allocatedBytes(loose));
    EXPECT_TRUE(c.isReclaimable);
    EXPECT_FALSE(c.reclaimAction.has_value());

    ProbeFixture h;
    c = h.probe(h.locations()).deviceBackupsCategory(std::nullopt, {});
    EXPECT_EQ(c.explanation, "No iOS device has been backed up to ~/Library/Application "
                             "Support/MobileSync/Backup on this computer.");
    EXPECT_EQ(c.mechanism, "check for ~/Library/Application Support/MobileSync/Backup");
}

TEST(DeviceBackupsTest, DatesAreWrittenInTheLocalesMediumStyle) {
    const std::string text = formatMediumDate(1709294400); // 2024-03-01 12:00 UTC
    EXPECT_NE(text.find("2024"), std::string::npos) << text;
    EXPECT_EQ(text.find(':'), std::string::npos) << text; // no time of day
}

// ---- Caches, build data, mail

TEST(CacheProbesTest, UserCachesWordTheirUnreadableEntriesAndOfferTheFolderContents) {
    ProbeFixture f;
    writeFile(f.home + "/.cache/app/blob", 20000);
    for (const char* locked : {"l1", "l2", "l3"})
        writeFile(f.home + "/.cache/" + std::string(locked) + "/x", 100), f.host.openError[locked] = EACCES;
    SystemDataCategory c = f.probe(f.locations()).userCachesCategory(std::nullopt, {});
    EXPECT_EQ(c.explanation,
              "Things apps keep under ~/.cache so they don't re-download or re-compute. Safe to "
              "remove; apps refill what they actually need. 3 item(s) were unreadable and are not "
              "included.");
    EXPECT_EQ(c.reclaimAction,
              SystemDataReclaimAction::directoryContents(FileNode::canonicalPath(f.home + "/.cache")));
    EXPECT_EQ(c.sizeBytes, allocatedBytes(f.home + "/.cache/app/blob"));
    EXPECT_GT(c.deniedBytesEstimate, 0);
    f.host.openError.clear();
    c = f.probe(f.locations()).userCachesCategory(std::nullopt, {});
    EXPECT_TRUE(c.explanation.ends_with("apps refill what they actually need."));

    ProbeFixture empty;
    c = empty.probe(empty.locations()).userCachesCategory(std::nullopt, {});
    EXPECT_EQ(c.sizeBytes, 0);
    EXPECT_FALSE(c.isReclaimable);
    EXPECT_EQ(c.reclaimabilityReason, "nothing present to reclaim");
    EXPECT_FALSE(c.reclaimAction.has_value());
}

TEST(CacheProbesTest, AMissetCacheVariableNeverMakesTheHomeFolderTheUserCaches) {
    ProbeFixture f;
    writeFile(f.home + "/Documents/thesis", 30000);
    for (const std::string& value : {f.home, f.home + "/", f.volume, std::string("/"), f.home + "/Documents",
                                     f.home + "/.local", std::string("relative/cache")}) {
        const SystemDataLocations table = f.locations({}, {{"XDG_CACHE_HOME", value}});
        EXPECT_EQ(table.userCaches, f.home + "/.cache") << value;
        EXPECT_EQ(table.userCachesDisplay, "~/.cache") << value;
        EXPECT_EQ(f.probe(table).userCachesCategory(std::nullopt, {}).sizeBytes, 0) << value;
    }
    const SystemDataLocations moved = f.locations({}, {{"XDG_CACHE_HOME", f.home + "/.var/cache/"}});
    EXPECT_EQ(moved.userCaches, f.home + "/.var/cache");
    EXPECT_EQ(moved.userCachesDisplay, "~/.var/cache");
    EXPECT_EQ(f.locations({}, {{"XDG_CACHE_HOME", "/srv/cache"}}).userCachesDisplay, "/srv/cache");
    // A protected location is refused too.
    EXPECT_EQ(acceptedCacheVariable("/srv/cache", f.home, {}, [](const std::string&) { return true; }),
              std::nullopt);
}

TEST(CacheProbesTest, SystemCachesAndMailAreNeverOffered) {
    ProbeFixture f;
    writeFile(f.volume + "/var/cache/apt/pkgcache.bin", 50000);
    writeFile(f.volume + "/var/cache/private/x", 50000);
    f.host.openError["private"] = EACCES;
    SystemDataCategory c = f.probe(f.locations()).systemCachesCategory(std::nullopt, {});
    EXPECT_EQ(c.sizeBytes, allocatedBytes(f.volume + "/var/cache/apt/pkgcache.bin"));
    EXPECT_FALSE(c.isReclaimable);
    EXPECT_FALSE(c.reclaimAction.has_value());
    EXPECT_EQ(c.explanation, text::systemCachesExplanation("/var/cache", 1));

    writeFile(f.home + "/.thunderbird/profile/Mail/Inbox", 70000);
    writeFile(f.home + "/.local/share/evolution/mail/local/x", 3000);
    c = f.probe(f.locations()).mailDownloadsCategory(std::nullopt, {});
    EXPECT_EQ(c.sizeBytes, allocatedBytes(f.home + "/.thunderbird/profile/Mail/Inbox") +
                               allocatedBytes(f.home + "/.local/share/evolution/mail/local/x"));
    EXPECT_FALSE(c.isReclaimable);
    EXPECT_EQ(c.explanation, text::mailExplanation(0));
}

TEST(CacheProbesTest, MissingMailFoldersAreNotCalledPrivacyProtected) {
    ProbeFixture f;
    SystemDataCategory c = f.probe(f.locations()).mailDownloadsCategory(std::nullopt, {});
    EXPECT_EQ(c.explanation, "No mail folder exists on this account.");
    EXPECT_EQ(c.reclaimabilityReason, "nothing present to reclaim");
    EXPECT_EQ(c.mechanism, "check for ~/Library/Mail");
    makeFolder(f.home + "/.thunderbird");
    f.host.openError[".thunderbird"] = EACCES;
    c = f.probe(f.locations()).mailDownloadsCategory(std::nullopt, {});
    EXPECT_EQ(c.explanation, text::mailUnlisted());
    EXPECT_EQ(c.sizeBytes, 0);
}

TEST(CacheProbesTest, DerivedDataIsOfferedWholeOnlyWhenPresentAndNonEmpty) {
    ProbeFixture f;
    SystemDataCategory c = f.probe(f.locations()).derivedDataCategory(std::nullopt, {});
    EXPECT_EQ(c.explanation, "No ~/Library/Developer/Xcode/DerivedData folder exists on this account.");
    const std::string folder = f.home + "/Library/Developer/Xcode/DerivedData";
    makeFolder(folder);
    c = f.probe(f.locations()).derivedDataCategory(std::nullopt, {});
    EXPECT_FALSE(c.isReclaimable);
    writeFile(folder + "/App-x/Build/o", 5000);
    c = f.probe(f.locations()).derivedDataCategory(std::nullopt, {});
    EXPECT_EQ(c.reclaimAction, SystemDataReclaimAction::directoryContents(FileNode::canonicalPath(folder)));
}

// ---- Cloud content

TEST(CloudContentTest, OnlyDownloadedCloudFilesAreMeasuredAndCloudOnlyOnesCounted) {
    ProbeFixture f;
    SystemDataCategory c = f.probe(f.locations()).cachedICloudContentCategory();
    EXPECT_EQ(c.explanation, "No cloud drive is set up in ~/Library/Mobile Documents on this computer.");
    const std::string folder = f.home + "/Library/Mobile Documents";
    makeFolder(folder);
    c = f.probe(f.locations()).cachedICloudContentCategory();
    EXPECT_EQ(c.explanation, text::cloudExplanation(0));
    EXPECT_EQ(c.reclaimabilityReason, "nothing present to reclaim");

    using D = platform::CloudItemStatus::Downloading;
    writeFile(folder + "/docs/kept", 9000);
    writeFile(folder + "/docs/current", 3000);
    writeFile(folder + "/docs/away", 9000);
    writeFile(folder + "/docs/unknown", 9000);
    writeFile(folder + "/docs/local", 9000);
    writeFile(folder + "/.hidden", 9000);
    f.host.cloud["kept"] = platform::CloudItemStatus{true, D::downloaded, false};
    f.host.cloud["current"] = platform::CloudItemStatus{true, D::current, false};
    f.host.cloud["away"] = platform::CloudItemStatus{true, D::notDownloaded, false};
    f.host.cloud["unknown"] = platform::CloudItemStatus{true, D::absent, false};
    f.host.cloud[".hidden"] = platform::CloudItemStatus{true, D::downloaded, false};
    c = f.probe(f.locations()).cachedICloudContentCategory();
    EXPECT_EQ(c.sizeBytes, allocatedBytes(folder + "/docs/kept") + allocatedBytes(folder + "/docs/current"));
    EXPECT_EQ(c.explanation, text::cloudExplanation(2));
    const std::string canonical = FileNode::canonicalPath(folder);
    ASSERT_TRUE(c.reclaimAction.has_value());
    auto files = std::get<SystemDataReclaimAction::EvictDownloadedICloudItems>(c.reclaimAction->value).files;
    std::sort(files.begin(), files.end());
    EXPECT_EQ(files, (std::vector<std::string>{canonical + "/docs/current", canonical + "/docs/kept"}));
}

} // namespace
} // namespace quillmere
