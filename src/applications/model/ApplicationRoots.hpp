#pragma once

#include "platform/XdgFolders.hpp"

#include <string>
#include <string_view>
#include <vector>

namespace quillmere {

// Where the places the Applications section reads lie: the application folders and the
// computer-wide Library derive from the system root, the user's Library from the home folder.
// Tests and the development variable point the system root at a folder shaped like a disk.
struct ApplicationRoots {
    std::string systemRoot = "/";
    std::string home;
    // Flatpak's system-wide and per-user installations, the folder where snaps are mounted and
    // the store of their package files. An empty path is not read.
    std::string flatpakSystemInstallation;
    std::string flatpakUserInstallation;
    std::string snapMounts;
    std::string snapPackages;

    bool operator==(const ApplicationRoots&) const = default;

    // `relative` under the system root.
    std::string underSystemRoot(std::string_view relative) const;
    // The computer-wide Library.
    std::string library() const;
    // The folders searched for bundles, in search order, for the user whose home is `homeFolder`.
    std::vector<std::string> applicationFolders(const std::string& homeFolder) const;
    std::vector<std::string> applicationFolders() const { return applicationFolders(home); }

    // Everything laid out below `systemRoot` and `home` as on this kind of computer: Flatpak's
    // installations in "var/lib/flatpak" and the user's data folder ($XDG_DATA_HOME or
    // ".local/share") unless $FLATPAK_SYSTEM_DIR or $FLATPAK_USER_DIR name others, as Flatpak
    // itself reads them; snaps in "snap" and "var/lib/snapd/snaps".
    static ApplicationRoots
    onDisk(std::string systemRoot, std::string home,
           const platform::EnvironmentReader& environment = platform::processEnvironment);
    // The running application's: home from HOME, the system root from QUILLMERE_SYSTEM_ROOT
    // (a development switch), else "/".
    static ApplicationRoots current();
};

} // namespace quillmere
