// Scans on a machine, or under an affinity mask, with a single processor. The mask is set
// before anything starts the task pool, so the pool has no worker thread at all, as under
// `taskset -c 0`.
#include "scan/DiskScanner.hpp"

#include <chrono>
#include <filesystem>
#include <fstream>
#include <future>
#include <gtest/gtest.h>
#include <sched.h>
#include <thread>

namespace quillmere {
namespace {

namespace fs = std::filesystem;

TEST(OneProcessor, AStreamedScanEnds) {
    cpu_set_t mask;
    ASSERT_EQ(::sched_getaffinity(0, sizeof mask, &mask), 0);
    ASSERT_EQ(CPU_COUNT(&mask), 1);

    const fs::path root = fs::temp_directory_path() / ("quillmere-one-cpu-" + std::to_string(::getpid()));
    for (int top = 0; top < 4; ++top)
        for (int file = 0; file < 300; ++file) {
            fs::create_directories(root / std::to_string(top) / "sub");
            std::ofstream(root / std::to_string(top) / "sub" / ("f" + std::to_string(file))) << "x";
        }
    auto stream =
        std::make_shared<ScanEventStream>(DiskScanner(200).scan(root.string(), nullptr, true, "/nowhere"));
    auto reading = std::make_shared<std::packaged_task<int64_t()>>([stream] {
        int64_t files = -1;
        while (std::optional<ScanEvent> event = stream->next())
            if (const auto* result = std::get_if<DiskScanResult>(&*event)) files = result->root.fileCount();
        return files;
    });
    std::future<int64_t> files = reading->get_future();
    std::thread([reading] { (*reading)(); }).detach();
    // A scan that never ends fails here instead of hanging the suite.
    ASSERT_EQ(files.wait_for(std::chrono::seconds(60)), std::future_status::ready) << "the scan never ended";
    EXPECT_EQ(files.get(), 1200);
    fs::remove_all(root);
}

} // namespace
} // namespace quillmere

int main(int argc, char** argv) {
    cpu_set_t one;
    CPU_ZERO(&one);
    cpu_set_t current;
    if (::sched_getaffinity(0, sizeof current, &current) == 0)
        for (int cpu = 0; cpu < CPU_SETSIZE; ++cpu)
            if (CPU_ISSET(cpu, &current)) {
                CPU_SET(cpu, &one);
                break;
            }
    ::sched_setaffinity(0, sizeof one, &one);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
