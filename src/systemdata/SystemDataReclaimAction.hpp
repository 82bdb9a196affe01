#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <variant>
#include <vector>

namespace quillmere {

// One item a reclaim moves to the Trash whole; identified by its path.
struct SystemDataNamedItem {
    std::string url;   // absolute path of the item
    std::string label; // shown in the confirmation sheet
    int64_t sizeBytes = 0;

    bool operator==(const SystemDataNamedItem&) const = default;
};

// What reclaiming a System Data category does. Carried out by the Reclaimer.
struct SystemDataReclaimAction {
    // The folder's entries go to the Trash; the folder itself stays.
    struct DirectoryContents {
        std::string folder;
        bool operator==(const DirectoryContents&) const = default;
    };
    // Each named item goes to the Trash whole.
    struct WholeItems {
        std::vector<SystemDataNamedItem> items;
        bool operator==(const WholeItems&) const = default;
    };
    // The local copies of these cloud files are evicted; they stay in the cloud.
    struct EvictDownloadedICloudItems {
        std::vector<std::string> files;
        bool operator==(const EvictDownloadedICloudItems&) const = default;
    };

    std::variant<DirectoryContents, WholeItems, EvictDownloadedICloudItems> value;

    static SystemDataReclaimAction directoryContents(std::string folder) {
        return {DirectoryContents{std::move(folder)}};
    }
    static SystemDataReclaimAction wholeItems(std::vector<SystemDataNamedItem> items) {
        return {WholeItems{std::move(items)}};
    }
    static SystemDataReclaimAction evictDownloadedICloudItems(std::vector<std::string> files) {
        return {EvictDownloadedICloudItems{std::move(files)}};
    }

    bool operator==(const SystemDataReclaimAction&) const = default;
};

} // namespace quillmere
