#include "systemdata/SystemDataLocations.hpp"

#include "scan/PathText.hpp"

#include <cstdlib>
#include <unistd.h>

namespace quillmere {
namespace {

// Whether `folder` is `path` or one of its ancestors.
bool isSameOrAncestor(const std::string& folder, const std::string& path) {
    return isComponentPrefix(standardizedComponents(folder), standardizedComponents(path));
}

// Folders of the operating system itself. Used until a shared protected-location test is
// available to this layer.
bool isSystemFolder(const std::string& path) {
    const auto components = standardizedComponents(path);
    if (components.empty()) return true;
    static const char* const kSystem[] = {"bin",    "boot", "dev", "etc",  "lib", "lib32", "lib64",
                                          "libx32", "proc", "run", "sbin", "sys", "usr"};
    for (const char* name : kSystem)
        if (components.front() == name)
            return !(components.front() == "usr" && components.size() >= 2 && components[1] == "local");
    return false;
}

std::string firstExecutable(std::initializer_list<const char*> candidates) {
    for (const char* candidate : candidates)
        if (::access(candidate, X_OK) == 0) return candidate;
    return *candidates.begin();
}

// The XDG user folders named in ~/.config/user-dirs.dirs style: their defaults under home.
std::vector<std::string> defaultUserFolders(const std::string& home) {
    std::vector<std::string> folders;
    for (const char* name :
         {"Desktop", "Documents", "Downloads", "Music", "Pictures", "Public", "Templates", "Videos"})
        folders.push_back(appendingPathComponent(home, name));
    return folders;
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
    if (isProtected(folder) || isSystemFolder(folder)) return std::nullopt;
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

    const auto xdgFolder = [&](const char* variable, const char* fallback) {
        const auto value = environment(variable);
        return value && value->starts_with('/') ? standardizedPath(*value)
                                                : appendingPathComponent(home, fallback);
    };
    std::vector<std::string> kept = defaultUserFolders(home);
    kept.push_back(xdgFolder("XDG_DATA_HOME", ".local/share"));
    kept.push_back(xdgFolder("XDG_CONFIG_HOME", ".config"));
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
    SystemDataLocations table = make(
        volume, home,
        [](const char* name) -> std::optional<std::string> {
            const char* value = std::getenv(name);
            if (!value) return std::nullopt;
            return std::string(value);
        },
        platform::mountTable(platform::MountHost::system()), [](const std::string&) { return false; });
    table.btrfsTool = firstExecutable({"/usr/bin/btrfs", "/usr/sbin/btrfs", "/sbin/btrfs", "/bin/btrfs"});
    table.zfsTool = firstExecutable({"/usr/sbin/zfs", "/sbin/zfs", "/usr/bin/zfs"});
    return table;
}

} // namespace quillmere
