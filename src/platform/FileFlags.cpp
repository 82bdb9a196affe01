#include "platform/FileFlags.hpp"

#include <fcntl.h>
#include <sys/stat.h>

namespace quillmere::platform {

bool isImmutableItem(const std::string& path) {
    struct statx info {};
    if (::statx(AT_FDCWD, path.c_str(), AT_SYMLINK_NOFOLLOW | AT_NO_AUTOMOUNT, 0, &info) != 0) return false;
    return (info.stx_attributes_mask & STATX_ATTR_IMMUTABLE) && (info.stx_attributes & STATX_ATTR_IMMUTABLE);
}

} // namespace quillmere::platform
