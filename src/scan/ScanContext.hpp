#pragma once

#include "platform/ScanHost.hpp"
#include "scan/ScanAccumulator.hpp"

#include <atomic>
#include <memory>
#include <string>
#include <sys/types.h>
#include <unordered_set>
#include <utility>

namespace quillmere {

class TaskGroup;
struct NodeSink;

// Where a folder lies relative to the places the walk must look out for, so that only
// folders on the way to one of them ever build their path text.
struct Placement {
    bool underCloudFolder = false;
    bool onRoute = false; // a watched folder lies at or below this one: check its children by path
};

// What every walker of one scan shares. Each shared object guards itself with its own
// lock, and no walker holds two of those locks at once. What walkers change starts a cache
// line of its own, so that their changes do not evict what every entry reads beside it.
struct ScanContext {
    platform::ScanHost& host;
    alignas(64) ScanAccumulator accumulator;
    alignas(64) SharingRegistry sharing;
    ConcurrencyBudget budget;
    std::shared_ptr<ScanCancellation> cancellation;
    int progressBatchSize;
    size_t openFramesPerWalker = 16; // see DescriptorPlan
    std::string rootPath;
    std::string homeDirectory;
    bool recordsPrivacyProtectedAsDenied;
    dev_t rootDevice = 0;
    // The root's "System/Volumes/Data": a second view of the data volume, never entered.
    std::string dataVolumePath;
    // Mount points below the root that show the root's own file system again (bind mounts),
    // standardized like the data-volume path.
    std::unordered_set<std::string> duplicateViews;
    // Mount points below the root of other file systems, standardized likewise, known from the
    // mount table alone: the walk never crosses into them, and never stats, opens or lists one,
    // so a file system that stopped answering cannot hold it up. Those directly in the root
    // are also kept by name.
    std::unordered_set<std::string> foreignMounts;
    std::unordered_set<std::string> foreignRootNames;
    // Folders whose files may be cloud items, each ending in "/".
    std::string cloudPrefixes[2];
    // Standardized folder prefixes (ending in "/") of every folder checked by its path: the
    // duplicate views, the other file systems' mount points, the data volume and, without full
    // access, the protected home folders.
    std::vector<std::string> watchedPrefixes;
    Placement rootPlacement;
    // The scan's one group of tasks: walks of subfolders join it, and the scan waits for it alone.
    TaskGroup* tasks = nullptr;
    // The own blocks of every folder a walker entered, added up as each walker ends.
    alignas(64) std::atomic<int64_t> folderBytes{0};

    bool isCancelled() const { return cancellation && cancellation->isCancelled(); }

    // The placement of the folder at `path`, inside a folder placed at `parent`.
    [[nodiscard]] Placement placementOf(const std::string& path, Placement parent = {}) const;
    // Whether the folder at this standardized path is shown elsewhere and never entered.
    [[nodiscard]] bool isDuplicateView(const std::string& standardized) const {
        return standardized == dataVolumePath || duplicateViews.contains(standardized);
    }
    // Whether a listed entry of this d_type at this standardized path is another file system's
    // mount point, to be recorded without being touched. A mount over a file is sized as a file.
    [[nodiscard]] bool isForeignMount(const std::string& standardized, unsigned char type) const;
    // A denied path whose estimate comes from lstat through the host (0 when that fails).
    [[nodiscard]] DeniedPath deniedPath(const std::string& path) const;
};

// Walks the folder open at `directory` (ownership passes to the walk) and hands its node to
// `sink`, exactly once: at once, or, when walks of its subfolders are still running in the
// scan's tasks, as the last of them ends. Never throws: whatever goes wrong inside, the folder
// being walked is recorded as denied and what was built so far is handed on; nothing only when
// not even that can be built. With the node goes whether the folder or anything in it was
// recorded denied: such a folder is never folded away, so that a later walk of the denied path
// can be grafted in.
void walkDirectory(ScanContext& context, platform::Fd directory, const FolderPath& folderPath,
                   std::string_view name, std::optional<Date> modificationDate, Placement placement,
                   const std::string& topLevelName, NodeSink sink) noexcept;

// Builds one leaf from its lstat facts, deciding cloud-only and shared-elsewhere.
struct LeafFacts {
    int64_t allocatedSize = 0;
    bool isSymbolicLink = false;
    bool isSharedElsewhere = false;
    bool isCloudOnly = false;
    std::optional<Date> modificationDate;
    int64_t progressBytes = 0; // what the scan's progress counts for this leaf
};
// `pathOfLeaf` is asked only when the cloud status must be read or the file is hard-linked.
[[nodiscard]] LeafFacts sizeLeaf(ScanContext& context, int directoryFd, const char* name,
                                 const struct stat& info, bool liesUnderCloudFolder,
                                 FunctionRef<std::string()> pathOfLeaf);

[[nodiscard]] std::optional<Date> modificationDateOf(const struct stat& info);

} // namespace quillmere
