#include "scan/SmallItemFolding.hpp"

#include "base/Format.hpp"

namespace quillmere {

std::vector<bool> childrenToFold(std::span<const int64_t> sizes, std::span<const bool> counted) {
    if (sizes.size() < 2) return {};
    int64_t total = 0;
    for (size_t i = 0; i < sizes.size(); ++i)
        if (counted[i]) total += sizes[i];
    if (total <= 0) return {};
    const double threshold = static_cast<double>(total) * kFoldThresholdFactor;
    std::vector<bool> folds(sizes.size(), false);
    size_t foldedCount = 0;
    for (size_t i = 0; i < sizes.size(); ++i) {
        if (counted[i] && static_cast<double>(sizes[i]) < threshold) {
            folds[i] = true;
            ++foldedCount;
        }
    }
    if (foldedCount < 2) return {};
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
    std::vector<FileNode> kept;
    kept.reserve(children.size());
    std::optional<FileNode> aggregate = foldChildren(
        children.size(), FolderPath::root(folderPath), [&](size_t i) { return children[i].allocatedSize(); },
        [&](size_t i) { return !children[i].isExcludedFromTotals(); },
        [&](size_t i) { kept.push_back(std::move(children[i])); },
        [&](size_t i, FileNode::Totals& sums) { sums.add(children[i]); });
    if (aggregate) kept.push_back(std::move(*aggregate));
    return kept;
}

} // namespace quillmere
