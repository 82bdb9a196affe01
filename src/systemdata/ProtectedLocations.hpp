#pragma once

#include "scan/FileNode.hpp"

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quillmere {

// Where the folders the protection policy names lie on this computer.
struct ProtectionRoots {
    // The current user's home folder.
    std::string home;
    // A folder shaped like a whole system disk (test fixtures): the system rules hold below it
    // as they hold below "/". Nothing for none.
    std::optional<std::string> systemRoot;
    // Every mount point: refused themselves, not their contents.
    std::vector<std::string> mountPoints;
    // The user's documents and desktop folders where the desktop names them elsewhere.
    std::vector<std::string> userFolders;

    bool operator==(const ProtectionRoots&) const = default;

    // This computer's: home folder, mount table and XDG documents and desktop folders.
    static ProtectionRoots current();
};

// Whether the item at a path itself (never its link target) is marked restricted to the system.
using RestrictedFlagReader = std::function<bool(const std::string& path)>;

// The policy of what is never removed: exact locations refused themselves, the system's own
// folders refused with everything below them, and items marked immutable. It keeps no state
// besides its roots and may be used from any thread.
class ProtectedLocations {
public:
    explicit ProtectedLocations(ProtectionRoots roots,
                                RestrictedFlagReader restrictedFlag = defaultFlagReader());

    // The policy of this computer, with the immutable attribute as the restricted flag.
    static ProtectedLocations current();
    static RestrictedFlagReader defaultFlagReader();

    // Component lists refused themselves: the home folder, its Documents and Desktop,
    // Applications and System/Volumes/Data, in this order; then "/", the mount points, the
    // user's documents and desktop folders, and the system root's own exact locations.
    std::vector<std::vector<std::string>> protectedLocations() const;
    // Whether the leading components name one of the system's own folders, at "/" or below
    // the system root.
    bool isSystemProtected(const std::vector<std::string>& components) const;
    // The whole test of one absolute path: exact locations, system folders, then the item's
    // restricted flag. Never follows what the path points to.
    bool isProtectedPath(std::string_view path) const;
    // False for an aggregate (a group of small items is not one item on disk); otherwise the
    // path test of the node's path.
    bool isProtectedSystemItem(const FileNode& node) const;
    // The path test applied to the path and to where it really lies (its canonical parent and
    // its own name): a symlinked parent must not lead a removal into a system folder.
    bool isProtectedForRemoval(std::string_view path) const;

    const ProtectionRoots& roots() const { return roots_; }

private:
    bool isExactLocation(const std::vector<std::string>& components) const;

    ProtectionRoots roots_;
    RestrictedFlagReader restrictedFlag_;
};

// Where an item really lies: its parent with symbolic links resolved, followed by its own
// name, so a final symbolic link names the link itself.
std::string canonicalItemPath(std::string_view path);

} // namespace quillmere
