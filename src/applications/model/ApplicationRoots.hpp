#pragma once

#include <string>
#include <vector>

namespace quillmere {

// Where the places the Applications section reads lie: the application folders and the
// computer-wide Library derive from the system root, the user's Library from the home folder.
// Tests and the development variable point the system root at a folder shaped like a disk.
struct ApplicationRoots {
    std::string systemRoot = "/";
    std::string home;

    bool operator==(const ApplicationRoots&) const = default;

    // `relative` under the system root.
    std::string underSystemRoot(std::string_view relative) const;
    // The computer-wide Library.
    std::string library() const;
    // The folders searched for bundles, in search order, for the user whose home is `homeFolder`.
    std::vector<std::string> applicationFolders(const std::string& homeFolder) const;
    std::vector<std::string> applicationFolders() const { return applicationFolders(home); }

    // The running application's: home from HOME, the system root from QUILLMERE_SYSTEM_ROOT
    // (a development switch), else "/".
    static ApplicationRoots current();
};

} // namespace quillmere
