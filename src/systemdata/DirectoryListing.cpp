#include "systemdata/DirectoryListing.hpp"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <fcntl.h>
#include <memory>

namespace quillmere {
namespace {

// The kernel's linux_dirent64 record.
struct Dirent64 {
    uint64_t inode;
    int64_t offset;
    unsigned short length;
    unsigned char type;
    char name[1];
};

} // namespace

bool readDirectoryEntries(platform::ScanHost& host, int fd, char* buffer, size_t size,
                          const std::function<void(const char* name)>& visit) {
    for (;;) {
        const long read = host.readEntries(fd, buffer, size);
        if (read == 0) return true;
        if (read < 0) return false;
        for (long offset = 0; offset < read;) {
            const auto* entry = reinterpret_cast<const Dirent64*>(buffer + offset);
            if (entry->length == 0) return false;
            offset += entry->length;
            const char* name = entry->name;
            if (std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0) continue;
            visit(name);
        }
    }
}

std::optional<std::vector<std::string>> listVisibleNames(platform::ScanHost& host,
                                                         const std::string& folder) {
    const platform::Fd directory = host.openDirectoryAt(AT_FDCWD, folder.c_str());
    if (!directory) return std::nullopt;
    const int fd = directory.get();
    std::vector<std::string> names;
    const auto buffer = std::make_unique<char[]>(kListingBufferSize);
    const bool complete =
        readDirectoryEntries(host, fd, buffer.get(), kListingBufferSize, [&](const char* name) {
            if (name[0] != '.') names.emplace_back(name);
        });
    if (!complete) return std::nullopt;
    std::sort(names.begin(), names.end());
    return names;
}

} // namespace quillmere
