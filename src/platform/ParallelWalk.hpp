#pragma once

#include "platform/Fd.hpp"

#include <array>
#include <functional>
#include <mutex>
#include <sys/stat.h>
#include <sys/types.h>
#include <unordered_set>

namespace quillmere::platform {

// Walks everything below the folder open at `root` on up to `threads` threads (the calling
// thread among them), with only openat, getdents64 and one no-follow fstatat per entry.
// `visit(worker, info)` gets every entry but "." and ".."; `worker` (0 to threads − 1) names
// the calling thread, so a visitor can keep per-thread tallies, and calls with different
// workers run at the same time. Folders on the root's file system are entered; links are
// never followed. A deep chain holds few descriptors: a folder is closed as soon as its last
// subfolder is open. Returns false when part of the tree was left out because memory ran out.
bool walkTree(Fd root, int threads,
              const std::function<void(int worker, const struct stat& info)>& visit);

// Hard-linked inodes seen so far, safe for several threads; sharded so they rarely meet on a lock.
class LinkedInodes {
public:
    // True the first time an inode is seen.
    bool insert(dev_t device, ino_t inode);

private:
    struct Key {
        dev_t device;
        ino_t inode;
        bool operator==(const Key&) const = default;
    };
    struct KeyHash {
        size_t operator()(const Key& key) const;
    };
    struct Shard {
        std::mutex lock;
        std::unordered_set<Key, KeyHash> keys;
    };
    std::array<Shard, 64> shards_;
};

} // namespace quillmere::platform
