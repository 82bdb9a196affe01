#include "platform/Processes.hpp"

#include "platform/DiskUsage.hpp"
#include "platform/Fd.hpp"

#include <climits>
#include <cstring>
#include <dirent.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

namespace quillmere::platform {

std::vector<std::string> ownProcessExecutables() {
    std::vector<std::string> executables;
    const DirectoryStream proc(::opendir("/proc"));
    if (!proc) return executables;
    const uid_t uid = ::geteuid();
    while (const dirent* entry = ::readdir(proc.get())) {
        if (entry->d_name[0] < '1' || entry->d_name[0] > '9' ||
            std::strspn(entry->d_name, "0123456789") != std::strlen(entry->d_name))
            continue;
        const std::string folder = std::string("/proc/") + entry->d_name;
        struct stat info {};
        if (::stat(folder.c_str(), &info) != 0 || info.st_uid != uid) continue;
        char target[PATH_MAX];
        const ssize_t length = ::readlink((folder + "/exe").c_str(), target, sizeof target);
        if (length > 0) executables.emplace_back(target, static_cast<size_t>(length));
    }
    return executables;
}

std::optional<int64_t> availableBytesAt(const std::string& path) {
    struct statvfs info {};
    if (::statvfs(path.c_str(), &info) != 0) return std::nullopt;
    const unsigned long blockSize = info.f_frsize ? info.f_frsize : info.f_bsize;
    return blockBytes(info.f_bavail, blockSize);
}

} // namespace quillmere::platform
