#include "platform/Trash.hpp"

#include "platform/DiskUsage.hpp"
#include "platform/HostSystem.hpp"
#include "platform/TrashDirectorySizes.hpp"
#include "platform/TrashInfo.hpp"
#include "platform/WriteAll.hpp"
#include "platform/XdgFolders.hpp"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>

namespace quillmere::platform {
namespace {

// Bounds the search for a free name in a crowded Trash.
constexpr int kMaxNameAttempts = 10000;

std::unexpected<TrashError> failure(TrashError::Kind kind) {
    return std::unexpected(TrashError{kind});
}
std::unexpected<TrashError> failureFromErrno(int code) {
    return std::unexpected(TrashError::fromErrno(code));
}

std::string joined(std::string_view folder, std::string_view name) {
    std::string out(folder);
    if (out.empty() || out.back() != '/') out += '/';
    out += name;
    return out;
}

// Byte-exact: two spellings of a name are two files here.
bool isAtOrBelow(std::string_view path, std::string_view folder) {
    if (folder == "/") return true;
    return path.starts_with(folder) && (path.size() == folder.size() || path[folder.size()] == '/');
}

bool isTrashFolderName(std::string_view name) {
    if (name == ".Trash") return true;
    if (!name.starts_with(".Trash-") || name.size() == 7) return false;
    return name.substr(7).find_first_not_of("0123456789") == std::string_view::npos;
}

std::string realPathOr(const std::string& path) {
    if (char* real = ::realpath(path.c_str(), nullptr)) {
        std::string out(real);
        std::free(real);
        return out;
    }
    return path;
}

// An existing folder `name` in `parentFd` that is really a folder of `uid`, made 0700 when
// missing. Anything else (a link, a file, someone else's folder) makes the Trash unusable.
std::expected<Fd, TrashError> ownedFolder(int parentFd, const char* name, uid_t uid) {
    constexpr int kFlags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;
    Fd fd(::openat(parentFd, name, kFlags));
    if (!fd && errno == ENOENT) {
        if (::mkdirat(parentFd, name, 0700) != 0 && errno != EEXIST) {
            const int code = errno;
            if (code == ENOSPC || code == EDQUOT || code == EROFS) return failureFromErrno(code);
            return failure(TrashError::Kind::noUsableTrash);
        }
        fd.reset(::openat(parentFd, name, kFlags));
    }
    if (!fd) return failure(TrashError::Kind::noUsableTrash);
    struct stat info {};
    if (::fstat(fd.get(), &info) != 0 || !S_ISDIR(info.st_mode) || info.st_uid != uid)
        return failure(TrashError::Kind::noUsableTrash);
    return fd;
}

// Opens the absolute folder `path`, following links the user chose (a symlinked ~/.local),
// making missing folders 0700 on the way.
std::expected<Fd, TrashError> openOrMakeFolder(const std::string& path) {
    Fd fd(::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (fd) return fd;
    if (errno != ENOENT || path == "/") return failure(TrashError::Kind::noUsableTrash);
    const size_t slash = path.find_last_of('/');
    const std::string parentPath = slash == 0 ? "/" : path.substr(0, slash);
    std::expected<Fd, TrashError> parent = openOrMakeFolder(parentPath);
    if (!parent) return parent;
    const std::string name = path.substr(slash + 1);
    if (::mkdirat(parent->get(), name.c_str(), 0700) != 0 && errno != EEXIST)
        return failure(TrashError::Kind::noUsableTrash);
    fd.reset(::openat(parent->get(), name.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!fd) return failure(TrashError::Kind::noUsableTrash);
    return fd;
}

// The device the home Trash is on, or would be on once made.
std::optional<dev_t> homeTrashDevice(const std::string& dataHome) {
    struct stat info {};
    if (::lstat(joined(dataHome, "Trash").c_str(), &info) == 0 && S_ISDIR(info.st_mode)) return info.st_dev;
    std::string path = dataHome;
    // Each step drops one component, so this ends at "/".
    while (!path.empty()) {
        if (::stat(path.c_str(), &info) == 0) return info.st_dev;
        if (path == "/") break;
        const size_t slash = path.find_last_of('/');
        path = slash == 0 || slash == std::string::npos ? "/" : path.substr(0, slash);
    }
    return std::nullopt;
}

// Whether the folder `parentFd` may be written by this user (EROFS, EACCES and the like).
int writeAccessError(int parentFd) {
    if (::faccessat(parentFd, "", W_OK | X_OK, AT_EMPTY_PATH | AT_EACCESS) == 0) return 0;
    if (errno != EINVAL && errno != ENOSYS) return errno;
    const std::string viaProc = "/proc/self/fd/" + std::to_string(parentFd);
    if (::access(viaProc.c_str(), W_OK | X_OK) == 0) return 0;
    return errno == ENOENT ? 0 : errno;
}

// Renames `name` in `parentFd`, the item `item`, into the Trash open at `trashFd` with a record
// of `recordedPath`.
std::expected<TrashedItem, TrashError> moveInto(int trashFd, const std::string& trashPath, int parentFd,
                                                const std::string& name, const ItemIdentity& item,
                                                const std::string& recordedPath, std::time_t now, uid_t uid,
                                                DirectorySizesBatch& sizes) {
    std::expected<Fd, TrashError> files = ownedFolder(trashFd, "files", uid);
    if (!files) return std::unexpected(files.error());
    std::expected<Fd, TrashError> info = ownedFolder(trashFd, "info", uid);
    if (!info) return std::unexpected(info.error());
    const std::string text = trashInfoText(recordedPath, now);
    for (int attempt = 1; attempt <= kMaxNameAttempts; ++attempt) {
        const std::string entry = trashEntryName(name, attempt);
        const std::string recordName = entry + std::string(kTrashInfoSuffix);
        Fd record(::openat(info->get(), recordName.c_str(),
                           O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
        if (!record) {
            if (errno == EEXIST) continue;
            return failureFromErrno(errno);
        }
        const auto dropRecord = [&] { ::unlinkat(info->get(), recordName.c_str(), 0); };
        const bool written = writeAll(record.get(), text);
        int code = errno;
        const int closed = ::close(record.release());
        if (closed != 0 && written) code = errno;
        if (!written || closed != 0) {
            dropRecord();
            return failureFromErrno(code);
        }
        int renamed = ::renameat2(parentFd, name.c_str(), files->get(), entry.c_str(), RENAME_NOREPLACE);
        if (renamed != 0 && errno == EINVAL) {
            // A file system without the no-replace flag: look first, then rename.
            struct stat existing {};
            if (::fstatat(files->get(), entry.c_str(), &existing, AT_SYMLINK_NOFOLLOW) == 0)
                errno = EEXIST;
            else if (errno == ENOENT)
                renamed = ::renameat(parentFd, name.c_str(), files->get(), entry.c_str());
        }
        if (renamed != 0) {
            code = errno;
            dropRecord();
            if (code == EEXIST || code == ENOTEMPTY) continue;
            return failureFromErrno(code);
        }
        // The item was looked at before the Trash was made ready; another item put in its place
        // meanwhile was never confirmed, and goes back where it was. Should its place have been
        // taken again, it stays in the Trash with its record, and the move is still refused.
        if (const auto moved = identityAt(files->get(), entry); moved && *moved != item) {
            if (::renameat2(files->get(), entry.c_str(), parentFd, name.c_str(), RENAME_NOREPLACE) == 0)
                dropRecord();
            return failure(TrashError::Kind::changed);
        }
        if (item.type == S_IFDIR) sizes.add(trashFd, trashPath, entry);
        return TrashedItem{.trashFolder = trashPath, .entryName = entry, .recordedPath = recordedPath};
    }
    return failureFromErrno(EEXIST);
}

// The Trash at the top of the mount `topdir`: .Trash/$uid when .Trash is a real sticky
// folder, else .Trash-$uid.
std::expected<std::pair<Fd, std::string>, TrashError> topdirTrash(int topFd, const std::string& topdir,
                                                                  uid_t uid) {
    const std::string uidText = std::to_string(uid);
    struct stat shared {};
    if (::fstatat(topFd, ".Trash", &shared, AT_SYMLINK_NOFOLLOW) == 0 && S_ISDIR(shared.st_mode) &&
        (shared.st_mode & S_ISVTX)) {
        Fd sharedFd(::openat(topFd, ".Trash", O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
        struct stat opened {};
        if (sharedFd && ::fstat(sharedFd.get(), &opened) == 0 && (opened.st_mode & S_ISVTX))
            if (std::expected<Fd, TrashError> own = ownedFolder(sharedFd.get(), uidText.c_str(), uid))
                return std::pair{std::move(*own), joined(joined(topdir, ".Trash"), uidText)};
    }
    const std::string name = ".Trash-" + uidText;
    std::expected<Fd, TrashError> own = ownedFolder(topFd, name.c_str(), uid);
    if (!own) return std::unexpected(own.error());
    return std::pair{std::move(*own), joined(topdir, name)};
}

} // namespace

TrashSettings TrashSettings::current() {
    return {.dataHome = platform::dataHome(homeDirectory()),
            .uid = ::geteuid(),
            .mounts = [] { return mountTable(MountHost::system()); },
            .now = [] { return std::time(nullptr); }};
}

Trash::Trash(TrashSettings settings) : settings_(std::move(settings)) {}

std::expected<TrashedItem, TrashError> Trash::moveToTrash(const std::string& canonicalParent,
                                                          const std::string& name,
                                                          const std::optional<ItemPin>& expected,
                                                          DirectorySizesBatch* sizes) const {
    if (name.empty() || name == "." || name == ".." || name.find('/') != std::string::npos ||
        !isPlainAbsolutePath(canonicalParent))
        return failure(TrashError::Kind::unclearPath);
    std::expected<Fd, TrashError> parent = openFolderWithoutLinks(canonicalParent);
    if (!parent) return std::unexpected(parent.error());
    if (expected) {
        const std::expected<ItemIdentity, TrashError> folder = identityOfOpen(parent->get());
        if (!folder) return std::unexpected(folder.error());
        if (*folder != expected->parent) return failure(TrashError::Kind::changed);
    }
    const std::expected<ItemIdentity, TrashError> actual = identityAt(parent->get(), name);
    if (!actual) return std::unexpected(actual.error());
    if (expected && expected->item != *actual) return failure(TrashError::Kind::changed);

    const std::string itemPath = joined(canonicalParent, name);
    for (const std::string& homeTrash :
         {joined(settings_.dataHome, "Trash"), joined(realPathOr(settings_.dataHome), "Trash")}) {
        if (isAtOrBelow(itemPath, homeTrash)) return failure(TrashError::Kind::alreadyInTrash);
        if (isAtOrBelow(homeTrash, itemPath)) return failure(TrashError::Kind::holdsTrash);
    }
    // The mount table as it is now, not as a scan saw it: a rename would carry a file system
    // mounted inside the item into the Trash, where emptying the Trash erases that disk's files.
    const std::vector<MountEntry> mounts = settings_.mounts();
    for (const MountEntry& mounted : mounts)
        if (isAtOrBelow(mounted.mountPoint, itemPath))
            return std::unexpected(TrashError{mounted.mountPoint == itemPath ? TrashError::Kind::isMountPoint
                                                                             : TrashError::Kind::holdsMount,
                                              0, mounted.mountPoint});
    const std::optional<MountEntry> mount = mountContaining(mounts, canonicalParent);
    if (mount && isAtOrBelow(itemPath, mount->mountPoint)) {
        std::string_view below = std::string_view(itemPath).substr(mount->mountPoint.size());
        while (below.starts_with('/'))
            below.remove_prefix(1);
        if (isTrashFolderName(below.substr(0, below.find('/'))))
            return failure(TrashError::Kind::alreadyInTrash);
    }
    if (const int code = writeAccessError(parent->get())) return failureFromErrno(code);

    const std::time_t now = settings_.now();
    // Without a run to join, this move's folder gets its directorysizes line at once.
    DirectorySizesBatch ownSizes;
    DirectorySizesBatch& batch = sizes ? *sizes : ownSizes;
    if (homeTrashDevice(settings_.dataHome) == actual->device) {
        std::expected<Fd, TrashError> data = openOrMakeFolder(settings_.dataHome);
        if (!data) return std::unexpected(data.error());
        std::expected<Fd, TrashError> trash = ownedFolder(data->get(), "Trash", settings_.uid);
        if (!trash) return std::unexpected(trash.error());
        std::expected<TrashedItem, TrashError> moved =
            moveInto(trash->get(), joined(settings_.dataHome, "Trash"), parent->get(), name, *actual,
                     itemPath, now, settings_.uid, batch);
        // A bind mount keeps the device number but refuses the rename: use its own Trash.
        if (moved || moved.error() != TrashError::fromErrno(EXDEV)) return moved;
    }

    if (!mount) return failure(TrashError::Kind::noUsableTrash);
    std::expected<Fd, TrashError> top = openFolderWithoutLinks(mount->mountPoint);
    struct stat topInfo {};
    if (!top || ::fstat(top->get(), &topInfo) != 0 || topInfo.st_dev != actual->device)
        return failure(TrashError::Kind::noUsableTrash);
    auto trash = topdirTrash(top->get(), mount->mountPoint, settings_.uid);
    if (!trash) return std::unexpected(trash.error());
    std::string relative = itemPath.substr(mount->mountPoint == "/" ? 1 : mount->mountPoint.size() + 1);
    std::expected<TrashedItem, TrashError> moved = moveInto(
        trash->first.get(), trash->second, parent->get(), name, *actual, relative, now, settings_.uid, batch);
    if (!moved && moved.error() == TrashError::fromErrno(EXDEV))
        return failure(TrashError::Kind::noUsableTrash);
    return moved;
}

} // namespace quillmere::platform
