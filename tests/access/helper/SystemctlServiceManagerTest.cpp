// The systemctl backend against a scripted systemctl: every status word, the command lines,
// failures as the user reads them, and the time bound.
#include "access/HelperServiceManager.hpp"
#include "access/PrivilegedScanClient.hpp"
#include "support/Eventually.hpp"
#include "support/HelperProcess.hpp"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <grp.h>
#include <gtest/gtest.h>
#include <pwd.h>
#include <sys/wait.h>
#include <unistd.h>

namespace quillmere::testing {
namespace {

class SystemctlTest : public ::testing::Test {
protected:
    SystemctlTest() { ::setenv("FAKE_SYSTEMCTL_DIR", folder.path().c_str(), 1); }

    void set(const std::string& file, const std::string& text) {
        std::ofstream(folder.path() + "/" + file) << text;
    }
    std::string calls() const {
        std::ifstream in(folder.path() + "/calls");
        return {std::istreambuf_iterator<char>(in), {}};
    }
    SystemctlServiceManager manager(std::string group = "root") {
        SystemctlServiceManager::Options options;
        options.systemctl = std::string(QUILLMERE_HELPER_TEST_DATA) + "/fake-systemctl.sh";
        options.group = std::move(group);
        options.statusLimit = std::chrono::milliseconds(400);
        options.commandLimit = std::chrono::milliseconds(400);
        return SystemctlServiceManager(options);
    }

    TemporaryFolder folder;
};

TEST_F(SystemctlTest, EveryStatusWordMapsToItsRawStatus) {
    const std::vector<std::pair<std::string, int64_t>> words{
        {"enabled", 1},   {"enabled-runtime", 1}, {"masked", 2},   {"disabled", 0}, {"linked", 0},
        {"not-found", 3}, {"static", 4},          {"indirect", 4}, {"", 4},
    };
    for (const auto& [word, status] : words) {
        set("word", word + "\n");
        // The root group admits the user running the tests when they are root; others are
        // checked below.
        if (status == 1 && ::geteuid() != 0) continue;
        EXPECT_EQ(manager().rawStatus(), status) << word;
    }
    EXPECT_NE(calls().find("is-enabled quillmere-helper.socket\n"), std::string::npos);
}

// The raw status as `nobody` with `groups` as its only supplementary groups, read in a child
// process that drops root; nothing when there is no nobody to become.
std::optional<int64_t> rawStatusAsNobody(SystemctlServiceManager& manager, const std::vector<gid_t>& groups) {
    const passwd* nobody = ::getpwnam("nobody");
    const group* nogroup = ::getgrnam("nogroup");
    if (nobody == nullptr || nogroup == nullptr) return std::nullopt;
    const uid_t user = nobody->pw_uid;
    const gid_t primary = nogroup->gr_gid;
    const pid_t child = ::fork();
    if (child < 0) return std::nullopt;
    if (child == 0) {
        if (::setgroups(groups.size(), groups.data()) != 0 || ::setresgid(primary, primary, primary) != 0 ||
            ::setresuid(user, user, user) != 0)
            ::_exit(100);
        try {
            ::_exit(static_cast<int>(manager.rawStatus()));
        } catch (...) {
            ::_exit(101);
        }
    }
    int status = 0;
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    if (!WIFEXITED(status)) return -1;
    return WEXITSTATUS(status);
}

TEST_F(SystemctlTest, EnabledForSomeoneOutsideTheGroupAwaitsApproval) {
    set("word", "enabled\n");
    if (::geteuid() != 0) {
        EXPECT_EQ(manager("no-such-group-quillmere").rawStatus(), 2);
        return;
    }
    // Root may always connect, so nobody asks; the scripted answer must be readable to it.
    std::filesystem::permissions(folder.path(), std::filesystem::perms::all);
    auto backend = manager("root");
    const auto outside = rawStatusAsNobody(backend, {});
    if (!outside) GTEST_SKIP() << "no user nobody to ask as";
    EXPECT_EQ(*outside, 2);
    // A supplementary group is membership enough.
    EXPECT_EQ(rawStatusAsNobody(backend, {0}), 1);
}

TEST_F(SystemctlTest, MissingSystemctlIsNotFoundAndSilenceIsUnknown) {
    SystemctlServiceManager::Options options;
    options.systemctl = folder.path() + "/no-such-systemctl";
    EXPECT_EQ(SystemctlServiceManager(options).rawStatus(), 3);
    set("sleep", "5");
    set("word", "enabled\n");
    EXPECT_EQ(manager().rawStatus(), 4);
}

TEST_F(SystemctlTest, RegisterAndUnregisterRunTheirCommandLines) {
    EXPECT_TRUE(manager().registerService());
    EXPECT_TRUE(manager().unregisterService());
    EXPECT_EQ(calls(), "enable --now quillmere-helper.socket\n"
                       "disable --now quillmere-helper.socket quillmere-helper.service\n");
}

TEST_F(SystemctlTest, AFailureSaysSystemctlsLastErrorLineInTheStatus) {
    set("stderr", "Created nothing.\nFailed to enable unit: Access denied\n\n");
    set("status", "1");
    auto backend = manager();
    CapturedPrivilegedScanLog log;
    PrivilegedScanClient client(backend, log, {"/nonexistent", 0, std::chrono::seconds(1)});
    EXPECT_EQ(client.registerHelper(), PrivilegedScanStatus::failed("Failed to enable unit: Access denied"));

    set("stderr", "");
    set("status", "12");
    // systemctl's own status 12 is no "already registered".
    EXPECT_EQ(client.unregisterHelper(), PrivilegedScanStatus::failed("systemctl exited with status 12."));
}

TEST_F(SystemctlTest, ACommandThatDoesNotFinishIsKilledAndReaped) {
    set("sleep", "30");
    const auto start = std::chrono::steady_clock::now();
    const auto result = manager().registerService();
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
    ASSERT_FALSE(result);
    EXPECT_EQ(result.error().description, "systemctl did not finish within 120 seconds.");
    // What it started went with it: its process group empties.
    std::ifstream pidFile(folder.path() + "/pid");
    pid_t pid = 0;
    pidFile >> pid;
    ASSERT_GT(pid, 0);
    EXPECT_TRUE(eventually([&] { return ::kill(-pid, 0) != 0 && errno == ESRCH; }));
}

} // namespace
} // namespace quillmere::testing
