#include "systemdata/CommandRunner.hpp"

#include "SystemDataTestSupport.hpp"

#include <chrono>
#include <csignal>
#include <gtest/gtest.h>
#include <thread>

namespace quillmere {
namespace {

using testing::ScratchFolder;
using testing::writeScript;

double secondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

bool processExists(pid_t pid) {
    return ::kill(pid, 0) == 0 || errno != ESRCH;
}

TEST(CommandRunnerTest, MissingOrNonExecutableToolsAreNotFoundWithoutStartingAnything) {
    ScratchFolder scratch;
    EXPECT_EQ(runCommand(scratch / "nope", {}, 1.0),
              (CommandResult{"", "not found: " + scratch / "nope", -1}));
    testing::writeFile(scratch / "plain", 10);
    EXPECT_EQ(runCommand(scratch / "plain", {}, 1.0).errorOutput, "not found: " + scratch / "plain");
    EXPECT_EQ(runCommand(scratch.path(), {}, 1.0).exitCode, -1); // a folder
    EXPECT_EQ(runCommand("relative/tool", {}, 1.0).errorOutput, "not found: relative/tool");
}

TEST(CommandRunnerTest, OutputsAndStatusComeBackApartAndUnchanged) {
    ScratchFolder scratch;
    const auto tool = writeScript(scratch / "tool", "echo \"out $1 $LC_ALL\"; echo err >&2; exit 3");
    EXPECT_EQ(runCommand(tool, {"a b"}, 1.0), (CommandResult{"out a b C\n", "err\n", 3}));
    // Standard input is /dev/null: a tool reading it ends at once.
    const auto reader = writeScript(scratch / "reader", "cat; echo done");
    EXPECT_EQ(runCommand(reader, {}, 1.0).output, "done\n");
}

TEST(CommandRunnerTest, InvalidUtf8IsEmptyTextWithTheRealStatus) {
    ScratchFolder scratch;
    const auto tool = writeScript(scratch / "tool", "printf '\\377\\376ok'; printf 'fine' >&2; exit 0");
    const CommandResult result = runCommand(tool, {}, 1.0);
    EXPECT_EQ(result.output, "");
    EXPECT_EQ(result.errorOutput, "fine");
    EXPECT_EQ(result.exitCode, 0);
}

TEST(CommandRunnerTest, LargeOutputIsDrainedWhileTheToolRuns) {
    ScratchFolder scratch;
    // 1 MiB is far beyond a pipe's buffer: read only after exit, this would time out.
    const auto tool =
        writeScript(scratch / "tool", "head -c 1048576 /dev/zero | tr '\\0' 'x'; head -c 200000 "
                                      "/dev/zero | tr '\\0' 'e' >&2");
    const CommandResult result = runCommand(tool, {}, 5.0);
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(result.output.size(), 1048576u);
    EXPECT_EQ(result.errorOutput.size(), 200000u);
    // Beyond the cap the output is not offered at all, but the tool still runs to its end.
    const auto flood = writeScript(scratch / "flood", "head -c 5000000 /dev/zero | tr '\\0' 'x'");
    const CommandResult flooded = runCommand(flood, {}, 5.0);
    EXPECT_EQ(flooded.exitCode, 0);
    EXPECT_EQ(flooded.output, "");
}

TEST(CommandRunnerTest, ASleepPastTheTimeoutEndsAfterAboutASecondAndLeavesNoChild) {
    ScratchFolder scratch;
    const auto tool = writeScript(scratch / "tool", "echo $$ > '" + scratch / "pid" + "'; exec sleep 30");
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(runCommand(tool, {}, 1.0), (CommandResult{"", "timed out after 1.0s", -1}));
    const double took = secondsSince(start);
    EXPECT_GE(took, 0.95);
    EXPECT_LT(took, 2.0);
    pid_t pid = 0;
    std::ifstream(scratch / "pid") >> pid;
    ASSERT_GT(pid, 0);
    EXPECT_FALSE(processExists(pid));
}

TEST(CommandRunnerTest, AToolIgnoringTerminateIsKilledAndReaped) {
    ScratchFolder scratch;
    const auto tool = writeScript(scratch / "tool", "trap '' TERM; echo $$ > '" + scratch / "pid" +
                                                        "'; while :; do sleep 0.05; done");
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(runCommand(tool, {}, 0.3).errorOutput, "timed out after 0.3s");
    EXPECT_LT(secondsSince(start), 1.5);
    pid_t pid = 0;
    std::ifstream(scratch / "pid") >> pid;
    ASSERT_GT(pid, 0);
    EXPECT_FALSE(processExists(pid)); // killed and reaped: not even a zombie remains
}

TEST(CommandRunnerTest, SecondsAreWrittenAsTheShortestDecimal) {
    EXPECT_EQ(shortestSecondsText(1.0), "1.0");
    EXPECT_EQ(shortestSecondsText(0.25), "0.25");
    EXPECT_EQ(shortestSecondsText(12), "12.0");
}

} // namespace
} // namespace quillmere
