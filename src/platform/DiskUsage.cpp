#include "platform/DiskUsage.hpp"

#include "platform/HostSystem.hpp"
#include "platform/OwnedFd.hpp"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <mutex>
#include <string>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <thread>
#include <unordered_set>
#include <vector>

namespace quillmere::platform {
namespace {

constexpr size_t kListingBufferSize = 64 * 1024;
// More threads than this only queue on the same disk.
constexpr int kMaxThreads = 8;

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

// A folder being walked: its descriptor and the subfolders still to visit.
struct Frame {
    OwnedFd fd;
    std::string subfolders; // names, each followed by a NUL
    size_t next = 0;
};

// Folders waiting for a thread. A thread that runs out takes one; a thread with more than it
// needs hands one over only while another waits, so the queue stays as short as the idle crew.
class FolderQueue {
public:
    explicit FolderQueue(int threads) : threads_(threads) {}

    // The next folder, or nothing once every thread is idle and the queue is empty.
    OwnedFd take() {
        std::unique_lock guard(lock_);
        ++idle_;
        while (folders_.empty()) {
            if (finished_ || idle_ == threads_) {
                finished_ = true;
                ready_.notify_all();
                return OwnedFd();
            }
            waiting_.fetch_add(1, std::memory_order_relaxed);
            ready_.wait(guard);
            waiting_.fetch_sub(1, std::memory_order_relaxed);
        }
        --idle_;
        OwnedFd folder = std::move(folders_.back());
        folders_.pop_back();
        return folder;
    }

    void give(OwnedFd folder) {
        {
            std::lock_guard guard(lock_);
            folders_.push_back(std::move(folder));
        }
        ready_.notify_one();
    }

    bool someoneWaits() const { return waiting_.load(std::memory_order_relaxed) > 0; }

private:
    const int threads_;
    std::mutex lock_;
    std::condition_variable ready_;
    std::vector<OwnedFd> folders_;
    int idle_ = 0;
    bool finished_ = false;
    std::atomic<int> waiting_{0};
};

class UsageWalk {
public:
    UsageWalk(dev_t device, int threads) : device_(device), queue_(threads) {}

    void count(const struct stat& info) {
        if (!S_ISDIR(info.st_mode) && info.st_nlink > 1) {
            std::lock_guard guard(linkedLock_);
            if (!linked_.insert({info.st_dev, info.st_ino}).second) return;
        }
        bytes_.fetch_add(static_cast<int64_t>(info.st_blocks) * 512, std::memory_order_relaxed);
    }

    void start(OwnedFd root) { queue_.give(std::move(root)); }

    // One thread's share: folders from the queue until the walk is over. A failure inside a
    // folder (memory) marks the total unknown but never stops the hand-over protocol.
    void work() {
        std::unique_ptr<char[]> buffer;
        try {
            buffer.reset(new char[kListingBufferSize]);
        } catch (...) {
            failed_ = true;
        }
        for (OwnedFd folder = queue_.take(); folder; folder = queue_.take()) {
            if (!buffer) continue;
            try {
                walkFrom(std::move(folder), buffer.get());
            } catch (...) {
                failed_ = true;
            }
        }
    }

    std::optional<int64_t> total() const {
        if (failed_) return std::nullopt;
        return bytes_.load();
    }

private:
    void walkFrom(OwnedFd root, char* buffer) {
        std::vector<Frame> frames;
        frames.push_back(list(std::move(root), buffer));
        while (!frames.empty()) {
            Frame& top = frames.back();
            if (top.next >= top.subfolders.size()) {
                frames.pop_back();
                continue;
            }
            const char* name = top.subfolders.data() + top.next;
            top.next += std::strlen(name) + 1;
            OwnedFd child(::openat(top.fd.get(), name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
            // A folder whose last subfolder is open is done with: dropping it now keeps a deep
            // chain from holding one descriptor per level.
            if (top.next >= top.subfolders.size()) frames.pop_back();
            if (!child) continue;
            if (queue_.someoneWaits())
                queue_.give(std::move(child));
            else
                frames.push_back(list(std::move(child), buffer));
        }
    }

    Frame list(OwnedFd fd, char* buffer) {
        Frame frame{std::move(fd), {}};
        while (true) {
            const long read = ::syscall(SYS_getdents64, frame.fd.get(), buffer, kListingBufferSize);
            if (read <= 0) break;
            for (long offset = 0; offset < read;) {
                const char* record = buffer + offset;
                unsigned short length = 0;
                std::memcpy(&length, record + 16, sizeof length);
                offset += length;
                const char* name = record + 19;
                if (name[0] == '.' && (name[1] == 0 || (name[1] == '.' && name[2] == 0))) continue;
                struct stat info {};
                if (::fstatat(frame.fd.get(), name, &info, AT_SYMLINK_NOFOLLOW) != 0) continue;
                if (S_ISDIR(info.st_mode) && info.st_dev != device_) continue;
                count(info);
                if (S_ISDIR(info.st_mode)) frame.subfolders.append(name, std::strlen(name) + 1);
            }
        }
        return frame;
    }

    const dev_t device_;
    FolderQueue queue_;
    std::mutex linkedLock_;
    std::unordered_set<InodeKey, InodeKeyHash> linked_;
    std::atomic<int64_t> bytes_{0};
    std::atomic<bool> failed_{false};
};

} // namespace

std::optional<int64_t> diskUsageOfDirectory(int directoryFd) {
    OwnedFd own(::openat(directoryFd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!own) return std::nullopt;
    struct stat info {};
    if (::fstat(own.get(), &info) != 0) return std::nullopt;
    const int wanted = std::clamp(activeProcessorCount(), 1, kMaxThreads);
    // Threads that cannot be started are simply not counted in the crew.
    std::vector<std::thread> helpers;
    auto walk = std::make_unique<UsageWalk>(info.st_dev, wanted);
    try {
        helpers.reserve(static_cast<size_t>(wanted - 1));
    } catch (...) {
        return std::nullopt;
    }
    // The crew size must be known before anyone takes from the queue, so threads are started
    // first and the walk rebuilt for the crew that really exists when some fail to start.
    std::atomic<bool> go{false};
    std::atomic<int> crew{1};
    std::mutex startLock;
    std::condition_variable started;
    for (int i = 1; i < wanted; ++i) {
        try {
            helpers.emplace_back([&] {
                std::unique_lock guard(startLock);
                started.wait(guard, [&] { return go.load(); });
                guard.unlock();
                walk->work();
            });
            ++crew;
        } catch (...) {
            break;
        }
    }
    if (crew.load() != wanted) walk = std::make_unique<UsageWalk>(info.st_dev, crew.load());
    walk->count(info);
    walk->start(std::move(own));
    {
        std::lock_guard guard(startLock);
        go = true;
    }
    started.notify_all();
    walk->work();
    for (std::thread& helper : helpers)
        helper.join();
    return walk->total();
}

} // namespace quillmere::platform
