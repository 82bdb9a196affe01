#include "platform/TrashError.hpp"

#include <cerrno>
#include <cstring>

namespace quillmere::platform {

bool TrashError::isPermissionError() const {
    return kind == Kind::system && (code == EACCES || code == EPERM);
}

std::string TrashError::description() const {
    switch (kind) {
    case Kind::noUsableTrash:
        return "its disk has no Trash Quillmere can use — it was left where it is";
    case Kind::changed:
        return "it changed since you confirmed — it was left where it is";
    case Kind::alreadyInTrash:
        return "it's already in the Trash — empty the Trash to free its space";
    case Kind::holdsTrash:
        return "it holds the Trash — it was left where it is";
    case Kind::notMovable:
        return "a group of small items, not one item on disk — nothing was moved";
    case Kind::isMountPoint:
        return "another file system is mounted here, at “" + mountPoint + "” — nothing of it was moved";
    case Kind::holdsMount:
        return "another file system is mounted inside it, at “" + mountPoint + "” — nothing of it was moved";
    case Kind::unclearPath:
        return "its location isn't a plain full path — it was left where it is";
    case Kind::system:
        break;
    }
    switch (code) {
    case EACCES:
    case EPERM:
        return "you don't have permission to move it to the Trash";
    case ENOENT:
        return "it no longer exists";
    case EROFS:
        return "it's on a read-only disk";
    case ENOSPC:
    case EDQUOT:
        return "there's no room on its disk for the Trash's record of it";
    default:
        break;
    }
    char buffer[256];
    return ::strerror_r(code, buffer, sizeof buffer);
}

} // namespace quillmere::platform
