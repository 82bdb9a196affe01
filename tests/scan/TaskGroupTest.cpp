#include "scan/TaskGroup.hpp"

#include "platform/HostSystem.hpp"

#include <filesystem>
#include <gtest/gtest.h>
#include <iterator>

namespace quillmere {
namespace {

// The threads of this process, as the system lists them.
long threadCount() {
    const std::filesystem::directory_iterator tasks("/proc/self/task");
    return std::distance(tasks, std::filesystem::directory_iterator());
}

// Each test runs in a process of its own, so the pool is started here for the first time: a
// first scan right after must find all of its threads there, not still being made.
TEST(TaskGroup, StartWorkersReturnsOnceThePoolHasAThreadAProcessor) {
    TaskGroup::startWorkers();
    EXPECT_GE(threadCount(), platform::activeProcessorCount());

    // Started once, it starts nothing more.
    const long started = threadCount();
    TaskGroup::startWorkers();
    EXPECT_EQ(threadCount(), started);
}

} // namespace
} // namespace quillmere
