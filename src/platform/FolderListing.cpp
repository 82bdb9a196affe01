#include "platform/FolderListing.hpp"

#include "platform/DiskUsage.hpp"

#include <algorithm>
#include <dirent.h>
#include <memory>
#include <string_view>
#include <sys/stat.h>

namespace quillmere::platform {

std::optional<std::vector<std::string>> listFolderNames(const std::string& path, HiddenNames hidden) {
    const std::unique_ptr<DIR, int (*)(DIR*)> folder(::opendir(path.c_str()), ::closedir);
    if (!folder) return std::nullopt;
    std::vector<std::string> names;
    while (names.size() < kFolderListingMaxNames) {
        const dirent* entry = ::readdir(folder.get());
        if (!entry) break;
        const std::string_view name = entry->d_name;
        if (name.starts_with('.') && (hidden == HiddenNames::skipped || name == "." || name == ".."))
            continue;
        names.emplace_back(entry->d_name);
    }
    std::sort(names.begin(), names.end());
    return names;
}

bool isDirectoryItem(const std::string& path) {
    struct stat info {};
    return ::lstat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

bool itemExists(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0;
}

std::optional<double> itemModificationDate(const std::string& path) {
    struct stat info {};
    if (::lstat(path.c_str(), &info) != 0) return std::nullopt;
    return static_cast<double>(info.st_mtim.tv_sec) + static_cast<double>(info.st_mtim.tv_nsec) / 1e9;
}

std::optional<long long> itemAllocatedBytes(const std::string& path) {
    struct stat info {};
    if (::lstat(path.c_str(), &info) != 0) return std::nullopt;
    return allocatedBytesOf(info);
}

} // namespace quillmere::platform
