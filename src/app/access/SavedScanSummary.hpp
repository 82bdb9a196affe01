#pragma once

#include "scan/FileNode.hpp"

#include <functional>
#include <optional>
#include <string>

namespace quillmere {

// What the Settings window shows of the saved scan.
struct SavedScanSummary {
    std::string volumeName;
    Date scannedAt = 0;

    bool operator==(const SavedScanSummary&) const = default;
};

// Where the saved scan lives and how it goes; tests replace each.
struct SavedScanLocator {
    std::function<std::string()> filePath;
    // The identifier of the volume that holds "/".
    std::function<std::optional<std::string>()> startupVolumeUUID;
    // True only when the file is gone afterwards (a file already missing counts as gone).
    std::function<bool(const std::string&)> removeFile;

    static SavedScanLocator standard();
};

// The time a scan without a usable time of its own carries: the first instant of year 1.
inline constexpr Date kDistantPast = -62135769600.0;

// The summary of the saved scan when the file exists, is a valid snapshot of the startup volume;
// a scan without a usable time shows the file's modification time.
std::optional<SavedScanSummary> loadSavedScanSummary(const SavedScanLocator& locator);

} // namespace quillmere
