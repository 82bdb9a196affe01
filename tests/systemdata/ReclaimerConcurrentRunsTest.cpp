#include "platform/TrashInfo.hpp"
#include "systemdata/ReclaimerTestSupport.hpp"

#include <climits>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <set>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace quillmere {
namespace {

// Two removal runs in two processes, as two windows or another Trash client would make them:
// this test starts itself twice with the inner test selected, both released at once.
constexpr const char* kRunVariable = "QUILLMERE_CONCURRENT_RUN";
constexpr int kFoldersPerRun = 300;
constexpr int kGateDescriptor = 3;

std::string selfPath() {
    char self[PATH_MAX];
    const ssize_t length = ::readlink("/proc/self/exe", self, sizeof self - 1);
    return length > 0 ? std::string(self, static_cast<size_t>(length)) : std::string();
}

std::string commandOutput(const std::string& command) {
    std::string out;
    if (FILE* pipe = ::popen(command.c_str(), "r")) {
        char buffer[4096];
        while (size_t got = std::fread(buffer, 1, sizeof buffer, pipe))
            out.append(buffer, got);
        ::pclose(pipe);
    }
    return out;
}

std::set<std::string> cacheNames(const std::string& cache) {
    std::set<std::string> names;
    std::ifstream in(cache);
    std::string size, mtime, name;
    while (in >> size >> mtime >> name)
        names.insert(name);
    return names;
}

TEST(ReclaimerConcurrentRuns, TwoRunsOfSameNamedFoldersKeepEveryDirectorySizesLine) {
    if (std::getenv(kRunVariable)) GTEST_SKIP() << "this is an inner run";
    testing::ScratchFolder scratch;
    const std::string root = FileNode::canonicalPath(scratch.path());
    int gate[2];
    ASSERT_EQ(::pipe(gate), 0);
    const std::string self = selfPath();
    std::vector<pid_t> children;
    for (const char* run : {"one", "two"}) {
        for (int i = 0; i < kFoldersPerRun; ++i)
            testing::writeFile(root + "/" + run + "/folder " + std::to_string(i) + "/a", 100);
        std::vector<std::string> environment;
        for (char** entry = environ; *entry; ++entry)
            environment.emplace_back(*entry);
        environment.push_back(std::string(kRunVariable) + "=" + root + "/" + run);
        environment.push_back("XDG_DATA_HOME=" + root + "/data");
        std::vector<char*> envp;
        for (std::string& entry : environment)
            envp.push_back(entry.data());
        envp.push_back(nullptr);
        std::string filter = "--gtest_filter=ReclaimerConcurrentRuns.Inner";
        char* argv[] = {const_cast<char*>(self.c_str()), filter.data(), nullptr};
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, gate[0], kGateDescriptor);
        posix_spawn_file_actions_addopen(&actions, 1, (root + "/" + run + ".log").c_str(),
                                         O_WRONLY | O_CREAT | O_TRUNC, 0644);
        pid_t child = -1;
        const int spawned = ::posix_spawn(&child, self.c_str(), &actions, nullptr, argv, envp.data());
        posix_spawn_file_actions_destroy(&actions);
        ASSERT_EQ(spawned, 0);
        children.push_back(child);
    }
    ::close(gate[0]);
    ASSERT_EQ(::write(gate[1], "go", 2), 2); // one byte releases each run
    ::close(gate[1]);
    for (const pid_t child : children) {
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0)
            << testing::fileText(root + (child == children[0] ? "/one.log" : "/two.log"));
    }

    const std::string trash = root + "/data/Trash";
    std::set<std::string> entries;
    for (const auto& entry : std::filesystem::directory_iterator(trash + "/files"))
        entries.insert(platform::percentEncode(entry.path().filename().string()));
    EXPECT_EQ(entries.size(), 2u * kFoldersPerRun);
    EXPECT_EQ(cacheNames(trash + "/directorysizes"), entries) << "a run lost the other's lines";

    if (std::system("command -v trash-list >/dev/null 2>&1") == 0) {
        const std::string listing = commandOutput("XDG_DATA_HOME='" + root + "/data' trash-list 2>/dev/null");
        EXPECT_EQ(std::count(listing.begin(), listing.end(), '\n'), 2 * kFoldersPerRun) << listing;
    }
}

TEST(ReclaimerConcurrentRuns, Inner) {
    const char* folder = std::getenv(kRunVariable);
    if (!folder) GTEST_SKIP() << "run by TwoRunsOfSameNamedFoldersKeepEveryDirectorySizesLine";
    std::vector<FileNode> nodes;
    for (int i = 0; i < kFoldersPerRun; ++i)
        nodes.push_back(testing::folder(std::string(folder) + "/folder " + std::to_string(i), {}));
    char go = 0;
    ASSERT_EQ(::read(kGateDescriptor, &go, 1), 1);
    const Reclaimer::Outcome outcome = Reclaimer(ReclaimerServices::current()).reclaim(nodes, {});
    EXPECT_EQ(outcome.succeeded.size(), nodes.size());
    EXPECT_TRUE(outcome.failures.empty());
}

} // namespace
} // namespace quillmere
