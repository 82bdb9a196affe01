#include "platform/FileOwner.hpp"

#include <cerrno>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace quillmere::platform {

std::optional<std::string> ownerAccountName(const std::string& path) {
    struct stat info {};
    if (::lstat(path.c_str(), &info) != 0) return std::nullopt;
    long suggested = ::sysconf(_SC_GETPW_R_SIZE_MAX);
    size_t size = suggested > 0 ? static_cast<size_t>(suggested) : 1024;
    // A directory service may need more room than it suggests; grow a few times, then give up.
    for (int attempt = 0; attempt < 6; ++attempt, size *= 4) {
        std::vector<char> buffer(size);
        struct passwd entry {};
        struct passwd* result = nullptr;
        const int error = ::getpwuid_r(info.st_uid, &entry, buffer.data(), buffer.size(), &result);
        if (error == ERANGE) continue;
        if (error != 0 || !result || !result->pw_name) return std::nullopt;
        return std::string(result->pw_name);
    }
    return std::nullopt;
}

} // namespace quillmere::platform
