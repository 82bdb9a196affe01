#pragma once

#include "scan/ScanSnapshot.hpp"

#include <functional>
#include <optional>
#include <string>

namespace quillmere {

// How ScanState reaches the saved-scan file. Both run on a worker thread and touch no state
// object, so tests can hand in doubles.
struct SnapshotIO {
    // Writes the snapshot; failures are swallowed, since the scan is already shown.
    std::function<void(ScanSnapshot)> save;
    // The saved scan of the volume mounted at "/", or nothing.
    std::function<std::optional<ScanSnapshot>()> load;

    // The user's "last-scan.qlmrsnap", written atomically.
    static SnapshotIO standard();
};

// The saved scan in the file at `path` when it belongs to the volume `startupVolumeUUID`;
// nothing when there is no such volume, or the file is missing, empty, invalid or another
// volume's. The file is not opened without a volume.
std::optional<ScanSnapshot> loadStartupSnapshot(const std::optional<std::string>& startupVolumeUUID,
                                                const std::string& path);

} // namespace quillmere
