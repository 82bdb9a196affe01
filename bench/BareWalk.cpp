#include "BareWalk.hpp"

#include <array>
#include <atomic>
#include <condition_variable>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <mutex>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <thread>
#include <unistd.h>
#include <unordered_set>
#include <vector>

namespace quillmere::bench {
namespace {

constexpr size_t kListingBufferSize = 64 * 1024;

struct InodeKey {
    dev_t device;
    ino_t inode;
    bool operator==(const InodeKey&) const = default;
};

struct InodeKeyHash {
    size_t operator()(const InodeKey& key) const {
        return std::hash<uint64_t>()(static_cast<uint64_t>(key.inode) * 0x9e3779b97f4a7c15ULL ^ key.device);
    }
};

// Hard-linked inodes seen so far; sharded so threads rarely meet on one lock.
class LinkedInodes {
public:
    bool insert(const InodeKey& key) {
        Shard& shard = shards_[InodeKeyHash()(key) % shards_.size()];
        std::lock_guard guard(shard.lock);
        return shard.keys.insert(key).second;
    }

private:
    struct Shard {
        std::mutex lock;
        std::unordered_set<InodeKey, InodeKeyHash> keys;
    };
    std::array<Shard, 64> shards_;
};

class Walk {
public:
    Walk(int threads, dev_t device) : threads_(threads), device_(device) {}

    void run(int rootFd) {
        queue_.push_back(rootFd);
        folders_ = 1;
        std::vector<std::thread> workers;
        for (int i = 0; i < threads_; ++i)
            workers.emplace_back([this] { work(); });
        for (std::thread& worker : workers)
            worker.join();
    }

    BareWalkTotals totals() const { return {files_.load(), folders_.load(), bytes_.load(), true}; }

private:
    // A folder being walked depth first: its descriptor and its subfolders still to visit.
    struct Frame {
        int fd;
        std::string subfolders; // names, each followed by a NUL
        size_t next = 0;
    };

    void work() {
        std::unique_ptr<char[]> buffer(new char[kListingBufferSize]);
        Tally tally;
        for (int fd = take(); fd >= 0; fd = take())
            walkFrom(fd, buffer.get(), tally);
        files_ += tally.files;
        folders_ += tally.folders;
        bytes_ += tally.bytes;
    }

    struct Tally {
        int64_t files = 0;
        int64_t folders = 0;
        int64_t bytes = 0;
    };

    // Walks locally depth first, handing a subfolder to the shared queue whenever a worker
    // waits for work, so everyone stays busy without a lock per folder.
    void walkFrom(int rootFd, char* buffer, Tally& tally) {
        std::vector<Frame> frames;
        frames.push_back(list(rootFd, buffer, tally));
        while (!frames.empty()) {
            Frame& top = frames.back();
            if (top.next >= top.subfolders.size()) {
                ::close(top.fd);
                frames.pop_back();
                continue;
            }
            const char* name = top.subfolders.data() + top.next;
            top.next += std::strlen(name) + 1;
            const int childFd = ::openat(top.fd, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
            // A folder whose last subfolder is open is done with: closing it now keeps a deep
            // chain from holding one descriptor per level.
            if (top.next >= top.subfolders.size()) {
                ::close(top.fd);
                frames.pop_back();
            }
            if (childFd < 0) continue;
            if (waiting_.load(std::memory_order_relaxed) > 0) {
                give(childFd);
                continue;
            }
            frames.push_back(list(childFd, buffer, tally));
        }
    }

    Frame list(int fd, char* buffer, Tally& tally) {
        Frame frame{fd, {}};
        while (true) {
            const long read = ::syscall(SYS_getdents64, fd, buffer, kListingBufferSize);
            if (read <= 0) break;
            for (long offset = 0; offset < read;) {
                const char* record = buffer + offset;
                unsigned short length = 0;
                std::memcpy(&length, record + 16, sizeof length);
                offset += length;
                const char* name = record + 19;
                if (name[0] == '.' && (name[1] == 0 || (name[1] == '.' && name[2] == 0))) continue;
                struct stat info {};
                if (::fstatat(fd, name, &info, AT_SYMLINK_NOFOLLOW) != 0) continue;
                if (S_ISDIR(info.st_mode)) {
                    ++tally.folders;
                    if (info.st_dev == device_) frame.subfolders.append(name, std::strlen(name) + 1);
                    continue;
                }
                ++tally.files;
                if (info.st_nlink > 1 && !linked_.insert({info.st_dev, info.st_ino})) continue;
                tally.bytes += static_cast<int64_t>(info.st_blocks) * 512;
            }
        }
        return frame;
    }

    int take() {
        std::unique_lock guard(lock_);
        ++idle_;
        while (queue_.empty()) {
            if (finished_ || idle_ == threads_) {
                finished_ = true;
                ready_.notify_all();
                return -1;
            }
            waiting_.fetch_add(1, std::memory_order_relaxed);
            ready_.wait(guard);
            waiting_.fetch_sub(1, std::memory_order_relaxed);
        }
        --idle_;
        const int fd = queue_.back();
        queue_.pop_back();
        return fd;
    }

    void give(int fd) {
        {
            std::lock_guard guard(lock_);
            queue_.push_back(fd);
        }
        ready_.notify_one();
    }

    const int threads_;
    const dev_t device_;
    std::mutex lock_;
    std::condition_variable ready_;
    std::vector<int> queue_;
    int idle_ = 0;
    bool finished_ = false;
    std::atomic<int> waiting_{0};
    LinkedInodes linked_;
    std::atomic<int64_t> files_{0};
    std::atomic<int64_t> folders_{0};
    std::atomic<int64_t> bytes_{0};
};

} // namespace

BareWalkTotals bareWalk(const std::string& root, int threads) {
    const int rootFd = ::open(root.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (rootFd < 0) return {};
    struct stat info {};
    if (::fstat(rootFd, &info) != 0) {
        ::close(rootFd);
        return {};
    }
    Walk walk(threads, info.st_dev);
    walk.run(rootFd);
    return walk.totals();
}

} // namespace quillmere::bench
