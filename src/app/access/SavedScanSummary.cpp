#include "app/access/SavedScanSummary.hpp"

#include "scan/ScanSnapshot.hpp"

#include <cerrno>
#include <cmath>
#include <fstream>
#include <iterator>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace quillmere {

SavedScanLocator SavedScanLocator::standard() {
    return {[] { return ScanSnapshotStore::fileURL(); }, [] { return ScanSnapshotStore::volumeUUID("/"); },
            [](const std::string& path) { return ::unlink(path.c_str()) == 0 || errno == ENOENT; }};
}

std::optional<SavedScanSummary> loadSavedScanSummary(const SavedScanLocator& locator) {
    if (!locator.filePath || !locator.startupVolumeUUID) return std::nullopt;
    const std::string path = locator.filePath();
    struct stat status {};
    if (::stat(path.c_str(), &status) != 0 || !S_ISREG(status.st_mode)) return std::nullopt;
    if (status.st_size <= 0 || status.st_size > static_cast<off_t>(ScanSnapshotStore::kMaxFileBytes))
        return std::nullopt;
    const Date modified =
        static_cast<Date>(status.st_mtim.tv_sec) + static_cast<Date>(status.st_mtim.tv_nsec) / 1e9;
    const std::optional<std::string> volume = locator.startupVolumeUUID();
    if (!volume) return std::nullopt;
    std::ifstream file(path, std::ios::binary);
    if (!file) return std::nullopt;
    const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(file)),
                                     std::istreambuf_iterator<char>());
    if (bytes.empty()) return std::nullopt;
    const std::optional<ScanSnapshot> snapshot = ScanSnapshotStore::decode(bytes);
    if (!snapshot || snapshot->volumeUUID != *volume) return std::nullopt;
    const bool hasTime = std::isfinite(snapshot->scannedAt) && snapshot->scannedAt != kDistantPast;
    return SavedScanSummary{snapshot->volumeName, hasTime ? snapshot->scannedAt : modified};
}

} // namespace quillmere
