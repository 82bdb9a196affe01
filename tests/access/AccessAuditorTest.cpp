#include "access/AccessAuditor.hpp"

#include "access/AccessAudit.hpp"
#include "access/AccessAuditError.hpp"
#include "scan/ScanTestSupport.hpp"

#include <cstdio>
#include <cstdlib>
#include <gtest/gtest.h>
#include <limits>

namespace quillmere {
namespace {

using testing::ScratchFolder;

// ---- labels ----

TEST(AccessAuditLabels, NameTheHomeFolderOtherHomesAndTopLevelFolders) {
    const auto label = [](std::string_view path) { return AccessAuditor::locationLabel(path, "/Users/ann"); };
    EXPECT_EQ(label("/Users/ann"), "~");
    EXPECT_EQ(label("/Users/ann/Pictures"), "~/Pictures");
    EXPECT_EQ(label("/Users/ann/Library/Mail/V10/x"), "~/Library/Mail");
    EXPECT_EQ(label("/Users/ann//Library/"), "~/Library");
    EXPECT_EQ(label("/Users/bob/Desktop"), "Other users' home folders");
    EXPECT_EQ(label("/Users/annex/x"), "Other users' home folders");
    EXPECT_EQ(label("/Users"), "/Users");
    EXPECT_EQ(label("/private/var/db/x"), "/private");
    EXPECT_EQ(label("/"), "/");
    EXPECT_EQ(label("/Library/Caches/x"), "/Library");
}

TEST(AccessAuditLabels, TakeLinuxHomesAndANormalisedHome) {
    const auto label = [](std::string_view path, std::string_view home = "/home/ann") {
        return AccessAuditor::locationLabel(path, home);
    };
    EXPECT_EQ(label("/home/bob/x"), "Other users' home folders");
    EXPECT_EQ(label("/home/annex"), "Other users' home folders");
    EXPECT_EQ(label("/home"), "/home");
    EXPECT_EQ(label("/root"), "/root");
    EXPECT_EQ(label("/root/.cache/x"), "/root");
    EXPECT_EQ(label("/home/ann/.cache/thumbnails/large", "/home/ann/"), "~/.cache/thumbnails");
    EXPECT_EQ(label("/home/ann", "/home//ann/"), "~");
    EXPECT_EQ(label("/home/ann/", "/home/ann"), "~");
}

// ---- shares ----

DeniedPath denied(std::string url, int64_t bytes) {
    return DeniedPath{.url = std::move(url), .parent = "/", .estimatedBytes = bytes};
}

std::vector<AccessAuditLocation> top(const std::vector<DeniedPath>& paths, int64_t unaccounted,
                                     std::size_t limit = 5) {
    return AccessAuditor("/", "/home/ann", "/").topDeniedLocations(paths, unaccounted, limit);
}

TEST(AccessAuditShares, SplitTheUnaccountedBytesByEstimate) {
    EXPECT_EQ(top({denied("/a/x", 300), denied("/b", 100)}, 1000),
              (std::vector<AccessAuditLocation>{{"/a", 750, 1}, {"/b", 250, 1}}));
    // Truncation leaves the total short: 6 + 3 of 10.
    EXPECT_EQ(top({denied("/a", 2), denied("/b", 1)}, 10),
              (std::vector<AccessAuditLocation>{{"/a", 6, 1}, {"/b", 3, 1}}));
    // The division comes first: 0.7 × 90 is 62.99999999999999, truncated.
    const auto rows = top({denied("/a", 7), denied("/b", 3)}, 90);
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0], (AccessAuditLocation{"/a", 62, 1}));
    // Several paths under one label add up; negative estimates count as nothing.
    EXPECT_EQ(top({denied("/a/1", 100), denied("/b", -500), denied("/a/2", 100)}, 50),
              (std::vector<AccessAuditLocation>{{"/a", 50, 2}, {"/b", 0, 1}}));
}

TEST(AccessAuditShares, FallBackToPathCountsAndOrderTies) {
    EXPECT_EQ(top({denied("/b/1", 0), denied("/a/1", 0), denied("/a/2", 0)}, 900),
              (std::vector<AccessAuditLocation>{{"/a", 600, 2}, {"/b", 300, 1}}));
    // Equal estimates: more denied paths first, then the order the labels were first seen.
    EXPECT_EQ(top({denied("/c", 100), denied("/a/1", 50), denied("/a/2", 50), denied("/b", 100)}, 300),
              (std::vector<AccessAuditLocation>{{"/a", 100, 2}, {"/c", 100, 1}, {"/b", 100, 1}}));
}

TEST(AccessAuditShares, KeepTheLargestFiveOfTheWholeAmount) {
    std::vector<DeniedPath> paths;
    for (int i = 1; i <= 7; ++i)
        paths.push_back(denied("/d" + std::to_string(i), i * 10));
    const auto rows = top(paths, 280);
    ASSERT_EQ(rows.size(), 5u);
    EXPECT_EQ(rows.front(), (AccessAuditLocation{"/d7", 70, 1}));
    EXPECT_EQ(rows.back(), (AccessAuditLocation{"/d3", 30, 1}));
    EXPECT_EQ(top(paths, 280, 2).size(), 2u);
}

TEST(AccessAuditShares, AreEmptyWithNothingDeniedOrNothingUnaccounted) {
    EXPECT_TRUE(top({}, 1000).empty());
    EXPECT_TRUE(top({denied("/a", 5)}, 0).empty());
    EXPECT_TRUE(top({denied("/a", 5)}, -3).empty());
}

TEST(AccessAuditShares, StayDefinedForAbsurdFigures) {
    constexpr int64_t kMax = std::numeric_limits<int64_t>::max();
    const auto rows = top({denied("/a", kMax), denied("/a/b", kMax), denied("/c", kMax)}, kMax);
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].label, "/a");
    EXPECT_EQ(rows[0].deniedPathCount, 2);
    EXPECT_GE(rows[0].estimatedBytes, rows[1].estimatedBytes);
    EXPECT_GE(rows[1].estimatedBytes, 0);
}

// ---- capacity ----

// A host whose statvfs answers with `info`, or fails with `error`, and records the path asked.
struct FakeCapacity {
    struct statvfs info {};
    int error = 0;
    std::string askedPath;

    platform::MountHost host() {
        platform::MountHost fake = platform::MountHost::system();
        fake.statVfs = [this](const char* path, struct statvfs* out) {
            askedPath = path;
            if (error != 0) {
                errno = error;
                return -1;
            }
            *out = info;
            return 0;
        };
        return fake;
    }
};

TEST(AccessAuditCapacity, CountsUsedBytesAsDfDoes) {
    FakeCapacity capacity;
    capacity.info.f_frsize = 4096;
    capacity.info.f_blocks = 1000;
    capacity.info.f_bfree = 400;
    capacity.info.f_bavail = 300; // the root reserve is not in use
    const platform::MountHost host = capacity.host();
    EXPECT_EQ(AccessAuditor("/media/usb", "/home/ann", "/", host).volumeUsedBytes(), 600 * 4096);
    EXPECT_EQ(capacity.askedPath, "/media/usb");

    // More free than total (a racing file system) is never negative.
    capacity.info.f_bfree = 2000;
    EXPECT_EQ(AccessAuditor("/", "/home/ann", "/", host).volumeUsedBytes(), 0);
    // A block count whose bytes overflow is held at the limit.
    capacity.info.f_blocks = std::numeric_limits<fsblkcnt_t>::max();
    capacity.info.f_bfree = 0;
    EXPECT_EQ(AccessAuditor("/", "/home/ann", "/", host).volumeUsedBytes(),
              std::numeric_limits<int64_t>::max());
}

TEST(AccessAuditCapacity, PassesFailuresThrough) {
    FakeCapacity capacity;
    capacity.error = EACCES;
    const platform::MountHost failing = capacity.host();
    try {
        (void)AccessAuditor("/", "/home/ann", "/", failing).volumeUsedBytes();
        ADD_FAILURE() << "a failing statvfs returned";
    } catch (const std::system_error& error) {
        EXPECT_EQ(error.code(), std::errc::permission_denied);
    }

    FakeCapacity noBlockSize;
    noBlockSize.info.f_blocks = 1000;
    const platform::MountHost sizeless = noBlockSize.host();
    try {
        (void)AccessAuditor("/", "/home/ann", "/", sizeless).volumeUsedBytes();
        ADD_FAILURE() << "a volume without a block size returned";
    } catch (const std::system_error& error) {
        EXPECT_EQ(error.code(), AccessAuditError::volumeCapacityUnavailable);
    }
}

TEST(AccessAuditCapacity, AgreesWithDfOnTheRootVolume) {
    FILE* pipe = ::popen("df -B1 --output=used / 2>/dev/null | tail -n 1", "r");
    ASSERT_NE(pipe, nullptr);
    char line[64] = {};
    const bool read = std::fgets(line, sizeof line, pipe) != nullptr;
    ::pclose(pipe);
    if (!read) GTEST_SKIP() << "df gave no answer";
    const int64_t dfUsed = std::strtoll(line, nullptr, 10);
    const int64_t used = AccessAuditor("/").volumeUsedBytes();
    EXPECT_LE(std::llabs(used - dfUsed), 1 << 20) << "df: " << dfUsed << ", auditor: " << used;
}

// ---- assembly ----

DiskScanResult resultOf(int64_t rootBytes, std::vector<DeniedPath> deniedPaths) {
    const FolderPath rootPath = FolderPath::root("/media/usb");
    const FileNode file =
        FileNode::under(rootPath, "f", NodeFields{.allocatedSize = rootBytes, .fileCount = 1});
    return DiskScanResult{.root = FileNode::folder(rootPath, "usb", std::nullopt, {file}),
                          .deniedPaths = std::move(deniedPaths)};
}

TEST(AccessAuditAssembly, MeasuresTheScannedVolume) {
    FakeCapacity capacity;
    capacity.info.f_frsize = 1;
    capacity.info.f_blocks = 5000;
    capacity.info.f_bfree = 1000;
    const platform::MountHost host = capacity.host();
    ScratchFolder probe;
    const AccessAuditor auditor("/media/usb", "/home/ann", probe.path(), host);

    const AccessAudit audit =
        assembleAccessAudit(resultOf(3000, {denied("/media/usb/lost+found", 0)}), auditor);
    EXPECT_EQ(capacity.askedPath, "/media/usb");
    EXPECT_EQ(audit, (AccessAudit{.volumeUsedBytes = 4000,
                                  .accountedBytes = 3000,
                                  .unaccountedBytes = 1000,
                                  .topDeniedLocations = {{"/media", 1000, 1}},
                                  .isFullDiskAccessGranted = true}));

    // Used bytes not above the scanned total: nothing unaccounted, no locations.
    const AccessAudit full = assembleAccessAudit(resultOf(4500, {denied("/x", 10)}), auditor);
    EXPECT_EQ(full.volumeUsedBytes, 4000);
    EXPECT_EQ(full.unaccountedBytes, 0);
    EXPECT_TRUE(full.topDeniedLocations.empty());
    // A negative root size counts as nothing accounted.
    EXPECT_EQ(assembleAccessAudit(resultOf(-10, {}), auditor).accountedBytes, 0);
}

TEST(AccessAuditAssembly, ShowsNothingHiddenWhenTheCapacityIsUnreadable) {
    FakeCapacity capacity;
    capacity.error = EIO;
    const platform::MountHost host = capacity.host();
    const AccessAuditor auditor("/media/usb", "/home/ann", "/nonexistent/probe", host);
    const AccessAudit audit = assembleAccessAudit(resultOf(3000, {denied("/media/usb/x", 100)}), auditor);
    EXPECT_EQ(audit, (AccessAudit{.volumeUsedBytes = 0,
                                  .accountedBytes = 3000,
                                  .unaccountedBytes = 0,
                                  .topDeniedLocations = {},
                                  .isFullDiskAccessGranted = false}));
}

// ---- probe ----

// Sets or clears an environment variable for one test, restoring it afterwards.
class ScopedVariable {
public:
    ScopedVariable(const char* name, const char* value) : name_(name) {
        if (const char* old = std::getenv(name)) old_ = old;
        if (value)
            ::setenv(name, value, 1);
        else
            ::unsetenv(name);
    }
    ~ScopedVariable() {
        if (old_)
            ::setenv(name_, old_->c_str(), 1);
        else
            ::unsetenv(name_);
    }

private:
    const char* name_;
    std::optional<std::string> old_;
};

std::vector<std::string> deniedUrls(const DiskScanResult& result) {
    std::vector<std::string> urls;
    for (const DeniedPath& path : result.deniedPaths)
        urls.push_back(path.url);
    std::sort(urls.begin(), urls.end());
    return urls;
}

TEST(AccessAuditProbe, FollowsTheVariableAndDecidesWhatTheScanWalks) {
    ScratchFolder home;
    for (const char* folder : {"Desktop", "Documents", "Downloads", "Library/Containers/x", "Music"})
        testing::writeFile(home / (std::string(folder) + "/file"), 4096);
    const ScopedVariable homeVariable("HOME", home.path().c_str());
    const auto scan = [&] {
        return DiskScanner(200).scanToEnd(home.path(), AccessAuditor::hasFullDiskAccess(), home.path());
    };

    {
        const ScopedVariable probe(kFullDiskAccessProbeVariable, (home / "missing").c_str());
        EXPECT_FALSE(AccessAuditor::hasFullDiskAccess());
        EXPECT_EQ(AccessAuditor().fullDiskAccessProbePath(), home / "missing");
        // A probe given outright wins over the variable.
        EXPECT_TRUE(AccessAuditor("/", home.path(), home.path()).isFullDiskAccessGranted());

        const std::optional<DiskScanResult> result = scan();
        ASSERT_TRUE(result);
        // The containers folder itself is protected, so x is never reached.
        EXPECT_EQ(deniedUrls(*result),
                  (std::vector<std::string>{home / "Desktop", home / "Documents", home / "Downloads",
                                            home / "Library/Containers"}));
        for (const char* folder : {"Desktop", "Documents", "Downloads", "Library/Containers"})
            EXPECT_FALSE(result->root.find(home / folder)) << folder;
        EXPECT_TRUE(result->root.find(home / "Library"));
        EXPECT_TRUE(result->root.find(home / "Music/file"));
    }
    {
        // An empty variable counts as unset: the home folder is the probe.
        const ScopedVariable probe(kFullDiskAccessProbeVariable, "");
        EXPECT_EQ(AccessAuditor().fullDiskAccessProbePath(), home.path());
        EXPECT_TRUE(AccessAuditor::hasFullDiskAccess());
        const std::optional<DiskScanResult> result = scan();
        ASSERT_TRUE(result);
        EXPECT_TRUE(result->deniedPaths.empty());
        for (const char* folder : {"Desktop", "Documents", "Downloads", "Library/Containers/x"})
            EXPECT_TRUE(result->root.find(home / (std::string(folder) + "/file"))) << folder;
    }
}

} // namespace
} // namespace quillmere
