#include "systemdata/FolderSizing.hpp"

#include "base/PathText.hpp"
#include "platform/DiskUsage.hpp"
#include "systemdata/DirectoryListing.hpp"

#include <algorithm>
#include <cerrno>
#include <condition_variable>
#include <fcntl.h>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>

namespace quillmere {
namespace {

// Pending folders beyond this many call in another thread.
constexpr size_t kSpreadThreshold = 16;
constexpr int kMaxWalkThreads = 8;

int64_t allocatedBytes(const struct stat& info) {
    return platform::allocatedBytesOf(info);
}

// An open folder shared by the subfolders still waiting to be opened from it.
class SharedDirectory {
public:
    explicit SharedDirectory(platform::Fd fd) : fd_(std::move(fd)) {}
    int fd() const { return fd_.get(); }

private:
    platform::Fd fd_;
};

struct PendingFolder {
    std::shared_ptr<SharedDirectory> parent; // null for the walk's root (name is then its path)
    std::string name;
    int64_t ownBytes = 0; // its own blocks: the estimate when it turns out unreadable
};

void refuse(FolderSize& tally, const PendingFolder& folder) {
    ++tally.unreadableCount;
    tally.deniedBytesEstimate += folder.ownBytes;
}

// The walk's shared state: a stack of folders still to list (last in, first out, so that few
// folders stay open at once), and the threads that take from it. The calling thread walks
// alone until enough folders are pending to be worth another thread.
class Walk {
public:
    Walk(platform::ScanHost& host, dev_t device, int maxThreads)
        : host_(host), device_(device), maxThreads_(maxThreads) {}

    FolderSize run(PendingFolder root) {
        stack_.push_back(std::move(root));
        work();
        for (std::thread& helper : helpers_)
            helper.join();
        return total_;
    }

private:
    void work() {
        FolderSize tally;
        std::unique_ptr<char[]> buffer(new (std::nothrow) char[kListingBufferSize]);
        for (;;) {
            std::optional<PendingFolder> folder;
            {
                std::unique_lock guard(lock_);
                changed_.wait(guard, [this] { return !stack_.empty() || active_ == 0; });
                if (stack_.empty()) break;
                folder = std::move(stack_.back());
                stack_.pop_back();
                ++active_;
            }
            try {
                if (buffer)
                    list(*folder, buffer.get(), tally);
                else
                    refuse(tally, *folder);
            } catch (...) {
                // Out of memory inside one folder: it counts as unreadable; the walk goes on.
                refuse(tally, *folder);
            }
            folder.reset(); // closes the parent folder once its last subfolder is open
            std::lock_guard guard(lock_);
            if (--active_ == 0) changed_.notify_all();
        }
        std::lock_guard guard(lock_);
        total_ += tally;
    }

    void give(std::vector<PendingFolder>& found) {
        if (found.empty()) return;
        std::lock_guard guard(lock_);
        for (PendingFolder& folder : found)
            stack_.push_back(std::move(folder));
        found.clear();
        if (stack_.size() > kSpreadThreshold && static_cast<int>(helpers_.size()) + 1 < maxThreads_) {
            try {
                helpers_.emplace_back([this] { work(); });
            } catch (const std::system_error&) {
                maxThreads_ = 0; // no more threads to be had; go on with those there are
            }
        }
        changed_.notify_all();
    }

    void list(const PendingFolder& folder, char* buffer, FolderSize& tally) {
        const int parentFd = folder.parent ? folder.parent->fd() : AT_FDCWD;
        platform::Fd opened = host_.openDirectoryAt(parentFd, folder.name.c_str());
        if (!opened) return refuse(tally, folder);
        const int fd = opened.get();
        auto directory = std::make_shared<SharedDirectory>(std::move(opened));
        std::vector<PendingFolder> found;
        const bool complete =
            readDirectoryEntries(host_, fd, buffer, kListingBufferSize, [&](const char* name) {
                if (name[0] == '.') return; // hidden: left out with everything under it
                struct stat info {};
                if (host_.statAt(fd, name, &info) != 0) return;
                if (!S_ISDIR(info.st_mode))
                    tally.bytes += allocatedBytes(info);
                else if (info.st_dev == device_) // other file systems are not entered
                    found.push_back({directory, name, allocatedBytes(info)});
            });
        if (!complete) refuse(tally, folder);
        give(found);
    }

    platform::ScanHost& host_;
    dev_t device_;
    int maxThreads_;
    std::mutex lock_;
    std::condition_variable changed_;
    std::vector<PendingFolder> stack_;
    std::vector<std::thread> helpers_;
    int active_ = 0;
    FolderSize total_;
};

} // namespace

std::optional<FolderSize> sizeFromScanTree(const std::string& folder, const FileNode& scanRoot,
                                           const std::vector<DeniedPath>& deniedPaths) {
    const std::optional<FileNode> node = scanRoot.find(folder);
    if (!node) return std::nullopt;
    FolderSize size{node->allocatedSize(), 0, 0};
    const std::string prefix = folderPrefix(folder);
    for (const DeniedPath& denied : deniedPaths) {
        const std::string url = fileURLPath(denied.url);
        if (pathsEqual(url, folder) || pathStartsWith(url, prefix)) {
            ++size.unreadableCount;
            size.deniedBytesEstimate += denied.estimatedBytes;
        }
    }
    return size;
}

FolderSize directorySize(const std::string& folder, const std::optional<FileNode>& scanRoot,
                         const std::vector<DeniedPath>& deniedPaths, platform::ScanHost& host) {
    const std::string canonical = FileNode::canonicalPath(folder);
    if (scanRoot)
        if (auto size = sizeFromScanTree(canonical, *scanRoot, deniedPaths)) return *size;
    return walkFolderSize(canonical, host);
}

FolderSize walkFolderSize(const std::string& folder, platform::ScanHost& host, int maxThreads) {
    struct stat info {};
    if (host.statAt(AT_FDCWD, folder.c_str(), &info) != 0) {
        // Gone: nothing to enumerate. Refused even a look: one unreadable entry of unknown size.
        if (errno == ENOENT || errno == ENOTDIR) return {};
        return {0, 1, 0};
    }
    if (!S_ISDIR(info.st_mode)) return {};
    if (maxThreads <= 0) maxThreads = std::clamp(host.activeProcessorCount(), 1, kMaxWalkThreads);
    Walk walk(host, info.st_dev, maxThreads);
    return walk.run({nullptr, folder, allocatedBytes(info)});
}

} // namespace quillmere
