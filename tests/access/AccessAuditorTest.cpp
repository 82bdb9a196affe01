#include "access/AccessAuditor.hpp"

#include "access/AccessAudit.hpp"
#include "access/AccessAuditError.hpp"
#include "access/AccessTestSupport.hpp"
#include "scan/ScanTestSupport.hpp"

#include <cstdio>
#include <gtest/gtest.h>
#include <limits>

namespace quillmere {
namespace {

using testing::denied;
constexpr int64_t kMax = std::numeric_limits<int64_t>::max();

TEST(AccessAuditLabels, NameHomeOtherHomesAndTopLevelFolders) {
    const std::vector<std::array<const char*, 3>> cases = {
        // path, home, label
        {"/Users/ann", "/Users/ann", "~"},
        {"/Users/ann/Pictures", "/Users/ann", "~/Pictures"},
        {"/Users/ann/Library/Mail/V10/x", "/Users/ann", "~/Library/Mail"},
        {"/Users/ann//Library/", "/Users/ann", "~/Library"},
        {"/Users/bob/Desktop", "/Users/ann", "Other users' home folders"},
        {"/Users/annex/x", "/Users/ann", "Other users' home folders"},
        {"/Users", "/Users/ann", "/Users"},
        {"/private/var/db/x", "/Users/ann", "/private"},
        {"/", "/Users/ann", "/"},
        {"/home/bob/x", "/home/ann", "Other users' home folders"},
        {"/home/annex", "/home/ann", "Other users' home folders"},
        {"/root/.cache", "/home/ann", "/root"},
        {"/home/ann/.cache/thumbnails/large", "/home/ann/", "~/.cache/thumbnails"},
        {"/home/ann/", "/home//ann", "~"},
    };
    for (const auto& [path, home, label] : cases)
        EXPECT_EQ(AccessAuditor::locationLabel(path, home), label) << path << " with home " << home;
}

std::vector<AccessAuditLocation> top(const std::vector<DeniedPath>& paths, int64_t unaccounted,
                                     size_t limit = 5) {
    return AccessAuditor("/", "/home/ann", "/").topDeniedLocations(paths, unaccounted, limit);
}

TEST(AccessAuditShares, SplitTheUnaccountedBytesInDoublePrecision) {
    using Rows = std::vector<AccessAuditLocation>;
    EXPECT_EQ(top({denied("/a/x", 300), denied("/b", 100)}, 1000), (Rows{{"/a", 750, 1}, {"/b", 250, 1}}));
    EXPECT_EQ(top({denied("/a", 2), denied("/b", 1)}, 10), (Rows{{"/a", 6, 1}, {"/b", 3, 1}}));
    // The division comes first: 0.7 × 90 is 62.99999999999999, truncated.
    EXPECT_EQ(top({denied("/a", 7), denied("/b", 3)}, 90).front(), (AccessAuditLocation{"/a", 62, 1}));
    // Negative estimates count as nothing; with no bytes at all, paths are counted.
    EXPECT_EQ(top({denied("/a/1", 100), denied("/b", -500), denied("/a/2", 100)}, 50),
              (Rows{{"/a", 50, 2}, {"/b", 0, 1}}));
    EXPECT_EQ(top({denied("/b/1", 0), denied("/a/1", 0), denied("/a/2", 0)}, 900),
              (Rows{{"/a", 600, 2}, {"/b", 300, 1}}));
    // Equal estimates: more paths first, then the order the labels were first seen.
    EXPECT_EQ(top({denied("/c", 100), denied("/a/1", 50), denied("/a/2", 50), denied("/b", 100)}, 300),
              (Rows{{"/a", 100, 2}, {"/c", 100, 1}, {"/b", 100, 1}}));
    // Absurd figures neither overflow nor go negative.
    const Rows huge = top({denied("/a", kMax), denied("/a/b", kMax), denied("/c", kMax)}, kMax);
    ASSERT_EQ(huge.size(), 2u);
    EXPECT_EQ(huge[0].deniedPathCount, 2);
    EXPECT_GE(huge[1].estimatedBytes, 0);
}

TEST(AccessAuditShares, KeepTheLargestRowsOfTheWholeAmount) {
    std::vector<DeniedPath> seven;
    for (int i = 1; i <= 7; ++i)
        seven.push_back(denied("/d" + std::to_string(i), i * 10));
    const auto rows = top(seven, 280);
    ASSERT_EQ(rows.size(), 5u);
    EXPECT_EQ(rows.front(), (AccessAuditLocation{"/d7", 70, 1}));
    EXPECT_EQ(rows.back(), (AccessAuditLocation{"/d3", 30, 1}));
    EXPECT_TRUE(top({}, 1000).empty());
    EXPECT_TRUE(top({denied("/a", 5)}, 0).empty());
}

// A host whose statvfs answers with `info` or fails with `error`, recording the path asked.
struct FakeCapacity {
    struct statvfs info {};
    int error = 0;
    std::string askedPath;
    platform::MountHost host = platform::MountHost::system();

    FakeCapacity() {
        host.statVfs = [this](const char* path, struct statvfs* out) {
            askedPath = path;
            if (error != 0) return errno = error, -1;
            *out = info;
            return 0;
        };
    }
    int64_t used(const std::string& volume = "/") const {
        return AccessAuditor(volume, "/home/ann", "/", host).volumeUsedBytes();
    }
};

TEST(AccessAuditCapacity, CountsUsedBytesAsDfDoes) {
    FakeCapacity capacity;
    capacity.info = {.f_frsize = 4096, .f_blocks = 1000, .f_bfree = 400, .f_bavail = 300};
    EXPECT_EQ(capacity.used("/media/usb"), 600 * 4096); // the root reserve is not in use
    EXPECT_EQ(capacity.askedPath, "/media/usb");
    capacity.info.f_bfree = 2000;
    EXPECT_EQ(capacity.used(), 0);
    capacity.info = {.f_frsize = 4096, .f_blocks = std::numeric_limits<fsblkcnt_t>::max()};
    EXPECT_EQ(capacity.used(), kMax);

    const auto failure = [](FakeCapacity& fake) -> std::error_code {
        try {
            (void)fake.used();
        } catch (const std::system_error& error) {
            return error.code();
        }
        return {};
    };
    capacity.error = EACCES;
    EXPECT_EQ(failure(capacity), std::errc::permission_denied);
    FakeCapacity sizeless;
    sizeless.info.f_blocks = 1000;
    EXPECT_EQ(failure(sizeless), AccessAuditError::volumeCapacityUnavailable);
}

std::optional<int64_t> dfUsedBytesOfRoot() {
    FILE* df = ::popen("df -B1 --output=used / 2>/dev/null | tail -n 1", "r");
    if (!df) return std::nullopt;
    long long used = -1;
    const int read = std::fscanf(df, "%lld", &used);
    ::pclose(df);
    return read == 1 ? std::optional<int64_t>(used) : std::nullopt;
}

TEST(AccessAuditCapacity, AgreesWithDfOnTheRootVolume) {
    // Other processes write while df runs: df's figure must fall within 1 MiB of the auditor's
    // readings taken just before and just after it, in one of a few tries.
    const AccessAuditor root("/");
    std::string tries;
    for (int attempt = 0; attempt < 5; ++attempt) {
        const int64_t before = root.volumeUsedBytes();
        const std::optional<int64_t> df = dfUsedBytesOfRoot();
        const int64_t after = root.volumeUsedBytes();
        if (!df) GTEST_SKIP() << "df gave no answer";
        if (*df >= std::min(before, after) - (1 << 20) && *df <= std::max(before, after) + (1 << 20)) return;
        tries += " df " + std::to_string(*df) + " between " + std::to_string(before) + " and " +
                 std::to_string(after);
    }
    ADD_FAILURE() << "df disagrees:" << tries;
}

DiskScanResult resultOf(int64_t rootBytes, std::vector<DeniedPath> deniedPaths) {
    const FolderPath root = FolderPath::root("/media/usb");
    const FileNode file = FileNode::under(root, "f", NodeFields{.allocatedSize = rootBytes, .fileCount = 1});
    return {.root = FileNode::folder(root, "usb", std::nullopt, {file}),
            .deniedPaths = std::move(deniedPaths)};
}

TEST(AccessAuditAssembly, MeasuresTheScannedVolume) {
    FakeCapacity capacity;
    capacity.info = {.f_frsize = 1, .f_blocks = 5000, .f_bfree = 1000};
    const AccessAuditor auditor("/media/usb", "/home/ann", "/", capacity.host);
    EXPECT_EQ(assembleAccessAudit(resultOf(3000, {denied("/media/usb/lost+found", 0)}), auditor),
              (AccessAudit{4000, 3000, 1000, {{"/media", 1000, 1}}, true, 1000, true}));
    EXPECT_EQ(capacity.askedPath, "/media/usb");
    // Used bytes not above the scanned total: nothing unaccounted, no locations.
    EXPECT_EQ(assembleAccessAudit(resultOf(4500, {denied("/x", 10)}), auditor),
              (AccessAudit{4000, 4500, 0, {}, true, 0, true}));
    EXPECT_EQ(assembleAccessAudit(resultOf(-10, {}), auditor).accountedBytes, 0);

    capacity.error = EIO;
    const AccessAuditor unreadable("/media/usb", "/home/ann", "/nonexistent", capacity.host);
    EXPECT_EQ(assembleAccessAudit(resultOf(3000, {denied("/media/usb/x", 100)}), unreadable),
              (AccessAudit{0, 3000, 0, {}, false, 0, true}));
}

TEST(AccessAuditAssembly, BlamesPermissionsOnlyForWhatTheScanWasDenied) {
    FakeCapacity capacity;
    capacity.info = {.f_frsize = 1, .f_blocks = 5000, .f_bfree = 1000};
    const AccessAuditor auditor("/media/usb", "/home/ann", "/", capacity.host);
    // The folders' own blocks are accounted for; what is left is hidden by nobody.
    DiskScanResult scan = resultOf(3000, {});
    scan.folderBytes = 600;
    EXPECT_EQ(assembleAccessAudit(scan, auditor), (AccessAudit{4000, 3600, 400, {}, true, 0, false}));
    // Denied paths take the whole remainder between them.
    scan.deniedPaths = {denied("/media/usb/a", 30), denied("/home/ann/b", 10)};
    EXPECT_EQ(assembleAccessAudit(scan, auditor),
              (AccessAudit{4000, 3600, 400, {{"/media", 300, 1}, {"~/b", 100, 1}}, true, 400, true}));
    // A stopped scan claims only the denied paths' own blocks, never what it did not reach.
    scan.isComplete = false;
    EXPECT_EQ(assembleAccessAudit(scan, auditor),
              (AccessAudit{4000, 3600, 400, {{"/media", 30, 1}, {"~/b", 10, 1}}, true, 40, true}));
}

// Sets an environment variable (clears it for nothing) for one scope.
class ScopedVariable {
public:
    ScopedVariable(const char* name, const char* value) : name_(name) {
        if (const char* old = std::getenv(name)) old_ = old;
        value ? ::setenv(name, value, 1) : ::unsetenv(name);
    }
    ~ScopedVariable() { old_ ? ::setenv(name_, old_->c_str(), 1) : ::unsetenv(name_); }

private:
    const char* name_;
    std::optional<std::string> old_;
};

TEST(AccessAuditProbe, FollowsTheVariableAndDecidesWhatTheScanWalks) {
    testing::ScratchFolder home;
    const std::vector<std::string> guarded{"Desktop", "Documents", "Downloads", "Library/Containers"};
    for (const char* folder : {"Desktop", "Documents", "Downloads", "Library/Containers/x", "Music"})
        testing::writeFile(home / (std::string(folder) + "/file"), 4096);
    const ScopedVariable homeVariable("HOME", home.path().c_str());
    const auto scan = [&] {
        return DiskScanner(200)
            .scanToEnd(home.path(), AccessAuditor::hasFullDiskAccess(), home.path())
            .value();
    };
    {
        const ScopedVariable probe(kFullDiskAccessProbeVariable, (home / "missing").c_str());
        EXPECT_FALSE(AccessAuditor::hasFullDiskAccess());
        EXPECT_TRUE(
            AccessAuditor("/", home.path(), home.path()).isFullDiskAccessGranted()); // a given probe wins
        const DiskScanResult result = scan();
        std::vector<std::string> deniedUrls = testing::urls(result.deniedPaths);
        std::sort(deniedUrls.begin(), deniedUrls.end());
        ASSERT_EQ(deniedUrls.size(), guarded.size());
        for (size_t i = 0; i < guarded.size(); ++i) {
            EXPECT_EQ(deniedUrls[i], home / guarded[i]);
            EXPECT_FALSE(result.root.find(home / guarded[i])) << guarded[i];
        }
        EXPECT_TRUE(result.root.find(home / "Music/file"));
    }
    const ScopedVariable empty(kFullDiskAccessProbeVariable, ""); // counts as unset: the home is the probe
    EXPECT_EQ(AccessAuditor().fullDiskAccessProbePath(), home.path());
    EXPECT_TRUE(AccessAuditor::hasFullDiskAccess());
    const DiskScanResult result = scan();
    EXPECT_TRUE(result.deniedPaths.empty());
    EXPECT_TRUE(result.root.find(home / "Library/Containers/x/file"));
}

} // namespace
} // namespace quillmere
