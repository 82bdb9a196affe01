// The folder categories: device backups, developer build data, caches and mail.
#include "base/PathText.hpp"
#include "systemdata/DirectoryListing.hpp"
#include "systemdata/SystemDataProbe.hpp"
#include "systemdata/SystemDataTexts.hpp"

#include <fcntl.h>

namespace quillmere {

namespace text = systemdata_text;

namespace {

bool itemExists(platform::ScanHost& host, const std::string& path) {
    struct stat info {};
    return host.statAt(AT_FDCWD, path.c_str(), &info) == 0;
}

SystemDataCategory absentFolder(const char* id, std::string name, std::string explanation,
                                std::string mechanism) {
    return {id,
            std::move(name),
            0,
            std::move(explanation),
            false,
            std::string(text::nothingToReclaim),
            std::move(mechanism),
            std::nullopt,
            0};
}

// A folder category that may be offered: offered when the folder holds at least a byte.
SystemDataCategory offeredFolder(const char* id, std::string name, const FolderSize& size,
                                 std::string explanation, std::string mechanism) {
    SystemDataCategory category{id, std::move(name), size.bytes, std::move(explanation), size.bytes >= 1};
    if (size.bytes < 1) category.reclaimabilityReason = text::nothingToReclaim;
    category.mechanism = std::move(mechanism);
    category.deniedBytesEstimate = size.deniedBytesEstimate;
    return category;
}

} // namespace

std::optional<SystemDataNamedItem>
SystemDataProbe::deviceBackupItem(const std::string& backup, const std::optional<FileNode>& scanRoot) const {
    const FolderSize size = directorySize(backup, scanRoot, {});
    if (size.bytes < 1) return std::nullopt;
    const std::optional<DeviceBackupInfo> info =
        services_.readBackupInfo ? services_.readBackupInfo(appendingPathComponent(backup, "Info.plist"))
                                 : std::nullopt;
    std::string name(lastPathComponent(backup));
    if (info && info->displayName)
        name = *info->displayName;
    else if (info && info->deviceName)
        name = *info->deviceName;
    std::optional<Date> date = info ? info->lastBackupDate : std::nullopt;
    if (!date) {
        struct stat status {};
        if (services_.host->statAt(AT_FDCWD, backup.c_str(), &status) == 0)
            date = static_cast<Date>(status.st_mtim.tv_sec) + status.st_mtim.tv_nsec / 1e9;
    }
    const std::string dateText =
        date && services_.formatDate ? services_.formatDate(*date) : text::unknownDate();
    return SystemDataNamedItem{FileNode::canonicalPath(backup), text::deviceBackupLabel(name, dateText),
                               size.bytes};
}

std::vector<SystemDataNamedItem>
SystemDataProbe::deviceBackupItems(const std::string& folder, const std::optional<FileNode>& scanRoot) const {
    std::vector<SystemDataNamedItem> items;
    if (const auto names = listVisibleNames(*services_.host, FileNode::canonicalPath(folder)))
        for (const std::string& name : *names)
            if (auto item = deviceBackupItem(appendingPathComponent(folder, name), scanRoot))
                items.push_back(std::move(*item));
    return items;
}

SystemDataCategory SystemDataProbe::deviceBackupsCategory(const std::optional<FileNode>& scanRoot,
                                                          const std::vector<DeniedPath>& deniedPaths) const {
    const std::string& folder = locations_.deviceBackups;
    if (!itemExists(*services_.host, folder))
        return absentFolder(systemdata_ids::deviceBackups, text::deviceBackupsName(), text::noDeviceBackups(),
                            text::noDeviceBackupsMechanism());
    const FolderSize size = directorySize(folder, scanRoot, deniedPaths);
    SystemDataCategory category =
        offeredFolder(systemdata_ids::deviceBackups, text::deviceBackupsName(), size,
                      text::deviceBackupsExplanation(), text::deviceBackupsMechanism());
    if (size.bytes >= 1) {
        std::vector<SystemDataNamedItem> items = deviceBackupItems(folder, scanRoot);
        if (!items.empty()) category.reclaimAction = SystemDataReclaimAction::wholeItems(std::move(items));
    }
    return category;
}

SystemDataCategory SystemDataProbe::derivedDataCategory(const std::optional<FileNode>& scanRoot,
                                                        const std::vector<DeniedPath>& deniedPaths) const {
    const std::string& folder = locations_.derivedData;
    if (!itemExists(*services_.host, folder))
        return absentFolder(systemdata_ids::derivedData, text::derivedDataName(), text::noDerivedData(),
                            text::noDerivedDataMechanism());
    const FolderSize size = directorySize(folder, scanRoot, deniedPaths);
    SystemDataCategory category = offeredFolder(systemdata_ids::derivedData, text::derivedDataName(), size,
                                                text::derivedDataExplanation(), text::derivedDataMechanism());
    if (size.bytes >= 1)
        category.reclaimAction = SystemDataReclaimAction::directoryContents(FileNode::canonicalPath(folder));
    return category;
}

SystemDataCategory SystemDataProbe::userCachesCategory(const std::optional<FileNode>& scanRoot,
                                                       const std::vector<DeniedPath>& deniedPaths) const {
    const std::string& folder = locations_.userCaches;
    const FolderSize size = directorySize(folder, scanRoot, deniedPaths);
    SystemDataCategory category =
        offeredFolder(systemdata_ids::userCaches, text::userCachesName(), size,
                      text::userCachesExplanation(locations_.userCachesDisplay, size.unreadableCount),
                      text::userCachesMechanism(locations_.userCachesDisplay));
    if (size.bytes >= 1)
        category.reclaimAction = SystemDataReclaimAction::directoryContents(FileNode::canonicalPath(folder));
    return category;
}

SystemDataCategory SystemDataProbe::systemCachesCategory(const std::optional<FileNode>& scanRoot,
                                                         const std::vector<DeniedPath>& deniedPaths) const {
    const FolderSize size = directorySize(locations_.systemCaches, scanRoot, deniedPaths);
    return {systemdata_ids::systemCaches,
            text::systemCachesName(),
            size.bytes,
            text::systemCachesExplanation(locations_.systemCachesDisplay, size.unreadableCount),
            false,
            text::systemCachesReason(),
            text::systemCachesMechanism(locations_.systemCachesDisplay),
            std::nullopt,
            size.deniedBytesEstimate};
}

SystemDataCategory SystemDataProbe::mailDownloadsCategory(const std::optional<FileNode>& scanRoot,
                                                          const std::vector<DeniedPath>& deniedPaths) const {
    bool anyExists = false;
    bool anyListed = false;
    FolderSize total;
    for (const std::string& folder : locations_.mailFolders) {
        if (!itemExists(*services_.host, folder)) continue;
        anyExists = true;
        // Listed only to learn whether this process may read it at all.
        if (!listVisibleNames(*services_.host, FileNode::canonicalPath(folder))) continue;
        anyListed = true;
        total += directorySize(folder, scanRoot, deniedPaths);
    }
    if (!anyExists)
        return absentFolder(systemdata_ids::mailDownloads, text::mailName(), text::noMailFolder(),
                            text::noMailFolderMechanism());
    if (!anyListed)
        return {systemdata_ids::mailDownloads,
                text::mailName(),
                0,
                text::mailUnlisted(),
                false,
                text::mailUnlistedReason(),
                text::mailUnlistedMechanism(),
                std::nullopt,
                0};
    return {systemdata_ids::mailDownloads,
            text::mailName(),
            total.bytes,
            text::mailExplanation(total.unreadableCount),
            false,
            text::mailReason(),
            text::mailMechanism(),
            std::nullopt,
            total.deniedBytesEstimate};
}

} // namespace quillmere
