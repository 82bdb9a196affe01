#include "BareWalk.hpp"

#include "platform/Fd.hpp"
#include "platform/ParallelWalk.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <vector>

namespace quillmere::bench {
namespace {

// One thread's totals, alone on its cache line.
struct alignas(64) Tally {
    int64_t files = 0;
    int64_t folders = 0;
    int64_t bytes = 0;
};

} // namespace

BareWalkTotals bareWalk(const std::string& root, int threads) {
    platform::Fd rootFd(::open(root.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!rootFd) return {};
    std::vector<Tally> tallies(static_cast<size_t>(std::max(threads, 1)));
    platform::LinkedInodes linked;
    const bool ok = platform::walkTree(std::move(rootFd), threads, [&](int worker, const struct stat& info) {
        Tally& tally = tallies[static_cast<size_t>(worker)];
        if (S_ISDIR(info.st_mode)) {
            ++tally.folders;
            return;
        }
        ++tally.files;
        if (info.st_nlink > 1 && !linked.insert(info.st_dev, info.st_ino)) return;
        tally.bytes += static_cast<int64_t>(info.st_blocks) * 512;
    });
    BareWalkTotals totals{.folders = 1, .ok = ok};
    for (const Tally& tally : tallies) {
        totals.files += tally.files;
        totals.folders += tally.folders;
        totals.allocatedBytes += tally.bytes;
    }
    return totals;
}

} // namespace quillmere::bench
