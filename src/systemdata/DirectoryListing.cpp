#include "systemdata/DirectoryListing.hpp"

#include "platform/DirectoryEntries.hpp"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <fcntl.h>
#include <memory>

namespace quillmere {

bool readDirectoryEntries(platform::ScanHost& host, int fd, char* buffer, size_t size,
                          const std::function<void(const char* name)>& visit) {
    for (;;) {
        const long read = host.readEntries(fd, buffer, size);
        if (read == 0) return true;
        if (read < 0) return false;
        platform::forEachDirectoryEntry(buffer, static_cast<size_t>(read),
                                        [&](std::string_view name) { visit(name.data()); });
    }
}

std::optional<std::vector<std::string>> listVisibleNames(platform::ScanHost& host,
                                                         const std::string& folder) {
    const platform::Fd fd = host.openDirectoryAt(AT_FDCWD, folder.c_str());
    if (!fd) return std::nullopt;
    std::vector<std::string> names;
    const auto buffer = std::make_unique<char[]>(kListingBufferSize);
    const bool complete =
        readDirectoryEntries(host, fd.get(), buffer.get(), kListingBufferSize, [&](const char* name) {
            if (name[0] != '.') names.emplace_back(name);
        });
    if (!complete) return std::nullopt;
    std::sort(names.begin(), names.end());
    return names;
}

} // namespace quillmere
