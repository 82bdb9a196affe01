#pragma once

#include "platform/Mounts.hpp"
#include "platform/XdgFolders.hpp"

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace quillmere {

// Where each System Data category looks on this computer, and how it words that place. Built
// once from the home folder, the volume and the environment; tests pass a fixture table.
struct SystemDataLocations {
    enum class SnapshotKind { none, btrfs, zfs };

    std::string volume; // "/" for the startup volume
    std::string home;

    // Local snapshots: chosen by the volume's file-system type.
    SnapshotKind snapshotKind = SnapshotKind::none;
    std::string snapshotMountPoint; // btrfs: the mount point the listing runs on
    std::string zfsDataset;         // zfs: the dataset mounted at the volume
    std::string btrfsTool = "/usr/bin/btrfs";
    std::string zfsTool = "/usr/sbin/zfs";

    std::string backupSnapshots; // the backup tool's snapshot folders are listed here
    std::string deviceBackups;
    std::string derivedData;
    std::string userCaches;
    std::string userCachesDisplay; // "~/.cache", or the cache variable's folder
    std::string systemCaches;
    std::string systemCachesDisplay; // "/var/cache"
    std::vector<std::string> mailFolders;
    std::string cloudDocuments;

    bool operator==(const SystemDataLocations&) const = default;

    // The table for `volume` and `home`. `environment` reads a variable (nothing when unset);
    // `mounts` is the mount table; `isProtected` says whether a path is a protected location.
    static SystemDataLocations make(const std::string& volume, const std::string& home,
                                    const platform::EnvironmentReader& environment,
                                    const std::vector<platform::MountEntry>& mounts,
                                    const std::function<bool(const std::string&)>& isProtected);
    // This computer's table: "/" and the user's home folder.
    static SystemDataLocations system(const std::string& volume, const std::string& home);
};

// The cache folder the user's cache variable names when it is safe to treat as a cache:
// absolute and neither the home folder, an ancestor of it, a protected location, nor a folder
// that is or holds the data home, the config home or a user folder. Else nothing.
std::optional<std::string> acceptedCacheVariable(const std::string& value, const std::string& home,
                                                 const std::vector<std::string>& keptFolders,
                                                 const std::function<bool(const std::string&)>& isProtected);

// `path` with the home folder written as "~".
std::string abbreviatedHomePath(const std::string& path, const std::string& home);

} // namespace quillmere
