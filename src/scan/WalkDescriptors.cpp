#include "scan/WalkDescriptors.hpp"

#include "platform/Descriptors.hpp"
#include "scan/ScanContext.hpp"

#include <algorithm>

namespace quillmere {
namespace {

// Left for the rest of the process: the window, other scans starting, the Trash, logging.
int64_t reserveFor(int64_t limit) {
    return std::max<int64_t>(8, limit / 16);
}

} // namespace

int64_t DescriptorPlan::mostOpenAtOnce() const {
    const auto walkers = static_cast<int64_t>(rootWalks) + childWalks;
    return walkers * (static_cast<int64_t>(framesPerWalker) + 1) + childWalks;
}

DescriptorPlan planDescriptors(int64_t limit, int64_t alreadyOpen, int processors, size_t rootTasks) {
    const int64_t available = limit - alreadyOpen - reserveFor(limit);
    DescriptorPlan plan{.childWalks = ConcurrencyBudget::unitsFor(processors),
                        .rootWalks = std::max<size_t>(rootTasks, 1),
                        .framesPerWalker = kDefaultFramesPerWalker};
    if (plan.mostOpenAtOnce() <= available) return plan;
    // Root entries beyond the processors would only wait for a thread.
    plan.rootWalks = std::min(plan.rootWalks, static_cast<size_t>(std::max(processors, 1)));
    while (plan.mostOpenAtOnce() > available && plan.framesPerWalker > 2)
        plan.framesPerWalker = std::max<size_t>(plan.framesPerWalker / 2, 2);
    while (plan.mostOpenAtOnce() > available && plan.childWalks > 0)
        --plan.childWalks;
    while (plan.mostOpenAtOnce() > available && plan.rootWalks > 1)
        --plan.rootWalks;
    return plan;
}

platform::Fd openFolderWaiting(ScanContext& context, int directoryFd, const char* name,
                               FunctionRef<void()> shed) {
    bool shedding = false;
    return platform::Fd(platform::openWaitingForDescriptor(
        [&] {
            if (shedding) shed();
            shedding = true;
            return context.host.openDirectoryAt(directoryFd, name).release();
        },
        [&] { return context.isCancelled(); }));
}

platform::Fd openRootWaiting(ScanContext& context, const std::string& path) {
    return platform::Fd(platform::openWaitingForDescriptor(
        [&] { return context.host.openRoot(path).release(); }, [&] { return context.isCancelled(); }));
}

} // namespace quillmere
