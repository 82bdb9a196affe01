#include "systemdata/SystemDataLocations.hpp"

#include "base/PathText.hpp"
#include "platform/XdgFolders.hpp"
#include "systemdata/ProtectedLocations.hpp"

#include <unistd.h>

namespace quillmere {
namespace {

// Whether `folder` is `path` or one of its ancestors.
bool isSameOrAncestor(const std::string& folder, const std::string& path) {
    return isComponentPrefix(standardizedComponents(folder), standardizedComponents(path));
}

std::string firstExecutable(std::initializer_list<const char*> candidates) {
    for (const char* candidate : candidates)
        if (::access(candidate, X_OK) == 0) return candidate;
    return *candidates.begin();
}

} // namespace

std::string abbreviatedHomePath(const std::string& path, const std::string& home) {
    if (home.empty() || home == "/") return path;
    if (pathsEqual(path, home)) return "~";
    if (pathStartsWith(path, folderPrefix(home))) return "~/" + path.substr(folderPrefix(home).size());
    return path;
}

std::optional<std::string> acceptedCacheVariable(const std::string& value, const std::string& home,
                                                 const std::vector<std::string>& keptFolders,
                                                 const std::function<bool(const std::string&)>& isProtected) {
    if (value.empty() || value.front() != '/') return std::nullopt;
    const std::string folder = standardizedPath(value);
    if (isSameOrAncestor(folder, home)) return std::nullopt;
    if (isProtected(folder)) return std::nullopt;
    for (const std::string& kept : keptFolders)
        if (isSameOrAncestor(folder, kept)) return std::nullopt;
    return folder;
}

SystemDataLocations
SystemDataLocations::make(const std::string& volume, const std::string& home,
                          const std::function<std::optional<std::string>(const char*)>& environment,
                          const std::vector<platform::MountEntry>& mounts,
                          const std::function<bool(const std::string&)>& isProtected) {
    SystemDataLocations table;
    table.volume = volume;
    table.home = home;
    if (const auto mount = platform::mountContaining(mounts, volume)) {
        if (mount->fileSystemType == "btrfs") {
            table.snapshotKind = SnapshotKind::btrfs;
            table.snapshotMountPoint = mount->mountPoint;
        } else if (mount->fileSystemType == "zfs") {
            table.snapshotKind = SnapshotKind::zfs;
            table.zfsDataset = mount->source;
        }
    }
    table.backupSnapshots = appendingPathComponent(volume, "timeshift/snapshots");
    table.deviceBackups = appendingPathComponent(home, "Library/Application Support/MobileSync/Backup");
    table.derivedData = appendingPathComponent(home, "Library/Developer/Xcode/DerivedData");
    table.cloudDocuments = appendingPathComponent(home, "Library/Mobile Documents");

    // Folders a cache variable must never be allowed to swallow.
    std::vector<std::string> kept{platform::dataHome(home, environment),
                                  platform::configHome(home, environment)};
    for (const char* key : {"XDG_DESKTOP_DIR", "XDG_DOCUMENTS_DIR", "XDG_DOWNLOAD_DIR", "XDG_MUSIC_DIR",
                            "XDG_PICTURES_DIR", "XDG_PUBLICSHARE_DIR", "XDG_TEMPLATES_DIR", "XDG_VIDEOS_DIR"})
        if (const auto folder = platform::userDirectory(key, home, environment)) kept.push_back(*folder);
    for (const char* name : {"Desktop", "Documents", "Downloads", "Music", "Pictures", "Videos"})
        kept.push_back(appendingPathComponent(home, name));
    table.userCaches = appendingPathComponent(home, ".cache");
    table.userCachesDisplay = "~/.cache";
    if (const auto variable = environment("XDG_CACHE_HOME"))
        if (const auto folder = acceptedCacheVariable(*variable, home, kept, isProtected)) {
            table.userCaches = *folder;
            table.userCachesDisplay = abbreviatedHomePath(*folder, home);
        }
    table.systemCaches = appendingPathComponent(volume, "var/cache");
    table.systemCachesDisplay = "/var/cache";
    for (const char* folder :
         {".thunderbird", ".var/app/org.mozilla.Thunderbird/.thunderbird",
          "snap/thunderbird/common/.thunderbird", ".local/share/evolution/mail", ".local/share/local-mail"})
        table.mailFolders.push_back(appendingPathComponent(home, folder));
    return table;
}

SystemDataLocations SystemDataLocations::system(const std::string& volume, const std::string& home) {
    const ProtectedLocations protection = ProtectedLocations::current();
    SystemDataLocations table =
        make(volume, home, platform::processEnvironment, platform::mountTable(platform::MountHost::system()),
             [&](const std::string& path) { return protection.isProtectedPath(path); });
    table.btrfsTool = firstExecutable({"/usr/bin/btrfs", "/usr/sbin/btrfs", "/sbin/btrfs", "/bin/btrfs"});
    table.zfsTool = firstExecutable({"/usr/sbin/zfs", "/sbin/zfs", "/usr/bin/zfs"});
    return table;
}

} // namespace quillmere
