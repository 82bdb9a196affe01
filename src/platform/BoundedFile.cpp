#include "platform/BoundedFile.hpp"

#include "platform/Fd.hpp"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quillmere::platform {

std::expected<std::string, BoundedReadError> readBoundedFile(const std::string& path, size_t maxBytes) {
    const Fd file(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY));
    if (!file) return std::unexpected(BoundedReadError::unreadable);
    struct stat info {};
    if (::fstat(file.get(), &info) != 0 || !S_ISREG(info.st_mode))
        return std::unexpected(BoundedReadError::unreadable);
    if (static_cast<uint64_t>(info.st_size) > maxBytes) return std::unexpected(BoundedReadError::tooLarge);

    // The file may grow after fstat: reading one byte past the bound notices it. Files the
    // kernel makes up as they are read (those under /proc) report no size at all, so the
    // first read has room for a typical one.
    constexpr size_t kFirstRead = 16 * 1024;
    std::string bytes(std::min(std::max(static_cast<size_t>(info.st_size) + 1, kFirstRead), maxBytes + 1),
                      '\0');
    size_t filled = 0;
    while (filled < bytes.size()) {
        const ssize_t got = ::read(file.get(), bytes.data() + filled, bytes.size() - filled);
        if (got < 0) {
            if (errno == EINTR) continue;
            return std::unexpected(BoundedReadError::unreadable);
        }
        if (got == 0) break;
        filled += static_cast<size_t>(got);
        if (filled == bytes.size() && bytes.size() <= maxBytes)
            bytes.resize(std::min(bytes.size() * 2, maxBytes + 1), '\0');
    }
    if (filled > maxBytes) return std::unexpected(BoundedReadError::tooLarge);
    bytes.resize(filled);
    return bytes;
}

} // namespace quillmere::platform
