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
    leaf.allocatedSize = static_cast<int64_t>(info.st_blocks) * 512;
    leaf.modificationDate = modificationDateOf(info);
    if (!S_ISREG(info.st_mode)) return leaf;

    // Only empty files and files under the cloud folders can be placeholders for cloud
    // content; everything else skips the extra questions.
    bool dataless = false;
    if (liesUnderCloudFolder || leaf.allocatedSize == 0) {
        dataless = context.host.isDataless(info);
        if (liesUnderCloudFolder || dataless)
            leaf.isCloudOnly = isCloudOnly(context.host.cloudStatus(pathOfLeaf()));
    }

    bool shared = false;
    if (info.st_nlink > 1)
        shared = context.sharing.checkAndInsertIdentity({static_cast<uint64_t>(info.st_dev), info.st_ino});
    // Clones share extents, not whole files: a clone whose later extents were rewritten owns
    // those. Each extent the kernel flags shared counts once, for the first file met with it.
    if (!dataless && !shared && !leaf.isCloudOnly && leaf.allocatedSize >= kCloneThreshold) {
        const std::vector<platform::SharedExtent> extents = context.host.sharedExtents(
            directoryFd, name, std::max<int64_t>(info.st_size, leaf.allocatedSize));
        if (!extents.empty()) {
            const int64_t counted =
                context.sharing.bytesCountedBefore(static_cast<uint64_t>(info.st_dev), extents);
            if (counted >= leaf.allocatedSize)
                shared = true;
            else
                leaf.allocatedSize -= counted;
        }
    }
    leaf.isSharedElsewhere = shared;
    return leaf;
}

} // namespace quillmere
