#pragma once

#include "base/FunctionRef.hpp"
#include "platform/Fd.hpp"

#include <cstddef>
#include <cstdint>
#include <string>

namespace quillmere {

struct ScanContext;

// How one scan shares out the descriptors the process may still open, so that its walkers,
// each holding at most `framesPerWalker` folders open (and one more for a moment), never ask
// for more than are left: (rootWalks + childWalks) × (framesPerWalker + 1) + childWalks, the
// last for child walks queued with their folder already open.
struct DescriptorPlan {
    int childWalks = 0;         // units of the concurrency budget
    size_t rootWalks = 0;       // root entries walked at once
    size_t framesPerWalker = 0; // open folders a walker keeps

    bool operator==(const DescriptorPlan&) const = default;
    int64_t mostOpenAtOnce() const;
};

inline constexpr size_t kDefaultFramesPerWalker = 16;

// The plan for a limit of `limit` descriptors with `alreadyOpen` open, `processors` active and
// `rootTasks` root entry tasks wanted: the usual one (kDefaultFramesPerWalker frames, the
// budget of max(4 × processors, 8), every root task at once) when it fits, else frames, child
// walks and root walks cut down in that order, to one root walk of two frames at the least.
DescriptorPlan planDescriptors(int64_t limit, int64_t alreadyOpen, int processors, size_t rootTasks);

// Opens the folder `name` in `directoryFd` through the scan's host. When the process has no
// descriptor to spare (EMFILE, ENFILE), `shed` closes what the caller can spare and the open is
// tried again whenever a descriptor comes back: a shortage never makes a folder denied. Only a
// cancelled scan (or minutes without a descriptor) stops the wait, with the shortage's errno.
platform::Fd openFolderWaiting(ScanContext& context, int directoryFd, const char* name,
                               FunctionRef<void()> shed);
// The same for the scan root, opened by path.
platform::Fd openRootWaiting(ScanContext& context, const std::string& path);

} // namespace quillmere
