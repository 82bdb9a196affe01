#include "systemdata/ReclaimFileOperations.hpp"

#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>

namespace quillmere {

using platform::ItemPin;
using platform::TrashError;

std::expected<ItemPin, TrashError> ReclaimFileOperations::pin(const std::string& path) {
    return platform::pinItem(path);
}

std::expected<void, TrashError>
ReclaimFileOperations::recycle(const std::string&, const std::optional<ItemPin>&, const TrashError& refusal) {
    return std::unexpected(refusal);
}

std::expected<std::vector<ListedChild>, TrashError>
ReclaimFileOperations::listVisibleChildren(const std::string& folder,
                                           const std::optional<ItemPin>& expected) {
    if (!platform::isPlainAbsolutePath(folder) || folder == "/")
        return std::unexpected(TrashError{TrashError::Kind::unclearPath});
    const size_t slash = folder.find_last_of('/');
    std::expected<platform::Fd, TrashError> parent =
        platform::openFolderWithoutLinks(folder.substr(0, slash == 0 ? 1 : slash));
    if (!parent) return std::unexpected(parent.error());
    platform::Fd readable(
        ::openat(parent->get(), folder.c_str() + slash + 1, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (!readable) {
        // A link where the folder was is not the folder that was confirmed.
        if (errno == ELOOP || errno == ENOTDIR) return std::unexpected(TrashError{TrashError::Kind::changed});
        return std::unexpected(TrashError::fromErrno(errno));
    }
    if (expected) {
        const auto folderNow = platform::identityOfOpen(readable.get());
        const auto parentNow = platform::identityOfOpen(parent->get());
        if (!folderNow) return std::unexpected(folderNow.error());
        if (!parentNow) return std::unexpected(parentNow.error());
        if (*folderNow != expected->item || *parentNow != expected->parent)
            return std::unexpected(TrashError{TrashError::Kind::changed});
    }
    platform::DirectoryStream directory(::fdopendir(readable.get()));
    if (!directory) return std::unexpected(TrashError::fromErrno(errno));
    (void)readable.release(); // the stream owns it now
    std::vector<ListedChild> children;
    errno = 0;
    while (const dirent* entry = ::readdir(directory.get())) {
        if (entry->d_name[0] == '.') continue;
        if (const auto identity = platform::identityAt(::dirfd(directory.get()), entry->d_name))
            children.push_back({entry->d_name, *identity});
        errno = 0;
    }
    if (errno != 0) return std::unexpected(TrashError::fromErrno(errno));
    return children;
}

std::expected<void, std::string> ReclaimFileOperations::evictDownloadedCopy(const std::string&) {
    return std::unexpected(std::string("no cloud service on this computer keeps a copy of it"));
}

TrashFileOperations::TrashFileOperations(platform::TrashSettings settings) : trash_(std::move(settings)) {}

std::expected<void, TrashError> TrashFileOperations::moveToTrash(const std::string& path,
                                                                 const std::optional<ItemPin>& expected) {
    const size_t slash = path.find_last_of('/');
    if (slash == std::string::npos || slash + 1 == path.size())
        return std::unexpected(TrashError{TrashError::Kind::unclearPath});
    const std::string parent = slash == 0 ? "/" : path.substr(0, slash);
    const auto moved = trash_.moveToTrash(parent, path.substr(slash + 1), expected, &sizes_);
    if (!moved) return std::unexpected(moved.error());
    return {};
}

} // namespace quillmere
