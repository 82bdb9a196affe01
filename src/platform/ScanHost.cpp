#include "platform/ScanHost.hpp"

#include "platform/Descriptors.hpp"
#include "platform/HostSystem.hpp"
#include "platform/Mounts.hpp"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <linux/fiemap.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace quillmere::platform {

Fd ScanHost::openDirectoryAt(int directoryFd, const char* name) {
    int fd;
    do {
        fd = ::openat(directoryFd, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC | O_NOCTTY);
    } while (fd < 0 && errno == EINTR);
    return Fd(fd);
}

Fd ScanHost::openRoot(const std::string& path) {
    int fd;
    do {
        fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC | O_NOCTTY);
    } while (fd < 0 && errno == EINTR);
    return Fd(fd);
}

int ScanHost::statAt(int directoryFd, const char* name, struct stat* info) {
    return ::fstatat(directoryFd, name, info, AT_SYMLINK_NOFOLLOW);
}

int ScanHost::statDescriptor(int fd, struct stat* info) {
    return ::fstat(fd, info);
}

long ScanHost::readEntries(int directoryFd, void* buffer, size_t size) {
    long read;
    do {
        read = ::syscall(SYS_getdents64, directoryFd, buffer, size);
    } while (read < 0 && errno == EINTR);
    return read;
}

bool ScanHost::isDataless(const struct stat&) {
    return false;
}

std::optional<CloudItemStatus> ScanHost::cloudStatus(const std::string&) {
    return CloudItemStatus{};
}

std::vector<SharedExtent> ScanHost::sharedExtents(int directoryFd, const char* name, int64_t bytes) {
    std::vector<SharedExtent> shared;
    // A shortage of descriptors would count a clone's bytes twice: it is waited out a while.
    const Fd fd(openWaitingForDescriptor(
        [&] {
            return ::openat(directoryFd, name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
        },
        [] { return false; }, std::chrono::seconds(30)));
    if (!fd || bytes <= 0) return shared;
    constexpr unsigned kExtentsPerCall = 64;
    alignas(fiemap) unsigned char buffer[sizeof(fiemap) + kExtentsPerCall * sizeof(fiemap_extent)];
    auto* map = reinterpret_cast<fiemap*>(buffer);
    const auto end = static_cast<__u64>(bytes);
    __u64 start = 0;
    // Every round moves `start` past the last extent it saw, so the loop ends within the file.
    while (start < end) {
        std::memset(buffer, 0, sizeof buffer);
        map->fm_start = start;
        map->fm_length = end - start;
        map->fm_flags = 0;
        map->fm_extent_count = kExtentsPerCall;
        if (::ioctl(fd.get(), FS_IOC_FIEMAP, map) != 0 || map->fm_mapped_extents == 0) break;
        bool last = false;
        __u64 next = start;
        for (unsigned i = 0; i < map->fm_mapped_extents; ++i) {
            const fiemap_extent& extent = map->fm_extents[i];
            // Inline or not-yet-allocated data has no stable location to compare.
            const bool unstable = extent.fe_flags & (FIEMAP_EXTENT_UNKNOWN | FIEMAP_EXTENT_DATA_INLINE |
                                                     FIEMAP_EXTENT_DELALLOC | FIEMAP_EXTENT_NOT_ALIGNED);
            if ((extent.fe_flags & FIEMAP_EXTENT_SHARED) && !unstable && extent.fe_physical > 0)
                shared.push_back(
                    {static_cast<int64_t>(extent.fe_physical), static_cast<int64_t>(extent.fe_length)});
            next = std::max(next, extent.fe_logical + extent.fe_length);
            last = last || (extent.fe_flags & FIEMAP_EXTENT_LAST);
        }
        if (last || next <= start) break;
        start = next;
    }
    return shared;
}

int ScanHost::activeProcessorCount() {
    return platform::activeProcessorCount();
}

std::string decodeMountInfoPath(const std::string& field) {
    std::string out;
    out.reserve(field.size());
    for (size_t i = 0; i < field.size(); ++i) {
        if (field[i] == '\\' && i + 3 < field.size()) {
            const std::string digits = field.substr(i + 1, 3);
            if (digits.size() == 3 && digits.find_first_not_of("01234567") == std::string::npos) {
                out += static_cast<char>(std::stoi(digits, nullptr, 8));
                i += 3;
                continue;
            }
        }
        out += field[i];
    }
    return out;
}

std::vector<MountEntry> ScanHost::mounts() {
    if (const auto text = MountHost::system().mountInfo()) return parseMountInfo(*text);
    return {};
}

ScanHost& ScanHost::system() {
    // Never destroyed: a scan still walking when the process exits (a window closed mid-scan)
    // keeps calling it while the exit runs the destructors of statics.
    static ScanHost* const host = new ScanHost;
    return *host;
}

} // namespace quillmere::platform
