#pragma once

#include <string>

namespace quillmere::platform {

// Why an item was not moved to the Trash.
struct TrashError {
    enum class Kind {
        system,         // a call failed with `code` (an errno value)
        noUsableTrash,  // the item's disk has no Trash that is safe to use
        changed,        // the item or a folder above it is no longer what was confirmed
        alreadyInTrash, // the item is a Trash folder or lies inside one
        holdsTrash,     // the item is a folder holding the home Trash
        notMovable,     // a group of small items, not one item on disk
        isMountPoint,   // another file system is mounted at the item itself (`mountPoint`)
        holdsMount,     // another file system is mounted inside the item, at `mountPoint`
        unclearPath,    // not a full path, or one with "." or ".." in it
    };
    Kind kind = Kind::system;
    int code = 0;
    std::string mountPoint;

    bool operator==(const TrashError&) const = default;

    static TrashError fromErrno(int code) { return {Kind::system, code, {}}; }
    // Lacking permission: EACCES or EPERM.
    bool isPermissionError() const;
    // Why the item stayed, as a clause the result screen shows after the item's name.
    std::string description() const;
};

} // namespace quillmere::platform
