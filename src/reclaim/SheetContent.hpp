#pragma once

#include "reclaim/ReclaimTarget.hpp"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace quillmere {

// What one confirmation sheet asks, lists and reports. Built from the target's values alone:
// nothing is read from disk, so it is ready when the sheet opens and never changes while open.
struct SheetContent {
    struct Row {
        std::string id; // a path, a category id, "cloud-only" or "collapsed-leftovers"
        std::string name;
        std::string sizeText;
        bool isKept = false; // listed, but stays where it is
        std::optional<std::string> keptReason;

        bool operator==(const Row&) const = default;
    };

    std::string title;
    std::string summary;
    std::vector<Row> rows;
    std::optional<std::string> finePrint;
    int64_t reclaimableBytes = 0;
    std::string confirmLabel;
    std::string successHeadline;
    std::string failureHeadline;

    bool operator==(const SheetContent&) const = default;
};

// The content for a target, by its case.
SheetContent sheetContent(const ReclaimTarget& target);

SheetContent nodeSheetContent(const FileNode& node);
std::string nodeSummary(const FileNode& node);

struct NodePreview {
    int64_t bytes = 0;
    std::vector<FileNode> children; // largest first, aggregates left out
    int64_t cloudOnlyCount = 0;
};
// The node's `limit` largest children. Only those are ordered, so a folder of a million
// children costs one pass and a small heap.
NodePreview nodePreview(const FileNode& node, std::size_t limit);

SheetContent systemDataSheetContent(const std::vector<SystemDataCategory>& categories);

SheetContent appUninstallSheetContent(const InstalledApp& app, const LeftoverAttribution& attribution,
                                      const std::set<std::string>& tickedPaths);
SheetContent appCachesSheetContent(const InstalledApp& app, const std::vector<LeftoverItem>& items);
// The items go, the application stays; content another application also uses is not counted.
SheetContent appItemsSheetContent(const InstalledApp& app, const std::vector<LeftoverItem>& items);
SheetContent orphanGroupSheetContent(const OrphanLeftoverGroup& group,
                                     const std::set<std::string>& tickedPaths);

} // namespace quillmere
