#pragma once

#include "base/Saturating.hpp"
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

// The size under which a counted child folds, in a folder whose counted children's bytes sum
// to `countedBytes`; nothing when none can.
[[nodiscard]] std::optional<double> foldThreshold(int64_t countedBytes);

// Whether a child folds under `threshold`: counted, not pinned and smaller.
[[nodiscard]] inline bool foldsUnder(double threshold, int64_t size, bool counted, bool pinned) {
    return counted && !pinned && static_cast<double>(size) < threshold;
}

// The threshold under which children of a folder fold, given `sizeOf(i)`, `isCounted(i)` and
// `isPinned(i)` of its `count` children; nothing when fewer than two would fold, so that
// nothing changes. Reads each child at most twice and allocates nothing: every folder of a
// scan is folded as it is finished.
template <class SizeOf, class IsCounted, class IsPinned>
std::optional<double> foldingThreshold(size_t count, SizeOf sizeOf, IsCounted isCounted, IsPinned isPinned) {
    if (count < 2) return std::nullopt;
    int64_t total = 0;
    for (size_t i = 0; i < count; ++i)
        if (isCounted(i)) total = saturatingAdd(total, sizeOf(i));
    const std::optional<double> threshold = foldThreshold(total);
    if (!threshold) return std::nullopt;
    size_t folding = 0;
    for (size_t i = 0; i < count && folding < 2; ++i)
        if (foldsUnder(*threshold, sizeOf(i), isCounted(i), isPinned(i))) ++folding;
    if (folding < 2) return std::nullopt;
    return threshold;
}

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
    const std::optional<double> threshold = foldingThreshold(count, sizeOf, isCounted, isPinned);
    FileNode::Totals sums{.folderCount = 0};
    int64_t foldedCount = 0;
    for (size_t i = 0; i < count; ++i) {
        if (!threshold || !foldsUnder(*threshold, sizeOf(i), isCounted(i), isPinned(i))) {
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
