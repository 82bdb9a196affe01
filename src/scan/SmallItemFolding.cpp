#include "scan/SmallItemFolding.hpp"

#include "base/Format.hpp"

namespace quillmere {

std::optional<double> foldThreshold(int64_t countedBytes) {
    if (countedBytes <= 0) return std::nullopt;
    return static_cast<double>(countedBytes) * kFoldThresholdFactor;
}

std::vector<bool> childrenToFold(std::span<const int64_t> sizes, std::span<const bool> counted,
                                 std::span<const bool> pinned) {
    const auto isPinned = [&](size_t i) { return !pinned.empty() && pinned[i]; };
    const std::optional<double> threshold = foldingThreshold(
        sizes.size(), [&](size_t i) { return sizes[i]; }, [&](size_t i) { return counted[i]; }, isPinned);
    if (!threshold) return {};
    std::vector<bool> folds(sizes.size(), false);
    for (size_t i = 0; i < sizes.size(); ++i)
        folds[i] = foldsUnder(*threshold, sizes[i], counted[i], isPinned(i));
    return folds;
}

std::string aggregateName(int64_t foldedCount) {
    return formatGroupedInteger(foldedCount) + " more items";
}

std::string aggregateComponent(int64_t foldedCount) {
    return ".quillmere-aggregate-" + std::to_string(foldedCount);
}

FileNode makeAggregate(const FolderPath& folder, int64_t foldedCount, const FileNode::Totals& sums) {
    const NodeFields fields{.allocatedSize = sums.allocatedSize,
                            .cloudOnlyCount = sums.cloudOnlyCount,
                            .isAggregate = true,
                            .folderCount = sums.folderCount,
                            .fileCount = sums.fileCount,
                            .sharedBytesTotal = sums.sharedBytesTotal};
    return FileNode::at(folder.child(aggregateComponent(foldedCount)), aggregateName(foldedCount), fields);
}

std::vector<FileNode> foldSmallChildren(std::vector<FileNode> children, std::string_view folderPath) {
    return foldSmallChildren(std::move(children), folderPath, [](const FileNode&) { return false; });
}

std::vector<FileNode> foldSmallChildren(std::vector<FileNode> children, std::string_view folderPath,
                                        const std::function<bool(const FileNode&)>& isPinned) {
    std::vector<FileNode> kept;
    kept.reserve(children.size());
    std::optional<FileNode> aggregate = foldChildren(
        children.size(), FolderPath::root(folderPath), [&](size_t i) { return children[i].allocatedSize(); },
        [&](size_t i) { return !children[i].isExcludedFromTotals(); },
        [&](size_t i) { return isPinned(children[i]); },
        [&](size_t i) { kept.push_back(std::move(children[i])); },
        [&](size_t i, FileNode::Totals& sums) { sums.add(children[i]); });
    if (aggregate) kept.push_back(std::move(*aggregate));
    return kept;
}

} // namespace quillmere
