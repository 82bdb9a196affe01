#include "platform/ScanHost.hpp"

#include "platform/HostSystem.hpp"
#include "platform/Mounts.hpp"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <linux/fiemap.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace quillmere::platform {

int ScanHost::openDirectoryAt(int directoryFd, const char* name) {
    int fd;
    do {
        fd = ::openat(directoryFd, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC | O_NOCTTY);
    } while (fd < 0 && errno == EINTR);
    return fd;
}

int ScanHost::statAt(int directoryFd, const char* name, struct stat* info) {
    return ::fstatat(directoryFd, name, info, AT_SYMLINK_NOFOLLOW);
}

long ScanHost::readEntries(int directoryFd, void* buffer, size_t size) {
    long read;
    do {
        read = ::syscall(SYS_getdents64, directoryFd, buffer, size);
    } while (read < 0 && errno == EINTR);
    return read;
}

void ScanHost::closeDirectory(int directoryFd) {
    ::close(directoryFd);
}

bool ScanHost::isDataless(const struct stat&) {
    return false;
}

std::optional<CloudItemStatus> ScanHost::cloudStatus(const std::string&) {
    return CloudItemStatus{};
}

std::optional<int64_t> ScanHost::firstExtentOffset(int directoryFd, const char* name, int64_t bytes) {
    const int fd = ::openat(directoryFd, name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) return std::nullopt;
    alignas(fiemap) unsigned char buffer[sizeof(fiemap) + sizeof(fiemap_extent)] = {};
    auto* map = reinterpret_cast<fiemap*>(buffer);
    map->fm_start = 0;
    // The location of the first byte is all we need; 4096 bytes cover it.
    map->fm_length = static_cast<__u64>(std::clamp<int64_t>(bytes, 1, 4096));
    map->fm_flags = 0;
    map->fm_extent_count = 1;
    std::optional<int64_t> offset;
    if (::ioctl(fd, FS_IOC_FIEMAP, map) == 0 && map->fm_mapped_extents >= 1) {
        const fiemap_extent& first = map->fm_extents[0];
        const __u64 physical = first.fe_physical;
        // Inline or not-yet-allocated data has no stable location to compare.
        const bool unstable = first.fe_flags & (FIEMAP_EXTENT_UNKNOWN | FIEMAP_EXTENT_DATA_INLINE |
                                                FIEMAP_EXTENT_DELALLOC | FIEMAP_EXTENT_NOT_ALIGNED);
        if (physical >= 1 && !unstable) offset = static_cast<int64_t>(physical);
    }
    ::close(fd);
    return offset;
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

std::vector<std::string> ScanHost::mountPoints() {
    std::vector<std::string> points;
    if (const auto text = MountHost::system().mountInfo())
        for (const MountEntry& entry : parseMountInfo(*text))
            points.push_back(entry.mountPoint);
    return points;
}

ScanHost& ScanHost::system() {
    static ScanHost host;
    return host;
}

} // namespace quillmere::platform
