#pragma once

#include "platform/Mounts.hpp"
#include "scan/FileNode.hpp"

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace quillmere {

// The last completed scan of a volume, as saved between runs.
struct ScanSnapshot {
    FileNode root;
    std::string volumeUUID; // the identifier of the scanned volume at the time of the scan
    std::string volumeName;
    Date scannedAt = 0;
};

// The saved-scan file: where it lives and how a snapshot becomes bytes and back.
//
// Layout (little-endian): "QLMR", u32 version 1, u32-length-prefixed UTF-8 volume identifier
// and name, f64 scannedAt, u32 node count, then one record per node in pre-order:
// u32 parent index (0xFFFFFFFF for the root), u8 flags, i64 allocatedSize, i32 cloudOnlyCount,
// folderCount, fileCount, i64 sharedBytesTotal, [f64 date], u32-length-prefixed name. The
// root's name is its full path; every other path is rebuilt from the names.
namespace ScanSnapshotStore {

inline constexpr std::string_view kFileName = "last-scan.qlmrsnap";
inline constexpr uint32_t kVersion = 1;
inline constexpr uint32_t kMaxNodeCount = 20'000'000;
// The largest file the encoder writes and the loader reads.
inline constexpr uint64_t kMaxFileBytes = uint64_t{2} << 30;
// Folders keep at most this many regular children (the 49th survives only when it is the last)
// and the file keeps at most kMaxStoredDepth levels below the root.
inline constexpr size_t kKeptRegularChildren = 48;
inline constexpr int kMaxStoredDepth = 6;

// The folder that holds the file: `xdgDataHome`/Quillmere when it is an absolute path (the
// XDG rule: relative values are ignored), else `home`/.local/share/Quillmere.
std::string folderPath(std::optional<std::string_view> xdgDataHome, std::string_view home);

// The file's path in `folder`, creating the folder with its parents (a failure is left for
// the write to meet).
std::string fileURL(const std::string& folder);
// The file's path in this user's data folder, creating the folder.
std::string fileURL();

// The tree as it is stored: folders keep their shared and cloud-only children and their 48
// largest other children, the rest folded into one aggregate (a 49th alone is kept as it is),
// and nothing lies deeper than six levels below the root. Totals are kept, not recomputed.
FileNode prune(const FileNode& node, int depth = 0);

// The bytes of a complete file of the pruned tree. Counts beyond 32 bits are stored saturated.
// Nothing when the tree cannot be stored so that it loads again: a text longer than 4 GiB, too
// many nodes, more than kMaxFileBytes in all, or a name the reader refuses.
[[nodiscard]] std::optional<std::vector<uint8_t>> encode(const ScanSnapshot& snapshot);

// The snapshot in `bytes`; nothing unless every check holds. Invalid UTF-8 reads as U+FFFD and
// bytes after the last record are ignored. A record name that is empty, "." or "..", or holds
// "/" or NUL, or a root name that is not an absolute path or has a "." or ".." component, makes
// the file invalid: a loaded tree never names a path outside its root.
[[nodiscard]] std::optional<ScanSnapshot> decode(std::span<const uint8_t> bytes);

// Whether `name` may name a record below the root, and `rootPath` the root.
bool isStorableName(std::string_view name);
bool isStorableRootPath(std::string_view rootPath);

// The identifier of the volume that holds `path` (see platform::mountIdentifier).
std::optional<std::string> volumeUUID(const std::string& path,
                                      const platform::MountHost& host = platform::MountHost::system());

// Replaces the file at `path` with `bytes` so that readers see the old file or the new one,
// never a part: a temporary file in the same folder is written, flushed to disk and renamed.
// False (with the old file untouched and no temporary left) when any step fails.
[[nodiscard]] bool writeAtomically(const std::string& path, std::span<const uint8_t> bytes);

// Encodes and writes atomically; false when either fails.
[[nodiscard]] bool save(const ScanSnapshot& snapshot, const std::string& path);
// Reads the whole file and decodes it; nothing when it is missing, unreadable or invalid, and
// nothing without waiting when it is not a regular file or is larger than kMaxFileBytes.
[[nodiscard]] std::optional<ScanSnapshot> load(const std::string& path);

} // namespace ScanSnapshotStore
} // namespace quillmere
