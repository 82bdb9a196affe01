#include "platform/Descriptors.hpp"

#include <atomic>
#include <condition_variable>
#include <dirent.h>
#include <limits>
#include <mutex>
#include <sys/resource.h>

namespace quillmere::platform {
namespace {

struct Releases {
    std::mutex lock;
    std::condition_variable released;
    std::atomic<int> waiters{0};
    uint64_t generation = 0;
};

Releases& releases() {
    static Releases shared;
    return shared;
}

int64_t asCount(rlim_t value) {
    constexpr int64_t kMax = std::numeric_limits<int64_t>::max();
    return value == RLIM_INFINITY || value > static_cast<rlim_t>(kMax) ? kMax : static_cast<int64_t>(value);
}

} // namespace

int64_t raiseDescriptorLimit() {
    rlimit limit{};
    if (::getrlimit(RLIMIT_NOFILE, &limit) != 0) return 0;
    if (limit.rlim_cur < limit.rlim_max) {
        rlimit raised = limit;
        raised.rlim_cur = limit.rlim_max;
        if (::setrlimit(RLIMIT_NOFILE, &raised) == 0) limit = raised;
    }
    return asCount(limit.rlim_cur);
}

int64_t descriptorLimit() {
    rlimit limit{};
    return ::getrlimit(RLIMIT_NOFILE, &limit) == 0 ? asCount(limit.rlim_cur) : 0;
}

int64_t openDescriptorCount() {
    DIR* folder = ::opendir("/proc/self/fd");
    if (!folder) return descriptorLimit() / 2;
    int64_t count = -1; // the listing's own descriptor
    while (const dirent* entry = ::readdir(folder))
        if (entry->d_name[0] != '.') ++count;
    ::closedir(folder);
    return count < 0 ? 0 : count;
}

void noteDescriptorReleased() noexcept {
    Releases& shared = releases();
    if (shared.waiters.load(std::memory_order_relaxed) == 0) return;
    {
        std::lock_guard guard(shared.lock);
        ++shared.generation;
    }
    shared.released.notify_all();
}

void waitForReleasedDescriptor(std::chrono::milliseconds slice) {
    Releases& shared = releases();
    std::unique_lock guard(shared.lock);
    shared.waiters.fetch_add(1);
    const uint64_t seen = shared.generation;
    shared.released.wait_for(guard, slice, [&] { return shared.generation != seen; });
    shared.waiters.fetch_sub(1);
}

} // namespace quillmere::platform
