#pragma once

#include "platform/Fd.hpp"
#include "platform/Mounts.hpp"

#include <cstdint>
#include <optional>
#include <string>
#include <sys/stat.h>
#include <sys/types.h>
#include <vector>

namespace quillmere::platform {

// What a cloud-sync provider says of one item.
struct CloudItemStatus {
    enum class Downloading { absent, notDownloaded, downloaded, current };
    bool isUbiquitousItem = false;
    Downloading downloadingStatus = Downloading::absent;
    bool isDownloading = false;

    bool operator==(const CloudItemStatus&) const = default;
};

// One extent of a file that the kernel reports as shared with other files (a clone or a
// deduplicated block range): where it lies on the device and how long it is.
struct SharedExtent {
    int64_t physicalOffset = 0;
    int64_t length = 0;

    bool operator==(const SharedExtent&) const = default;
};

// Everything the scan engine asks of the host system, so tests can inject failures
// (CI runs as root, where nothing is ever denied) and stand-ins for what Linux lacks.
// Directory calls work on descriptors and single names: the walk never hands the
// kernel a full path, so paths longer than PATH_MAX scan like any other.
//
// A scan keeps a reference to its host until its last walker has ended, so a host must
// outlive every scan started with it (ScanHost::system() lives as long as the process).
// Any call may throw; the scan then ends early with what it has built.
class ScanHost {
public:
    virtual ~ScanHost() = default;

    // openat(O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC); closed with errno on failure.
    [[nodiscard]] virtual Fd openDirectoryAt(int directoryFd, const char* name);
    // The scan root, opened like openDirectoryAt but following a symbolic link: a root may
    // be given through one, unlike anything below it.
    [[nodiscard]] virtual Fd openRoot(const std::string& path);
    // fstatat(AT_SYMLINK_NOFOLLOW); 0, or -1 with errno. With AT_FDCWD and a full path, lstat.
    [[nodiscard]] virtual int statAt(int directoryFd, const char* name, struct stat* info);
    // fstat of an open descriptor; 0, or -1 with errno.
    [[nodiscard]] virtual int statDescriptor(int fd, struct stat* info);
    // getdents64; bytes read, 0 at the end, -1 with errno.
    [[nodiscard]] virtual long readEntries(int directoryFd, void* buffer, size_t size);

    // Linux has no dataless files: always false.
    [[nodiscard]] virtual bool isDataless(const struct stat& info);
    // Linux has no cloud-item metadata: every item answers "not a cloud item".
    // Nothing when the status cannot be read.
    [[nodiscard]] virtual std::optional<CloudItemStatus> cloudStatus(const std::string& path);
    // The extents of the file's first `bytes` bytes that the kernel flags shared (FIEMAP),
    // for counting clones once; empty when the file cannot be opened, the file system has no
    // extent map, or nothing is shared. Extents without a stable location (inline, delayed,
    // unknown) are left out. Only regular files are asked: FIFOs, sockets and devices are
    // never opened.
    [[nodiscard]] virtual std::vector<SharedExtent> sharedExtents(int directoryFd, const char* name,
                                                                  int64_t bytes);

    [[nodiscard]] virtual int activeProcessorCount();
    // Every mount of this process's mount namespace.
    [[nodiscard]] virtual std::vector<MountEntry> mounts();

    static ScanHost& system();
};

// Decodes the octal escapes (\040 for a space) of a path field of /proc/self/mountinfo.
std::string decodeMountInfoPath(const std::string& field);

} // namespace quillmere::platform
