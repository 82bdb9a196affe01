#pragma once

#include "platform/ScanHost.hpp"
#include "scan/FileNode.hpp"
#include "scan/ScanRecords.hpp"
#include "systemdata/CommandRunner.hpp"
#include "systemdata/FolderSizing.hpp"
#include "systemdata/SystemDataLocations.hpp"
#include "systemdata/SystemDataReport.hpp"

#include <expected>
#include <functional>
#include <optional>
#include <string>
#include <sys/statvfs.h>
#include <vector>

namespace quillmere {

// What a device backup's "Info.plist" says of it; each field absent when missing or not of
// the expected type.
struct DeviceBackupInfo {
    std::optional<std::string> displayName;
    std::optional<std::string> deviceName;
    std::optional<Date> lastBackupDate;

    bool operator==(const DeviceBackupInfo&) const = default;
};

// Everything the probe asks of the host, so tests can run it on fixture trees with fake tools.
struct SystemDataProbeServices {
    platform::ScanHost* host = nullptr;
    std::function<CommandResult(const std::string& path, const std::vector<std::string>& arguments,
                                double timeoutSeconds)>
        runCommand;
    std::function<int(const char* path, struct statvfs* info)> statVfs;
    // Reads the property list at the path; nothing when it is missing or unreadable.
    std::function<std::optional<DeviceBackupInfo>(const std::string& plistPath)> readBackupInfo;
    // A date in the user's locale, medium style.
    std::function<std::string(Date)> formatDate;

    static SystemDataProbeServices system();
};

// The names and date a device backup's "Info.plist" holds; nothing when it cannot be read as a
// dictionary (XML or binary).
std::optional<DeviceBackupInfo> readDeviceBackupInfo(const std::string& plistPath);

// A date in the user's locale in medium style ("Dec 9, 2026"), through one shared formatter.
std::string formatMediumDate(Date date);

// Breaks a volume's used space into named categories. Made for one run; it only reads.
class SystemDataProbe {
public:
    using CategoryProbe = std::function<SystemDataCategory()>;
    struct ProbeTask {
        std::string id; // the row a probe that fails inside still fills
        std::string name;
        CategoryProbe run;
    };

    SystemDataProbe(SystemDataLocations locations, SystemDataProbeServices services);

    // Runs the eight category probes in parallel and derives the two further rows. Blocks until
    // all are done; never throws; not for the main thread. With a scan, `scanTotalBytes` is what
    // it accounted for (its tree and its folders' own blocks) and the denied row is what the
    // scan says permissions hid (bytesHiddenByPermissions), the figure its banner shows.
    SystemDataReport probe(std::optional<int64_t> scanTotalBytes, std::optional<int64_t> volumeUsedBytes,
                           const std::optional<FileNode>& scanRoot,
                           const std::vector<DeniedPath>& deniedPaths, bool scanIsComplete = true) const;

    // (blocks − free blocks) × fragment size of the volume: reserved blocks count as free.
    std::expected<int64_t, SystemDataProbeError> volumeUsedBytes() const;

    // Each probe on a thread of its own (they may block on tools); results in table order.
    static std::vector<SystemDataCategory> runConcurrently(const std::vector<ProbeTask>& probes);

    // The report from the eight probed categories: the denied row and the remainder. Without a
    // scan's figure of what permissions hid, the denied row sums the categories' own estimates.
    static SystemDataReport assemble(std::vector<SystemDataCategory> probed,
                                     std::optional<int64_t> scanTotalBytes, int64_t usedBytes,
                                     std::optional<int64_t> scanHiddenBytes = std::nullopt);

    SystemDataCategory localSnapshotsCategory() const;
    SystemDataCategory timeMachineBackupsCategory(const std::optional<FileNode>& scanRoot,
                                                  const std::vector<DeniedPath>& deniedPaths) const;
    SystemDataCategory deviceBackupsCategory(const std::optional<FileNode>& scanRoot,
                                             const std::vector<DeniedPath>& deniedPaths) const;
    SystemDataCategory derivedDataCategory(const std::optional<FileNode>& scanRoot,
                                           const std::vector<DeniedPath>& deniedPaths) const;
    SystemDataCategory userCachesCategory(const std::optional<FileNode>& scanRoot,
                                          const std::vector<DeniedPath>& deniedPaths) const;
    SystemDataCategory systemCachesCategory(const std::optional<FileNode>& scanRoot,
                                            const std::vector<DeniedPath>& deniedPaths) const;
    SystemDataCategory mailDownloadsCategory(const std::optional<FileNode>& scanRoot,
                                             const std::vector<DeniedPath>& deniedPaths) const;
    SystemDataCategory cachedICloudContentCategory() const;

    // One backup folder to its named item; nothing when it sizes below 1 byte.
    std::optional<SystemDataNamedItem> deviceBackupItem(const std::string& backup,
                                                        const std::optional<FileNode>& scanRoot) const;
    std::vector<SystemDataNamedItem> deviceBackupItems(const std::string& folder,
                                                       const std::optional<FileNode>& scanRoot) const;

    struct CloudContent {
        int64_t downloadedBytes = 0;
        int64_t cloudOnlyCount = 0;
        std::vector<std::string> downloadedFiles;
        bool operator==(const CloudContent&) const = default;
    };
    CloudContent downloadedICloudItems(const std::string& folder) const;

    FolderSize directorySize(const std::string& folder, const std::optional<FileNode>& scanRoot,
                             const std::vector<DeniedPath>& deniedPaths) const;

    const SystemDataLocations& locations() const { return locations_; }

private:
    SystemDataLocations locations_;
    SystemDataProbeServices services_;
};

// The text's lines split at line feeds, trimmed of blanks and tabs, empty ones dropped.
std::vector<std::string> trimmedLines(const std::string& text);

// Names of the entries of a folder that are not hidden, sorted; nothing when it cannot be listed.
std::optional<std::vector<std::string>> listVisibleNames(const std::string& folder);

} // namespace quillmere
