#include "systemdata/ReclaimFileOperations.hpp"

#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>

namespace quillmere {

using platform::ItemIdentity;
using platform::TrashError;

std::expected<ItemIdentity, TrashError> ReclaimFileOperations::identify(const std::string& path) {
    return platform::identityOf(path);
}

std::expected<void, TrashError> ReclaimFileOperations::recycle(const std::string&,
                                                               const std::optional<ItemIdentity>&,
                                                               const TrashError& refusal) {
    return std::unexpected(refusal);
}

std::expected<std::vector<ListedChild>, TrashError>
ReclaimFileOperations::listVisibleChildren(const std::string& folder,
                                           const std::optional<ItemIdentity>& expected) {
    std::expected<platform::Fd, TrashError> opened = platform::openFolderWithoutLinks(folder);
    if (!opened) return std::unexpected(opened.error());
    platform::Fd readable(::openat(opened->get(), ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!readable) return std::unexpected(TrashError::fromErrno(errno));
    if (expected) {
        const std::expected<ItemIdentity, TrashError> actual = platform::identityAt(readable.get(), ".");
        if (!actual) return std::unexpected(actual.error());
        if (*actual != *expected) return std::unexpected(TrashError{TrashError::Kind::changed});
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

std::expected<void, TrashError>
TrashFileOperations::moveToTrash(const std::string& path, const std::optional<ItemIdentity>& expected) {
    const size_t slash = path.find_last_of('/');
    if (slash == std::string::npos || slash + 1 == path.size())
        return std::unexpected(TrashError::fromErrno(EINVAL));
    const std::string parent = slash == 0 ? "/" : path.substr(0, slash);
    const auto moved = trash_.moveToTrash(parent, path.substr(slash + 1), expected);
    if (!moved) return std::unexpected(moved.error());
    return {};
}

} // namespace quillmere
