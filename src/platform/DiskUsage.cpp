#include "platform/DiskUsage.hpp"

#include "platform/OwnedFd.hpp"

#include <cstring>
#include <fcntl.h>
#include <memory>
#include <string>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unordered_set>
#include <vector>

namespace quillmere::platform {
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

// A folder being walked: its descriptor and the subfolders still to visit.
struct Frame {
    OwnedFd fd;
    std::string subfolders; // names, each followed by a NUL
    size_t next = 0;
};

class UsageWalk {
public:
    explicit UsageWalk(dev_t device) : device_(device), buffer_(new char[kListingBufferSize]) {}

    int64_t run(OwnedFd root) {
        std::vector<Frame> frames;
        frames.push_back(list(std::move(root)));
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
            if (child) frames.push_back(list(std::move(child)));
        }
        return bytes_;
    }

    void count(const struct stat& info) {
        if (!S_ISDIR(info.st_mode) && info.st_nlink > 1 && !linked_.insert({info.st_dev, info.st_ino}).second)
            return;
        bytes_ += static_cast<int64_t>(info.st_blocks) * 512;
    }

private:
    Frame list(OwnedFd fd) {
        Frame frame{std::move(fd), {}};
        char* buffer = buffer_.get();
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

    dev_t device_;
    std::unique_ptr<char[]> buffer_;
    std::unordered_set<InodeKey, InodeKeyHash> linked_;
    int64_t bytes_ = 0;
};

} // namespace

std::optional<int64_t> diskUsageOfDirectory(int directoryFd) {
    OwnedFd own(::openat(directoryFd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!own) return std::nullopt;
    struct stat info {};
    if (::fstat(own.get(), &info) != 0) return std::nullopt;
    UsageWalk walk(info.st_dev);
    walk.count(info);
    return walk.run(std::move(own));
}

} // namespace quillmere::platform
