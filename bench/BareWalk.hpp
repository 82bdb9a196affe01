#pragma once

#include <cstdint>
#include <string>

namespace quillmere::bench {

struct BareWalkTotals {
    int64_t files = 0;          // every entry that is not a folder
    int64_t folders = 0;        // including the root
    int64_t allocatedBytes = 0; // blocks × 512, each hard-linked inode once
    bool ok = false;
};

// The floor for a scan's wall time: the same system calls a scan needs (openat, getdents64,
// one no-follow fstatat per entry) on `threads` threads, keeping nothing but totals.
// Stays on the root's file system, like `du -x`.
BareWalkTotals bareWalk(const std::string& root, int threads);

} // namespace quillmere::bench
