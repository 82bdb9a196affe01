#include "platform/DiskUsage.hpp"
#include "scan/ScanContext.hpp"

namespace quillmere {
namespace {

constexpr int64_t kCloneThreshold = 4 * 1024 * 1024;

bool isCloudOnly(const std::optional<platform::CloudItemStatus>& status) {
    using Downloading = platform::CloudItemStatus::Downloading;
    if (!status || !status->isUbiquitousItem) return false;
    const bool onDisk = status->downloadingStatus == Downloading::current ||
                        status->downloadingStatus == Downloading::downloaded;
    return !onDisk || status->isDownloading;
}

} // namespace

std::optional<Date> modificationDateOf(const struct stat& info) {
    return static_cast<double>(info.st_mtim.tv_sec) + static_cast<double>(info.st_mtim.tv_nsec) / 1e9;
}

LeafFacts sizeLeaf(ScanContext& context, int directoryFd, const char* name, const struct stat& info,
                   bool liesUnderCloudFolder, FunctionRef<std::string()> pathOfLeaf) {
    LeafFacts leaf;
    leaf.isSymbolicLink = S_ISLNK(info.st_mode);
    leaf.allocatedSize = platform::allocatedBytesOf(info);
    leaf.modificationDate = modificationDateOf(info);
    leaf.progressBytes = leaf.allocatedSize;
    if (!S_ISREG(info.st_mode)) return leaf;

    // Only empty files and files under the cloud folders can be placeholders for cloud
    // content; everything else skips the extra questions.
    bool dataless = false;
    if (liesUnderCloudFolder || leaf.allocatedSize == 0) {
        dataless = context.host.isDataless(info);
        if (liesUnderCloudFolder || dataless)
            leaf.isCloudOnly = isCloudOnly(context.host.cloudStatus(pathOfLeaf()));
    }

    const auto countedBefore = [&] {
        const std::vector<platform::SharedExtent> extents = context.host.sharedExtents(
            directoryFd, name, std::max<int64_t>(info.st_size, leaf.allocatedSize));
        return extents.empty()
                   ? 0
                   : context.sharing.bytesCountedBefore(static_cast<uint64_t>(info.st_dev), extents);
    };
    const bool mayHoldClones = !dataless && !leaf.isCloudOnly && leaf.allocatedSize >= kCloneThreshold;
    if (info.st_nlink > 1) {
        // Which link owns the bytes is settled once the walk is over; until then each is
        // shared. The first link met asks for clone extents and counts in progress.
        const SharingRegistry::Identity identity{static_cast<uint64_t>(info.st_dev), info.st_ino};
        leaf.isSharedElsewhere = true;
        leaf.progressBytes = 0;
        if (!context.sharing.noteLinkedPath(identity, pathOfLeaf(), leaf.allocatedSize)) return leaf;
        // Registered, this link may be the one that owns the bytes, so it is kept whatever the
        // question of its clones gives: dropped now, the bytes would be counted nowhere.
        int64_t counted = 0;
        try {
            if (mayHoldClones) counted = countedBefore();
        } catch (...) {
        }
        if (counted > 0) context.sharing.noteLinkedBytesCountedElsewhere(identity, counted);
        leaf.progressBytes = leaf.isCloudOnly ? 0 : std::max<int64_t>(leaf.allocatedSize - counted, 0);
        return leaf;
    }
    // Clones share extents, not whole files: a clone whose later extents were rewritten owns
    // those. Each extent the kernel flags shared counts once, for the first file met with it.
    bool shared = false;
    if (mayHoldClones) {
        const int64_t counted = countedBefore();
        if (counted >= leaf.allocatedSize)
            shared = true;
        else
            leaf.allocatedSize -= counted;
    }
    leaf.isSharedElsewhere = shared;
    leaf.progressBytes = shared || leaf.isCloudOnly ? 0 : leaf.allocatedSize;
    return leaf;
}

} // namespace quillmere
