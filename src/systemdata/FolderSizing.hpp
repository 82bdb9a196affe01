#pragma once

#include "platform/ScanHost.hpp"
#include "scan/FileNode.hpp"
#include "scan/ScanRecords.hpp"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace quillmere {

// How large a folder is and how much of it could not be read.
struct FolderSize {
    int64_t bytes = 0;
    // Tree: denied paths at or under the folder; walk: entries the walk could not read.
    int64_t unreadableCount = 0;
    int64_t deniedBytesEstimate = 0;

    FolderSize& operator+=(const FolderSize& other) {
        bytes += other.bytes;
        unreadableCount += other.unreadableCount;
        deniedBytesEstimate += other.deniedBytesEstimate;
        return *this;
    }
    bool operator==(const FolderSize&) const = default;
};

// The folder's size from the scan tree when the tree holds it (its allocated size, and the
// denied paths at or under it), else from a walk. Folders are matched by canonical path.
FolderSize directorySize(const std::string& folder, const std::optional<FileNode>& scanRoot,
                         const std::vector<DeniedPath>& deniedPaths, platform::ScanHost& host);

// The size the scan tree gives `folder` (a canonical path); nothing when it does not hold it.
std::optional<FolderSize> sizeFromScanTree(const std::string& folder, const FileNode& scanRoot,
                                           const std::vector<DeniedPath>& deniedPaths);

// Walks the folder: every non-folder entry counts its own allocated blocks (nothing is shared
// or deduplicated), hidden entries and everything under them are left out, links are not
// followed and other file systems are not entered. A folder that cannot be opened or read adds
// 1 to the unreadable count and its own blocks to the estimate. Large folders are walked on up
// to `maxThreads` threads. A missing folder gives 0, 0, 0.
FolderSize walkFolderSize(const std::string& folder, platform::ScanHost& host, int maxThreads = 0);

} // namespace quillmere
