#pragma once

#include "scan/ScanRecords.hpp"
#include "systemdata/SystemDataReport.hpp"

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace quillmere {

// What a finished scan hands to the probe of the startup volume.
struct SystemDataProbeInput {
    std::optional<int64_t> scanTotalBytes; // the tree and the folders' own blocks
    std::optional<FileNode> scanRoot;
    std::vector<DeniedPath> deniedPaths;
    bool scanIsComplete = true;
};

// What the scan accounted for, its tree, denied paths and whether it ran to its end, but only when the
// scanned folder lies on the same device as the probed volume: another volume's scan says nothing about this
// one, and the probe then runs as if no scan had finished. `deviceOf` gives a path's device (nothing when it
// cannot be examined).
SystemDataProbeInput
probeInputFor(const DiskScanResult& scan, const std::string& volume,
              const std::function<std::optional<uint64_t>(const std::string&)>& deviceOf);

// The device a path lies on (stat); nothing when it cannot be examined.
std::optional<uint64_t> deviceOfPath(const std::string& path);

// Probes "/" and the current user's home folder on this computer after `scan`.
SystemDataReport probeStartupVolume(const DiskScanResult& scan);

} // namespace quillmere
