#pragma once

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

// Everything the scan engine asks of the host system, so tests can inject failures
// (CI runs as root, where nothing is ever denied) and stand-ins for what Linux lacks.
// Directory calls work on descriptors and single names: the walk never hands the
// kernel a full path, so paths longer than PATH_MAX scan like any other.
class ScanHost {
public:
    virtual ~ScanHost() = default;

    // openat(O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC); -1 with errno on failure.
    virtual int openDirectoryAt(int directoryFd, const char* name);
    // fstatat(AT_SYMLINK_NOFOLLOW); 0, or -1 with errno.
    virtual int statAt(int directoryFd, const char* name, struct stat* info);
    // getdents64; bytes read, 0 at the end, -1 with errno.
    virtual long readEntries(int directoryFd, void* buffer, size_t size);
    virtual void closeDirectory(int directoryFd);

    // Linux has no dataless files: always false.
    virtual bool isDataless(const struct stat& info);
    // Linux has no cloud-item metadata: every item answers "not a cloud item".
    // Nothing when the status cannot be read.
    virtual std::optional<CloudItemStatus> cloudStatus(const std::string& path);
    // The device offset of the file's first byte (FIEMAP), for finding clones; nothing when
    // the file cannot be opened, the file system has no extent map, or the offset is 0.
    // Only regular files are asked: FIFOs, sockets and devices are never opened.
    virtual std::optional<int64_t> firstExtentOffset(int directoryFd, const char* name, int64_t bytes);

    virtual int activeProcessorCount();
    // Every mount point of this process's mount namespace.
    virtual std::vector<std::string> mountPoints();

    static ScanHost& system();
};

// Decodes the octal escapes (\040 for a space) of a path field of /proc/self/mountinfo.
std::string decodeMountInfoPath(const std::string& field);

} // namespace quillmere::platform
