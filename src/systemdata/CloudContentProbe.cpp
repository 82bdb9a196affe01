// Cloud files kept downloaded on this computer: measured from metadata only.
#include "base/PathText.hpp"
#include "platform/DiskUsage.hpp"
#include "systemdata/DirectoryListing.hpp"
#include "systemdata/SystemDataProbe.hpp"
#include "systemdata/SystemDataTexts.hpp"

#include <fcntl.h>
#include <memory>

namespace quillmere {

namespace text = systemdata_text;

SystemDataProbe::CloudContent SystemDataProbe::downloadedICloudItems(const std::string& folder) const {
    using Downloading = platform::CloudItemStatus::Downloading;
    platform::ScanHost& host = *services_.host;
    CloudContent content;
    const auto buffer = std::make_unique<char[]>(kListingBufferSize);
    // Folders still to list, by path; errors are skipped silently and never counted.
    std::vector<std::string> pending{FileNode::canonicalPath(folder)};
    while (!pending.empty()) {
        const std::string current = std::move(pending.back());
        pending.pop_back();
        const platform::Fd directory = host.openDirectoryAt(AT_FDCWD, current.c_str());
        if (!directory) continue;
        const int fd = directory.get();
        readDirectoryEntries(host, fd, buffer.get(), kListingBufferSize, [&](const char* name) {
            if (name[0] == '.') return;
            struct stat info {};
            if (host.statAt(fd, name, &info) != 0) return;
            const std::string path = appendingPathComponent(current, name);
            if (S_ISDIR(info.st_mode)) return pending.push_back(path);
            const auto status = host.cloudStatus(path);
            if (!status || !status->isUbiquitousItem) return;
            switch (status->downloadingStatus) {
            case Downloading::current:
            case Downloading::downloaded:
                content.downloadedBytes += platform::allocatedBytesOf(info);
                content.downloadedFiles.push_back(path);
                break;
            case Downloading::absent:
            case Downloading::notDownloaded:
                ++content.cloudOnlyCount;
                break;
            }
        });
    }
    return content;
}

SystemDataCategory SystemDataProbe::cachedICloudContentCategory() const {
    const std::string& folder = locations_.cloudDocuments;
    SystemDataCategory category{systemdata_ids::cloudContent, text::cloudName()};
    struct stat info {};
    if (services_.host->statAt(AT_FDCWD, folder.c_str(), &info) != 0) {
        category.explanation = text::noCloud();
        category.reclaimabilityReason = text::nothingToReclaim;
        category.mechanism = text::noCloudMechanism();
        return category;
    }
    CloudContent content = downloadedICloudItems(folder);
    category.sizeBytes = content.downloadedBytes;
    category.explanation = text::cloudExplanation(content.cloudOnlyCount);
    category.isReclaimable = content.downloadedBytes >= 1;
    category.mechanism = text::cloudMechanism();
    if (content.downloadedBytes >= 1)
        category.reclaimAction =
            SystemDataReclaimAction::evictDownloadedICloudItems(std::move(content.downloadedFiles));
    else
        category.reclaimabilityReason = text::nothingToReclaim;
    return category;
}

} // namespace quillmere
