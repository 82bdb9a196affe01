#pragma once

#include "platform/Fd.hpp"
#include "platform/TrashError.hpp"

#include <expected>
#include <string>
#include <string_view>
#include <sys/types.h>

namespace quillmere::platform {

// What an item is, so that a later look can tell whether it is still the same item.
struct ItemIdentity {
    dev_t device = 0;
    ino_t inode = 0;
    mode_t type = 0; // the S_IFMT bits

    bool operator==(const ItemIdentity&) const = default;
};

// What an item and the folder holding it were when the user confirmed its removal: a later
// removal goes ahead only while both are still these.
struct ItemPin {
    ItemIdentity parent;
    ItemIdentity item;

    bool operator==(const ItemPin&) const = default;
};

// Whether `path` is absolute and names no "." or ".." component (empty ones, as in "a//b" or a
// trailing "/", are harmless).
bool isPlainAbsolutePath(std::string_view path);

// The pin of the item at the canonical `path`: its folder opened one component at a time
// without following links (see openFolderWithoutLinks), and the item itself, not followed.
std::expected<ItemPin, TrashError> pinItem(std::string_view path);

// The identity of the item at the absolute `path` itself (a final symbolic link is not
// followed); the errno of lstat on failure.
std::expected<ItemIdentity, TrashError> identityOf(const std::string& path);

// Opens the absolute folder `path` one component at a time with O_PATH | O_NOFOLLOW, so that a
// symbolic link anywhere on the way refuses it (`changed`) instead of leading elsewhere. The
// path must be canonical: "." and ".." components are refused too.
std::expected<Fd, TrashError> openFolderWithoutLinks(std::string_view path);

// The identity of the entry `name` in the folder open at `folderFd`, not following a link.
std::expected<ItemIdentity, TrashError> identityAt(int folderFd, const std::string& name);

// The identity of the folder open at `folderFd` (an O_PATH descriptor will do).
std::expected<ItemIdentity, TrashError> identityOfOpen(int folderFd);

} // namespace quillmere::platform
