#pragma once

#include "scan/FileNode.hpp"

#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

namespace quillmere {

// Every folder of a scan folds its children below 0.2 % of its counted bytes into one
// aggregate node carrying their sums, which keeps a scanned volume small enough to
// hold, draw and save while leaving every folder's totals unchanged.
inline constexpr double kFoldThresholdFactor = 0.002;

// Which children fold: `sizes[i]` is child i's allocatedSize and `counted[i]` whether it
// counts towards its folder's size (neither shared elsewhere nor cloud-only). A child with
// `pinned[i]` counts but never folds (`pinned` may be empty: none is). Empty when fewer than
// two children would fold, so nothing changes.
[[nodiscard]] std::vector<bool> childrenToFold(std::span<const int64_t> sizes, std::span<const bool> counted,
                                               std::span<const bool> pinned = {});

// Folds `count` children of any form by the rule above: `sizeOf(i)` and `isCounted(i)` describe
// child i, `keep(i)` is called for every child that stays and `fold(i, sums)` for every child that
// folds, both in order, `fold` adding the child to `sums`. Returns the aggregate of the folded
// children, or nothing when none fold.
template <class SizeOf, class IsCounted, class Keep, class Fold>
std::optional<FileNode> foldChildren(size_t count, const FolderPath& folder, SizeOf sizeOf,
                                     IsCounted isCounted, Keep keep, Fold fold);
// The same where `isPinned(i)` keeps child i from folding whatever its size.
template <class SizeOf, class IsCounted, class IsPinned, class Keep, class Fold>
std::optional<FileNode> foldChildren(size_t count, const FolderPath& folder, SizeOf sizeOf,
                                     IsCounted isCounted, IsPinned isPinned, Keep keep, Fold fold);

// The aggregate's display name ("1,234 more items") and path (".quillmere-aggregate-1234").
std::string aggregateName(int64_t foldedCount);
std::string aggregateComponent(int64_t foldedCount);

// Builds the aggregate node for `foldedCount` items whose summed counted fields are given.
FileNode makeAggregate(const FolderPath& folder, int64_t foldedCount, const FileNode::Totals& sums);

// The folder's children with the small ones folded, in order, the aggregate last; children
// for which `isPinned` holds never fold.
[[nodiscard]] std::vector<FileNode> foldSmallChildren(std::vector<FileNode> children,
                                                      std::string_view folderPath);
[[nodiscard]] std::vector<FileNode> foldSmallChildren(std::vector<FileNode> children,
                                                      std::string_view folderPath,
                                                      const std::function<bool(const FileNode&)>& isPinned);

template <class SizeOf, class IsCounted, class Keep, class Fold>
std::optional<FileNode> foldChildren(size_t count, const FolderPath& folder, SizeOf sizeOf,
                                     IsCounted isCounted, Keep keep, Fold fold) {
    return foldChildren(
        count, folder, sizeOf, isCounted, [](size_t) { return false; }, keep, fold);
}

template <class SizeOf, class IsCounted, class IsPinned, class Keep, class Fold>
std::optional<FileNode> foldChildren(size_t count, const FolderPath& folder, SizeOf sizeOf,
                                     IsCounted isCounted, IsPinned isPinned, Keep keep, Fold fold) {
    std::vector<int64_t> sizes;
    sizes.reserve(count);
    std::unique_ptr<bool[]> counted(new bool[count]);
    std::unique_ptr<bool[]> pinned(new bool[count]);
    for (size_t i = 0; i < count; ++i) {
        sizes.push_back(sizeOf(i));
        counted[i] = isCounted(i);
        pinned[i] = isPinned(i);
    }
    const std::vector<bool> folds = childrenToFold(sizes, std::span<const bool>(counted.get(), count),
                                                   std::span<const bool>(pinned.get(), count));
    FileNode::Totals sums{.folderCount = 0};
    int64_t foldedCount = 0;
    for (size_t i = 0; i < count; ++i) {
        if (folds.empty() || !folds[i]) {
            keep(i);
            continue;
        }
        fold(i, sums);
        ++foldedCount;
    }
    if (foldedCount == 0) return std::nullopt;
    return makeAggregate(folder, foldedCount, sums);
}

} // namespace quillmere
