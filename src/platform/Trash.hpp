#pragma once

#include "platform/Mounts.hpp"
#include "platform/SafePath.hpp"
#include "platform/TrashDirectorySizes.hpp"
#include "platform/TrashError.hpp"

#include <ctime>
#include <expected>
#include <functional>
#include <optional>
#include <string>
#include <sys/types.h>
#include <vector>

namespace quillmere::platform {

// Where the Trash lives for one user, and the facts it reads of the system.
struct TrashSettings {
    // The user's data folder (see dataHome): the home Trash is its "Trash" folder.
    std::string dataHome;
    uid_t uid = 0;
    // The visible mounts; the one holding an item gives its disk's Trash.
    std::function<std::vector<MountEntry>()> mounts;
    std::function<std::time_t()> now;

    // The current user's, with the live mount table and clock.
    static TrashSettings current();
};

// Where an item went.
struct TrashedItem {
    std::string trashFolder;  // the Trash holding it, with its files/ and info/ folders
    std::string entryName;    // its name in files/, and of its record in info/ before ".trashinfo"
    std::string recordedPath; // the record's Path= before encoding

    bool operator==(const TrashedItem&) const = default;
};

// The freedesktop.org Trash (specification 1.0). Items on the home Trash's disk go there;
// others go to the Trash at the top of their mount: $topdir/.Trash/$uid when .Trash is a real
// folder with the sticky bit, else $topdir/.Trash-$uid. Every Trash folder is opened without
// following links and must be a folder of this user; every move is a rename on one disk.
// Nothing is ever copied or deleted: an item that cannot be renamed into a Trash stays.
class Trash {
public:
    explicit Trash(TrashSettings settings);

    // Moves the entry `name` of the folder `canonicalParent` (a path without symbolic links)
    // to the Trash. The folder is opened one component at a time without following links, and
    // the folder and the entry must still be what `expected` pinned when one is given. An item
    // at or above a mount point (by the mount table read now) is refused whole. A moved folder's
    // directorysizes line goes into `sizes`, written when that batch is flushed; without one
    // it is written before this returns.
    std::expected<TrashedItem, TrashError> moveToTrash(const std::string& canonicalParent,
                                                       const std::string& name,
                                                       const std::optional<ItemPin>& expected,
                                                       DirectorySizesBatch* sizes = nullptr) const;

private:
    TrashSettings settings_;
};

} // namespace quillmere::platform
