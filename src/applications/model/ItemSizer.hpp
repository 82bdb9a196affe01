#pragma once

#include "platform/ScanHost.hpp"
#include "scan/ScanRecords.hpp"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace quillmere {

// Allocated bytes and cloud-only files of one item.
struct ItemMeasurement {
    int64_t allocatedSize = 0;
    int64_t cloudOnlyCount = 0;

    bool operator==(const ItemMeasurement&) const = default;
};

// Sizes bundles and leftovers on disk: folders with a scan of their own (hard links and clones
// counted once within it), files by their own allocated blocks. Safe to use from many threads.
class ItemSizer {
public:
    // `fullDiskAccess` is asked afresh for every folder scanned.
    ItemSizer(std::string home, platform::ScanHost& host = platform::ScanHost::system(),
              std::function<bool()> fullDiskAccess = {});

    // A folder's whole subtree; zero when it cannot be scanned.
    ItemMeasurement sizeDirectory(const std::string& path,
                                  std::shared_ptr<ScanCancellation> cancellation = nullptr) const;
    // One file, never opened or downloaded: a cloud-only file counts once and zero bytes.
    ItemMeasurement sizeFile(const std::string& path) const;
    // A folder (by lstat) as a folder, anything else as a file.
    ItemMeasurement sizeItem(const std::string& path) const;

    const std::string& home() const { return home_; }

private:
    std::string home_;
    platform::ScanHost& host_;
    std::function<bool()> fullDiskAccess_;
};

} // namespace quillmere
