// Local snapshots (btrfs, zfs) and the backup tool's snapshot folders.
#include "base/PathText.hpp"
#include "systemdata/DirectoryListing.hpp"
#include "systemdata/SystemDataProbe.hpp"
#include "systemdata/SystemDataTexts.hpp"

#include <fcntl.h>

namespace quillmere {

namespace text = systemdata_text;

namespace {

constexpr double kToolTimeout = 1.0;

SystemDataCategory snapshotCategory(int64_t size, std::string explanation, std::optional<std::string> reason,
                                    std::string mechanism) {
    return {systemdata_ids::localSnapshots,
            text::localSnapshotsName(),
            size,
            std::move(explanation),
            false,
            std::move(reason),
            std::move(mechanism),
            std::nullopt,
            0};
}

// The snapshot names a btrfs listing gives: what follows " path " on each line.
std::vector<std::string> btrfsSnapshotNames(const std::string& output) {
    std::vector<std::string> names;
    for (const std::string& line : trimmedLines(output)) {
        const size_t at = line.find(" path ");
        if (at == std::string::npos) continue;
        std::string name = line.substr(at + 6);
        if (!name.empty()) names.push_back(std::move(name));
    }
    return names;
}

} // namespace

SystemDataCategory SystemDataProbe::localSnapshotsCategory() const {
    using Kind = SystemDataLocations::SnapshotKind;
    if (locations_.snapshotKind == Kind::none)
        return snapshotCategory(0, text::noSnapshots(), text::nothingToReclaim,
                                "file-system type of the volume");

    const bool isBtrfs = locations_.snapshotKind == Kind::btrfs;
    const std::string mechanism = isBtrfs ? "btrfs subvolume list -s" : "zfs list -t snapshot";
    const CommandResult result =
        isBtrfs
            ? services_.runCommand(locations_.btrfsTool,
                                   {"subvolume", "list", "-s", locations_.snapshotMountPoint}, kToolTimeout)
            : services_.runCommand(
                  locations_.zfsTool,
                  {"list", "-H", "-t", "snapshot", "-o", "name", "-d", "1", locations_.zfsDataset},
                  kToolTimeout);
    // A listing that failed says nothing about whether snapshots exist.
    if (result.exitCode != 0)
        return snapshotCategory(0, text::snapshotsUnlisted(), text::snapshotsUnlistedReason(), mechanism);
    const std::vector<std::string> names =
        isBtrfs ? btrfsSnapshotNames(result.output) : trimmedLines(result.output);
    if (names.empty()) return snapshotCategory(0, text::noSnapshots(), text::nothingToReclaim, mechanism);
    // Linux marks no snapshot as purgeable or pinned: their size is simply unknown.
    return snapshotCategory(0,
                            text::snapshotsFound(static_cast<int64_t>(names.size()), names.front(),
                                                 isBtrfs ? "btrfs subvolume list" : "zfs list"),
                            text::snapshotsUnsizedReason(), mechanism);
}

SystemDataCategory
SystemDataProbe::timeMachineBackupsCategory(const std::optional<FileNode>& scanRoot,
                                            const std::vector<DeniedPath>& deniedPaths) const {
    const std::string& folder = locations_.backupSnapshots;
    SystemDataCategory category{systemdata_ids::timeMachine, text::backupsName()};
    std::vector<std::string> paths;
    if (const auto names = listVisibleNames(*services_.host, FileNode::canonicalPath(folder)))
        for (const std::string& name : *names) {
            const std::string path = appendingPathComponent(folder, name);
            struct stat info {};
            if (services_.host->statAt(AT_FDCWD, path.c_str(), &info) == 0 && S_ISDIR(info.st_mode))
                paths.push_back(path);
        }
    if (paths.empty()) {
        category.explanation = text::noBackups(folder);
        category.reclaimabilityReason = text::noBackupsReason(folder);
        category.mechanism = text::noBackupsMechanism(folder);
        return category;
    }
    std::vector<SystemDataNamedItem> items;
    int64_t total = 0;
    for (const std::string& path : paths) {
        const FolderSize size = directorySize(path, scanRoot, deniedPaths);
        category.deniedBytesEstimate += size.deniedBytesEstimate;
        total += size.bytes;
        items.push_back({FileNode::canonicalPath(path),
                         text::backupItemLabel(std::string(lastPathComponent(path))), size.bytes});
    }
    category.sizeBytes = total;
    category.explanation = text::backupsFound(static_cast<int64_t>(paths.size()), folder);
    category.isReclaimable = total >= 1;
    category.mechanism = text::backupsMechanism(folder);
    if (total >= 1)
        category.reclaimAction = SystemDataReclaimAction::wholeItems(std::move(items));
    else
        category.reclaimabilityReason = text::backupsUnreadableReason(static_cast<int64_t>(paths.size()));
    return category;
}

} // namespace quillmere
