#include "platform/ParallelWalk.hpp"

#include <atomic>
#include <condition_variable>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <string>
#include <sys/syscall.h>
#include <thread>
#include <vector>

namespace quillmere::platform {
namespace {

constexpr size_t kListingBufferSize = 64 * 1024;

using Visitor = std::function<void(int worker, const struct stat& info)>;

// A folder being walked: its descriptor and the subfolders still to visit.
struct Frame {
    Fd fd;
    std::string subfolders; // names, each followed by a NUL
    size_t next = 0;
};

// Folders waiting for a thread. A thread that runs out takes one; a thread with more than it
// needs hands one over only while another waits, so the queue stays as short as the idle crew.
class FolderQueue {
public:
    explicit FolderQueue(int threads) : threads_(threads) {}

    // The next folder, or nothing once every thread is idle and the queue is empty.
    Fd take() {
        std::unique_lock guard(lock_);
        ++idle_;
        while (folders_.empty()) {
            if (finished_ || idle_ == threads_) {
                finished_ = true;
                ready_.notify_all();
                return Fd();
            }
            waiting_.fetch_add(1, std::memory_order_relaxed);
            ready_.wait(guard);
            waiting_.fetch_sub(1, std::memory_order_relaxed);
        }
        --idle_;
        Fd folder = std::move(folders_.back());
        folders_.pop_back();
        return folder;
    }

    void give(Fd folder) {
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
    std::vector<Fd> folders_;
    int idle_ = 0;
    bool finished_ = false;
    std::atomic<int> waiting_{0};
};

class TreeWalk {
public:
    TreeWalk(dev_t device, int threads, const Visitor& visit)
        : device_(device), queue_(threads), visit_(visit) {}

    void start(Fd root) { queue_.give(std::move(root)); }

    // One thread's share: folders from the queue until the walk is over. A failure inside a
    // folder marks the walk incomplete but never stops the hand-over, so every thread ends.
    void work(int worker) {
        std::unique_ptr<char[]> buffer;
        try {
            buffer.reset(new char[kListingBufferSize]);
        } catch (...) {
            failed_ = true;
        }
        for (Fd folder = queue_.take(); folder; folder = queue_.take()) {
            if (!buffer) continue;
            try {
                walkFrom(std::move(folder), buffer.get(), worker);
            } catch (...) {
                failed_ = true;
            }
        }
    }

    bool complete() const { return !failed_; }

private:
    void walkFrom(Fd root, char* buffer, int worker) {
        std::vector<Frame> frames;
        frames.push_back(list(std::move(root), buffer, worker));
        while (!frames.empty()) {
            Frame& top = frames.back();
            if (top.next >= top.subfolders.size()) {
                frames.pop_back();
                continue;
            }
            const char* name = top.subfolders.data() + top.next;
            top.next += std::strlen(name) + 1;
            Fd child(::openat(top.fd.get(), name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
            if (top.next >= top.subfolders.size()) frames.pop_back();
            if (!child) continue;
            if (queue_.someoneWaits())
                queue_.give(std::move(child));
            else
                frames.push_back(list(std::move(child), buffer, worker));
        }
    }

    Frame list(Fd fd, char* buffer, int worker) {
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
                visit_(worker, info);
                if (S_ISDIR(info.st_mode) && info.st_dev == device_)
                    frame.subfolders.append(name, std::strlen(name) + 1);
            }
        }
        return frame;
    }

    const dev_t device_;
    FolderQueue queue_;
    const Visitor& visit_;
    std::atomic<bool> failed_{false};
};

} // namespace

bool walkTree(Fd root, int threads, const Visitor& visit) {
    struct stat info {};
    if (!root || ::fstat(root.get(), &info) != 0) return false;
    threads = std::max(threads, 1);
    // Helpers wait for the word to go, so the crew's size is known before anyone takes from the
    // queue; a helper that cannot be started leaves a smaller crew.
    std::vector<std::thread> helpers;
    std::unique_ptr<TreeWalk> walk;
    std::mutex startLock;
    std::condition_variable started;
    bool go = false;
    try {
        helpers.reserve(static_cast<size_t>(threads - 1));
        for (int worker = 1; worker < threads; ++worker)
            helpers.emplace_back([&, worker] {
                std::unique_lock guard(startLock);
                started.wait(guard, [&] { return go; });
                guard.unlock();
                walk->work(worker);
            });
    } catch (...) {
    }
    bool complete = false;
    try {
        walk = std::make_unique<TreeWalk>(info.st_dev, static_cast<int>(helpers.size()) + 1, visit);
        walk->start(std::move(root));
    } catch (...) {
        walk.reset();
    }
    // Without a walk the helpers have nothing to do: a one-thread stand-in with no folders ends them.
    if (!walk)
        walk = std::make_unique<TreeWalk>(info.st_dev, static_cast<int>(helpers.size()) + 1, visit);
    else
        complete = true;
    {
        std::lock_guard guard(startLock);
        go = true;
    }
    started.notify_all();
    walk->work(0);
    for (std::thread& helper : helpers)
        helper.join();
    return complete && walk->complete();
}

bool LinkedInodes::insert(dev_t device, ino_t inode) {
    const Key key{device, inode};
    Shard& shard = shards_[KeyHash()(key) % shards_.size()];
    std::lock_guard guard(shard.lock);
    return shard.keys.insert(key).second;
}

size_t LinkedInodes::KeyHash::operator()(const Key& key) const {
    return std::hash<uint64_t>()(static_cast<uint64_t>(key.inode) * 0x9e3779b97f4a7c15ULL ^ key.device);
}

} // namespace quillmere::platform
