#include "platform/DiskUsage.hpp"

#include "platform/Fd.hpp"
#include "platform/HostSystem.hpp"
#include "platform/ParallelWalk.hpp"

#include <algorithm>
#include <fcntl.h>
#include <sys/stat.h>
#include <vector>

namespace quillmere::platform {
namespace {

// More threads than this only queue on the same disk.
constexpr int kMaxThreads = 8;

// One thread's sum, alone on its cache line.
struct alignas(64) Tally {
    int64_t bytes = 0;
};

} // namespace

std::optional<int64_t> diskUsageOfDirectory(int directoryFd, int threadCount) {
    Fd own(::openat(directoryFd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!own) return std::nullopt;
    struct stat info {};
    if (::fstat(own.get(), &info) != 0) return std::nullopt;
    const int threads = std::clamp(threadCount > 0 ? threadCount : activeProcessorCount(), 1, kMaxThreads);
    std::vector<Tally> tallies(static_cast<size_t>(threads));
    LinkedInodes linked;
    const dev_t device = info.st_dev;
    const bool complete = walkTree(std::move(own), threads, [&](int worker, const struct stat& entry) {
        // Like du -x: folders of other file systems are not counted at all.
        if (S_ISDIR(entry.st_mode) && entry.st_dev != device) return;
        if (!S_ISDIR(entry.st_mode) && entry.st_nlink > 1 && !linked.insert(entry.st_dev, entry.st_ino))
            return;
        tallies[static_cast<size_t>(worker)].bytes += allocatedBytesOf(entry);
    });
    if (!complete) return std::nullopt;
    int64_t total = allocatedBytesOf(info);
    for (const Tally& tally : tallies)
        total += tally.bytes;
    return total;
}

} // namespace quillmere::platform
