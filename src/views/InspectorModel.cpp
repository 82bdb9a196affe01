#include "views/InspectorModel.hpp"

#include "base/Format.hpp"
#include "views/Formatters.hpp"
#include "views/ItemCounts.hpp"

#include <algorithm>

namespace quillmere::views::inspector {

std::string subtitle(const FileNode& node, int64_t totalUsedBytes) {
    if (node.isDirectory()) return folderAndFileCounts(node);
    if (totalUsedBytes < 1) return "on disk";
    return formatPercentOneDecimal(100.0 * static_cast<double>(node.allocatedSize()) /
                                   static_cast<double>(totalUsedBytes)) +
           " of disk";
}

std::vector<Callout> callouts(const FileNode& node, bool isProtected) {
    std::vector<Callout> notes;
    if (isProtected)
        notes.push_back({CalloutKind::protectedItem, "Linux lives here.",
                         " You can look at every byte of it. Quillmere will not delete any of it, and "
                         "there's no setting that changes that."});
    if (const int64_t count = node.cloudOnlyCount(); count >= 1) {
        notes.push_back({CalloutKind::cloud,
                         {},
                         count == 1
                             ? "1 file lives only in iCloud. It takes no space here, and Quillmere left it "
                               "there rather than downloading it to weigh it."
                             : std::to_string(count) +
                                   " files live only in iCloud. They take no space here, and Quillmere "
                                   "left them there rather than downloading them to weigh them."});
    }
    if (node.sharedBytesTotal() >= 1)
        notes.push_back({CalloutKind::clone,
                         {},
                         formatByteCount(node.sharedBytesTotal()) +
                             " here is the same data as another file on disk, so Quillmere counts it once."});
    return notes;
}

std::string factsTitle(bool isProtected) {
    return isProtected ? "About this" : "Details";
}

std::vector<Fact> facts(const FileNode& node, bool isProtected, const Lookups& lookups) {
    const std::string path = node.path();
    if (isProtected) {
        std::optional<std::string> kind =
            lookups.typeDescription ? lookups.typeDescription(path) : std::nullopt;
        if (!kind || kind->empty()) kind = node.isDirectory() ? "Folder" : "Document";
        std::optional<std::string> owner = lookups.ownerName ? lookups.ownerName(path) : std::nullopt;
        return {{"Kind", *kind}, {"Owner", owner && !owner->empty() ? *owner : "\u2014"}};
    }
    const auto date = node.modificationDate();
    return {{"Kind", node.isDirectory() ? "Folder" : "File"},
            {"Modified", date && lookups.formatDate ? lookups.formatDate(*date) : "\u2014"}};
}

std::optional<Contents> contents(const FileNode& node) {
    if (!node.isDirectory()) return std::nullopt;
    const auto children = node.children();
    std::vector<size_t> sized;
    for (size_t i = 0; i < children.size(); ++i)
        if (children[i].allocatedSize() >= 1) sized.push_back(i);
    if (sized.empty()) return std::nullopt;
    // Largest first; the index breaks ties, which keeps stored order without a stable sort.
    const auto before = [&](size_t a, size_t b) {
        const int64_t sa = children[a].allocatedSize();
        const int64_t sb = children[b].allocatedSize();
        return sa != sb ? sa > sb : a < b;
    };
    const size_t shown = std::min(sized.size(), kContentsRowLimit);
    std::partial_sort(sized.begin(), sized.begin() + static_cast<std::ptrdiff_t>(shown), sized.end(), before);
    Contents result;
    const int64_t parentBytes = node.allocatedSize();
    for (size_t k = 0; k < shown; ++k) {
        const FileNode& child = children[sized[k]];
        ContentsRow row{child};
        row.symbol = child.isAggregate()   ? "ellipsis.circle.fill"
                     : child.isDirectory() ? "folder.fill"
                                           : "doc.fill";
        row.sizeText = formatByteCount(child.allocatedSize());
        row.barFraction =
            parentBytes >= 1
                ? std::clamp(static_cast<double>(child.allocatedSize()) / static_cast<double>(parentBytes),
                             0.0, 1.0)
                : 0.0;
        row.isOpenable = child.isDirectory() && !child.isAggregate();
        row.helpText = row.isOpenable ? "Open " + std::string(child.name())
                                      : std::string(child.name()) + " \u00b7 " + row.sizeText;
        result.rows.push_back(std::move(row));
    }
    if (sized.size() > kContentsRowLimit) {
        const auto hidden = static_cast<int64_t>(sized.size() - kContentsRowLimit);
        result.footer =
            formatGroupedInteger(hidden) + " smaller " + (hidden == 1 ? "item" : "items") + " not shown";
    }
    return result;
}

std::optional<std::string> deleteTitle(const std::optional<FileNode>& node, bool isProtected) {
    if (!node || isProtected) return std::nullopt;
    return "Delete \u201c" + std::string(node->name()) + "\u201d\u2026";
}

std::optional<std::vector<FileNode>> drillExtension(const FileNode& folderShown, const FileNode& target) {
    const std::string targetPath = target.path();
    std::vector<FileNode> extension;
    FileNode current = folderShown;
    // Each step goes one level deeper, so the walk ends within the tree's depth.
    while (current.path() != targetPath) {
        const FileNode* next = nullptr;
        for (const FileNode& child : current.children()) {
            const std::string childPath = child.path();
            if (childPath == targetPath || targetPath.starts_with(childPath + "/")) {
                next = &child;
                break;
            }
        }
        if (!next) return std::nullopt;
        extension.push_back(*next);
        current = *next;
    }
    if (extension.empty()) return std::nullopt;
    return extension;
}

} // namespace quillmere::views::inspector
