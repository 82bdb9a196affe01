#include "platform/SafePath.hpp"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>

namespace quillmere::platform {
namespace {

ItemIdentity identityFrom(const struct stat& info) {
    return {.device = info.st_dev, .inode = info.st_ino, .type = static_cast<mode_t>(info.st_mode & S_IFMT)};
}

} // namespace

std::expected<ItemIdentity, TrashError> identityOf(const std::string& path) {
    struct stat info {};
    if (::lstat(path.c_str(), &info) != 0) return std::unexpected(TrashError::fromErrno(errno));
    return identityFrom(info);
}

std::expected<ItemIdentity, TrashError> identityAt(int folderFd, const std::string& name) {
    struct stat info {};
    if (::fstatat(folderFd, name.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0)
        return std::unexpected(TrashError::fromErrno(errno));
    return identityFrom(info);
}

std::expected<ItemIdentity, TrashError> identityOfOpen(int folderFd) {
    struct stat info {};
    if (::fstat(folderFd, &info) != 0) return std::unexpected(TrashError::fromErrno(errno));
    return identityFrom(info);
}

bool isPlainAbsolutePath(std::string_view path) {
    if (!path.starts_with('/')) return false;
    size_t start = 1;
    while (start <= path.size()) {
        size_t end = path.find('/', start);
        if (end == std::string_view::npos) end = path.size();
        const std::string_view component = path.substr(start, end - start);
        if (component == "." || component == "..") return false;
        start = end + 1;
    }
    return true;
}

std::expected<ItemPin, TrashError> pinItem(std::string_view path) {
    if (!isPlainAbsolutePath(path)) return std::unexpected(TrashError{TrashError::Kind::unclearPath});
    std::string_view trimmed = path;
    while (trimmed.size() > 1 && trimmed.back() == '/')
        trimmed.remove_suffix(1);
    const size_t slash = trimmed.find_last_of('/');
    // "/" itself has no folder above it to pin.
    if (trimmed.size() <= 1) return std::unexpected(TrashError::fromErrno(EINVAL));
    std::expected<Fd, TrashError> folder = openFolderWithoutLinks(trimmed.substr(0, slash == 0 ? 1 : slash));
    if (!folder) return std::unexpected(folder.error());
    const std::expected<ItemIdentity, TrashError> parent = identityOfOpen(folder->get());
    if (!parent) return std::unexpected(parent.error());
    const std::expected<ItemIdentity, TrashError> item =
        identityAt(folder->get(), std::string(trimmed.substr(slash + 1)));
    if (!item) return std::unexpected(item.error());
    return ItemPin{.parent = *parent, .item = *item};
}

std::expected<Fd, TrashError> openFolderWithoutLinks(std::string_view path) {
    if (!path.starts_with('/')) return std::unexpected(TrashError{TrashError::Kind::changed});
    Fd current(::open("/", O_PATH | O_DIRECTORY | O_CLOEXEC));
    if (!current) return std::unexpected(TrashError::fromErrno(errno));
    size_t start = 1;
    while (start < path.size()) {
        size_t end = path.find('/', start);
        if (end == std::string_view::npos) end = path.size();
        const std::string component(path.substr(start, end - start));
        start = end + 1;
        if (component.empty()) continue;
        if (component == "." || component == "..")
            return std::unexpected(TrashError{TrashError::Kind::changed});
        Fd next(::openat(current.get(), component.c_str(), O_PATH | O_NOFOLLOW | O_CLOEXEC));
        if (!next) return std::unexpected(TrashError::fromErrno(errno));
        struct stat info {};
        if (::fstat(next.get(), &info) != 0) return std::unexpected(TrashError::fromErrno(errno));
        // O_PATH with O_NOFOLLOW opens a link itself: a link or a file on the way means the
        // folder is not where it was confirmed.
        if (!S_ISDIR(info.st_mode)) return std::unexpected(TrashError{TrashError::Kind::changed});
        current = std::move(next);
    }
    return current;
}

} // namespace quillmere::platform
