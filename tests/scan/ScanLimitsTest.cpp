#include "ScanTestSupport.hpp"
#include "platform/Descriptors.hpp"
#include "scan/ScanReport.hpp"
#include "scan/WalkDescriptors.hpp"

#include <atomic>
#include <chrono>
#include <climits>
#include <condition_variable>
#include <fstream>
#include <mutex>
#include <sstream>
#include <stdexcept>
#include <sys/resource.h>

namespace quillmere {
namespace {

using testing::childNamed;
using testing::FakeHost;
using testing::ScratchFolder;
using testing::writeFile;

// The child process runs the scan this variable names under the limits its parent set, and
// writes what it found to the file the variable names after a "|".
constexpr const char* kScanVariable = "QUILLMERE_LIMITED_SCAN";
// The same for the root whose reading is watched under a low limit (no file written).
constexpr const char* kRootReadVariable = "QUILLMERE_LIMITED_ROOT_READ";
constexpr const char* kFailedFinishVariable = "QUILLMERE_LIMITED_FAILED_FINISH";

DiskScanResult scanOf(const DiskScanner& scanner, const std::string& root,
                      std::shared_ptr<ScanCancellation> cancellation = nullptr) {
    std::optional<DiskScanResult> result = scanner.scanToEnd(root, true, "/nonexistent-home", cancellation);
    EXPECT_TRUE(result) << root;
    return result ? std::move(*result) : DiskScanResult{};
}

// What a report and a window would show of a scan, in an order that does not depend on
// which walker finished first.
std::string summaryOf(const DiskScanResult& result) {
    std::ostringstream report;
    printScanSummary(report, result.root.path(), result);
    std::istringstream lines(report.str());
    std::vector<std::string> kept;
    for (std::string line; std::getline(lines, line);)
        if (!line.empty() && !line.starts_with("Scanned ")) kept.push_back(line);
    std::sort(kept.begin(), kept.end());
    std::string text = "files " + std::to_string(result.root.fileCount()) + ", folders " +
                       std::to_string(result.root.folderCount()) + "\n";
    for (const std::string& line : kept)
        text += line + "\n";
    return text;
}

std::string fileText(const std::string& path) {
    std::ifstream file(path);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

std::string selfPath() {
    char self[PATH_MAX];
    const ssize_t length = ::readlink("/proc/self/exe", self, sizeof self - 1);
    return length > 0 ? std::string(self, static_cast<size_t>(length)) : std::string();
}

// Runs `test` of this binary in a child process whose descriptor limit is `limit`, with
// `variable` set to `value`; the child's output on failure.
std::string runUnderLimit(const std::string& scratch, int limit, const std::string& variable,
                          const std::string& value, const std::string& test) {
    // bash sets soft and hard limit alike, as a user's "ulimit -n" does.
    const std::string log = scratch + "/inner.log";
    const std::string command = "ulimit -n " + std::to_string(limit) + " && " + variable + "='" + value +
                                "' exec '" + selfPath() + "' --gtest_filter=" + test + " >'" + log + "' 2>&1";
    return std::system(("bash -c \"" + command + "\"").c_str()) == 0 ? std::string()
                                                                     : fileText(log) + "\n(failed)";
}

// Many folders at once, some deep: more than 32 descriptors' worth of walking.
void buildWideAndDeepTree(const std::string& root) {
    for (int top = 0; top < 24; ++top) {
        std::string chain = root + "/top" + std::to_string(top);
        for (int level = 0; level < 30; ++level) {
            chain += "/level" + std::to_string(level);
            writeFile(chain + "/f", 1000 + static_cast<size_t>(top * 37 + level));
            if (level % 10 == 0)
                for (int side = 0; side < 6; ++side)
                    writeFile(chain + "/side" + std::to_string(side) + "/g", 3000);
        }
    }
}

TEST(ScanDescriptorPlan, FitsTheLimitInForceAndKeepsTheUsualPlanWhenItFits) {
    const DescriptorPlan usual = planDescriptors(1 << 20, 20, 8, 2048);
    EXPECT_EQ(usual, (DescriptorPlan{.childWalks = 32, .rootWalks = 2048, .framesPerWalker = 16}));
    // A limit of 1024 keeps frames and child walks and walks the root a few entries at a time.
    const DescriptorPlan thousand = planDescriptors(1024, 20, 8, 2048);
    EXPECT_EQ(thousand, (DescriptorPlan{.childWalks = 32, .rootWalks = 8, .framesPerWalker = 16}));
    for (int64_t limit = 16; limit <= 4096; ++limit) {
        const int64_t open = 5;
        const DescriptorPlan plan = planDescriptors(limit, open, 8, 2048);
        const int64_t available = limit - open - std::max<int64_t>(8, limit / 16);
        const bool smallest = plan.rootWalks == 1 && plan.childWalks == 0 && plan.framesPerWalker == 2;
        EXPECT_TRUE(plan.mostOpenAtOnce() <= available || smallest) << "limit " << limit;
        EXPECT_GE(plan.framesPerWalker, 2u);
        EXPECT_GE(plan.rootWalks, 1u);
    }
}

TEST(ScanDescriptorShortage, IsWaitedOutAndNeverMakesAFolderDenied) {
    ScratchFolder scratch;
    buildWideAndDeepTree(scratch.path());
    const std::string expected = summaryOf(scanOf(DiskScanner(), scratch.path()));

    FakeHost host;
    const std::string rootName(lastPathComponent(scratch.path()));
    host.passingOpenError = {
        {rootName, {EMFILE, 2}}, {"top3", {ENFILE, 3}}, {"level12", {EMFILE, 10}}, {"side2", {EMFILE, 6}}};
    const DiskScanResult result = scanOf(DiskScanner(200, host), scratch.path());
    EXPECT_TRUE(result.deniedPaths.empty()) << result.deniedPaths.front().url;
    EXPECT_EQ(summaryOf(result), expected);
}

TEST(ScanDescriptorShortage, ACancelledScanStopsWaitingWithoutDenyingTheFolder) {
    ScratchFolder scratch;
    writeFile(scratch / "open/f", 1000);
    writeFile(scratch / "starved/f", 1000);
    FakeHost host;
    host.openError = {{"starved", EMFILE}};
    auto cancellation = std::make_shared<ScanCancellation>();
    int tries = 0;
    host.onCall = [&](std::string_view call, const std::string& name) {
        if (call == "open" && name == "starved" && ++tries == 3) cancellation->cancel();
    };
    const DiskScanResult result = scanOf(DiskScanner(200, host), scratch.path(), cancellation);
    EXPECT_GE(tries, 3);
    EXPECT_TRUE(result.deniedPaths.empty());
}

TEST(ScanDescriptorShortage, UnderALimitOf32TheTotalsAreThoseOfTheDefaultLimit) {
    if (std::getenv(kScanVariable)) GTEST_SKIP() << "this is the inner run";
    ScratchFolder scratch;
    buildWideAndDeepTree(scratch / "tree");
    const std::string expected = summaryOf(scanOf(DiskScanner(), scratch / "tree"));
    EXPECT_NE(expected.find("Denied: 0 path(s)"), std::string::npos) << expected;
    const std::string out = scratch / "limited.txt";
    ASSERT_EQ(runUnderLimit(scratch.path(), 32, kScanVariable, (scratch / "tree") + "|" + out,
                            "ScanDescriptorShortage.Inner"),
              "");
    EXPECT_EQ(fileText(out), expected);
}

TEST(ScanDescriptorShortage, Inner) {
    const char* request = std::getenv(kScanVariable);
    if (!request) GTEST_SKIP() << "run by UnderALimitOf32TheTotalsAreThoseOfTheDefaultLimit";
    const std::string text = request;
    const size_t bar = text.find('|');
    ASSERT_LE(platform::raiseDescriptorLimit(), 32);
    const DiskScanResult result = scanOf(DiskScanner(), text.substr(0, bar));
    std::ofstream(text.substr(bar + 1)) << summaryOf(result);
}

TEST(ScanDescriptorShortage, UnderALimitOf64TheRootIsReadOnWhileARunOfItsEntriesWaits) {
    if (std::getenv(kRootReadVariable)) GTEST_SKIP() << "this is the inner run";
    ScratchFolder scratch;
    // Names that take more than one read, in many more runs than a low limit walks at once.
    for (int i = 0; i < 3000; ++i)
        writeFile(scratch / ("root/entry-with-a-long-name-" + std::to_string(i)), 1);
    EXPECT_EQ(runUnderLimit(scratch.path(), 64, kRootReadVariable, scratch / "root",
                            "ScanDescriptorShortage.InnerRootRead"),
              "");
}

TEST(ScanDescriptorShortage, InnerRootRead) {
    const char* root = std::getenv(kRootReadVariable);
    if (!root) GTEST_SKIP() << "run by UnderALimitOf64TheRootIsReadOnWhileARunOfItsEntriesWaits";
    ASSERT_LE(platform::raiseDescriptorLimit(), 64);
    FakeHost host;
    std::mutex lock;
    std::condition_variable read;
    int reads = 0;
    bool held = false;
    bool secondReadCame = false;
    host.onCall = [&](std::string_view call, const std::string& name) {
        std::unique_lock guard(lock);
        if (call == "list" && name == "root") {
            ++reads;
            read.notify_all();
        } else if (call == "stat" && name.starts_with("entry-") && !std::exchange(held, true)) {
            // The first entry examined waits for the root's second read, which a reader that
            // waits for its runs never gets to (the timeout only keeps it from hanging); a busy
            // machine may have let the reader read on before any entry was examined.
            secondReadCame = read.wait_for(guard, std::chrono::seconds(20), [&] { return reads >= 2; });
        }
    };
    const DiskScanResult result = scanOf(DiskScanner(200, host), root);
    EXPECT_TRUE(secondReadCame);
    EXPECT_EQ(result.root.fileCount(), 3000);
    EXPECT_TRUE(result.deniedPaths.empty());
}

// A folder that fails as it is finished goes, denied, and the walk goes on in the folders above
// it: under a limit that closes a deep folder's ancestors, climbing back reopens each through
// "..", which fails here every time.
TEST(ScanDescriptorShortage, AFolderFailingAsItIsFinishedLosesOnlyItself) {
    if (std::getenv(kFailedFinishVariable)) GTEST_SKIP() << "this is the inner run";
    ScratchFolder scratch;
    std::string chain = scratch / "root/c";
    for (int level = 0; level < 40; ++level) {
        chain += "/l" + std::to_string(level);
        if (level == 12)
            for (int i = 0; i < 200; ++i)
                writeFile(chain + "/f" + std::to_string(i), 4096);
    }
    writeFile(chain + "/end", 4096);
    EXPECT_EQ(runUnderLimit(scratch.path(), 18, kFailedFinishVariable, scratch / "root",
                            "ScanDescriptorShortage.InnerFailedFinish"),
              "");
}

TEST(ScanDescriptorShortage, InnerFailedFinish) {
    const char* root = std::getenv(kFailedFinishVariable);
    if (!root) GTEST_SKIP() << "run by AFolderFailingAsItIsFinishedLosesOnlyItself";
    ASSERT_LE(platform::raiseDescriptorLimit(), 18);
    FakeHost host;
    std::atomic<int> failed{0};
    host.onCall = [&](std::string_view call, const std::string& name) {
        if (call == "open" && name == "..") {
            ++failed;
            throw std::runtime_error("injected");
        }
    };
    const DiskScanResult result = scanOf(DiskScanner(200, host), root);
    ASSERT_GT(failed.load(), 0) << "the walk never climbed back through \"..\"";
    const FileNode* c = childNamed(result.root, "c");
    ASSERT_NE(c, nullptr);
    EXPECT_GE(c->fileCount(), 200);
    EXPECT_FALSE(result.deniedPaths.empty());
}

TEST(ScanRootAccess, ARootThatCannotBeOpenedIsDeniedInTheReport) {
    ScratchFolder scratch;
    writeFile(scratch / "locked/inside", 5000);
    FakeHost host;
    host.openError = {{"locked", EACCES}};
    const DiskScanResult result = scanOf(DiskScanner(200, host), scratch / "locked");
    ASSERT_EQ(result.deniedPaths.size(), 1u);
    EXPECT_EQ(result.deniedPaths[0].url, scratch / "locked");
    EXPECT_EQ(result.deniedPaths[0].parent, scratch.path());
    EXPECT_EQ(result.deniedPaths[0].estimatedBytes, testing::allocatedBytes(scratch / "locked"));
    EXPECT_EQ(result.deniedBytesEstimate, result.deniedPaths[0].estimatedBytes);
    EXPECT_TRUE(result.root.children().empty());
    std::ostringstream report;
    printScanSummary(report, result.root.path(), result);
    EXPECT_NE(report.str().find("Denied: 1 path(s), ~"), std::string::npos) << report.str();

    // A file given as the root is no folder, not a denied one.
    writeFile(scratch / "plain", 10);
    EXPECT_TRUE(scanOf(DiskScanner(), scratch / "plain").deniedPaths.empty());
}

} // namespace
} // namespace quillmere
