#include "support/ScratchMount.hpp"
#include "systemdata/ReclaimerTestSupport.hpp"

#include <climits>
#include <cstdlib>
#include <gtest/gtest.h>
#include <unistd.h>

namespace quillmere {
namespace {

// CI runs as root, for whom nothing is denied: this test runs its second half again as the
// user "nobody" through setpriv, on the real Trash.
constexpr const char* kFixtureVariable = "QUILLMERE_OTHER_USER_FIXTURE";
constexpr uid_t kNobody = 65534;

TEST(ReclaimerAsAnotherUser, RunsAsNobody) {
    if (std::getenv(kFixtureVariable)) GTEST_SKIP() << "this is the inner run";
    if (::geteuid() != 0 || std::system("command -v setpriv >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "needs root and setpriv to switch users";
    testing::ScratchFolder scratch;
    const std::string root = FileNode::canonicalPath(scratch.path());
    ASSERT_EQ(::chmod(root.c_str(), 0755), 0);
    testing::writeFile(root + "/roots/locked", 10);
    testing::writeFile(root + "/mine/own", 10);
    testing::makeFolder(root + "/data");
    testing::makeFolder(root + "/mine/C/inner");
    for (const char* owned : {"/mine", "/mine/own", "/data", "/mine/C", "/mine/C/inner"})
        ASSERT_EQ(::chown((root + owned).c_str(), kNobody, kNobody), 0);
    // A disk mounted inside a folder the other user owns and may rename.
    const testing::ScratchMount inner = testing::ScratchMount::tmpfs(root + "/mine/C/inner");
    const bool mounted = inner.mounted();
    if (mounted) testing::writeFile(root + "/mine/C/inner/other-disk.bin", 5 << 20);
    char self[PATH_MAX];
    const ssize_t length = ::readlink("/proc/self/exe", self, sizeof self - 1);
    ASSERT_GT(length, 0);
    self[length] = '\0';

    const std::string command =
        "setpriv --reuid=" + std::to_string(kNobody) + " --regid=" + std::to_string(kNobody) +
        " --clear-groups env " + kFixtureVariable + "='" + root + "' HOME='" + root +
        "/data' XDG_DATA_HOME='" + root + "/data' QUILLMERE_OTHER_USER_MOUNT=" + (mounted ? "1" : "0") +
        " '" + self + "' --gtest_filter=ReclaimerAsAnotherUser.Inner >'" + root + "/inner.log' 2>&1";
    const int status = std::system(command.c_str());
    EXPECT_EQ(status, 0) << testing::fileText(root + "/inner.log");
    EXPECT_TRUE(testing::exists(root + "/roots/locked"));
    EXPECT_FALSE(testing::exists(root + "/mine/own"));
    EXPECT_TRUE(testing::exists(root + "/data/Trash/files/own"));
    if (mounted) {
        EXPECT_EQ(testing::allocatedBytes(root + "/mine/C/inner/other-disk.bin"), 5 << 20);
        EXPECT_FALSE(testing::exists(root + "/data/Trash/files/C"));
    }
}

TEST(ReclaimerAsAnotherUser, Inner) {
    const char* fixture = std::getenv(kFixtureVariable);
    if (!fixture) GTEST_SKIP() << "run by RunsAsNobody";
    const std::string root = fixture;
    ASSERT_NE(::geteuid(), 0u);
    const bool mounted = std::string(std::getenv("QUILLMERE_OTHER_USER_MOUNT")) == "1";
    std::vector<FileNode> nodes{testing::file(root + "/roots/locked", 10),
                                testing::file(root + "/mine/own", 10)};
    if (mounted) nodes.push_back(testing::folder(root + "/mine/C", {}));
    const Reclaimer::Outcome outcome = Reclaimer(ReclaimerServices::current()).reclaim(nodes, {});
    EXPECT_EQ(testing::pathsOf(outcome.succeeded), (std::vector<std::string>{root + "/mine/own"}));
    std::vector<std::pair<std::string, std::string>> expected{
        {root + "/roots/locked", "you don't have permission to move it to the Trash"}};
    if (mounted)
        expected.emplace_back(root + "/mine/C", "another file system is mounted inside it, at “" + root +
                                                    "/mine/C/inner” — nothing of it was moved");
    EXPECT_EQ(testing::failuresOf(outcome), expected);
}

} // namespace
} // namespace quillmere
