// What makes a walked tree fit to graft: the rules every reply and every tree handed to the
// merge must meet, so that a graft can neither count bytes twice nor land in the wrong place,
// nor bring totals that no disk could hold.
#include "access/PrivilegedNodeRules.hpp"

#include "access/PrivilegedPaths.hpp"

#include <algorithm>
#include <string>

namespace quillmere {

std::optional<PrivilegedNodeFault> recordFault(const RecordFigures& record, bool hasChildren,
                                               const ChildSums& children, int64_t maxBytes) {
    if (record.allocatedSize < 0 || record.folderCount < 0 || record.fileCount < 0)
        return PrivilegedNodeFault::negativeCount;
    if (hasChildren && (!record.isDirectory || record.isAggregate))
        return PrivilegedNodeFault::childrenOnLeaf;
    if (record.allocatedSize > maxBytes) return PrivilegedNodeFault::implausibleSize;
    if (record.isAggregate) return std::nullopt;
    if (!record.isDirectory)
        return record.folderCount == 0 && record.fileCount == 1
                   ? std::nullopt
                   : std::optional(PrivilegedNodeFault::totalsMismatch);
    if (children.overflowed || children.folderCount >= record.folderCount ||
        children.fileCount > record.fileCount)
        return PrivilegedNodeFault::totalsMismatch;
    return std::nullopt;
}

bool hasRepeatedName(std::vector<std::string_view>& components, int aggregates) {
    if (aggregates > 1) return true;
    std::sort(components.begin(), components.end());
    return std::adjacent_find(components.begin(), components.end()) != components.end();
}

std::optional<PrivilegedNodeFault> privilegedTreeFault(const PrivilegedNode& root, std::string_view askedPath,
                                                       int64_t maxBytes) {
    const std::string_view rootPath = withoutTrailingSlashes(root.path);
    if (!root.isAggregate && (!rootPath.starts_with('/') || rootPath != withoutTrailingSlashes(askedPath)))
        return PrivilegedNodeFault::pathMismatch;

    struct Visit {
        const PrivilegedNode* node;
        std::size_t depth;
        std::string_view parentPath; // empty for the root
    };
    std::vector<Visit> pending{{&root, 1, {}}};
    std::vector<std::string_view> components;
    while (!pending.empty()) {
        const Visit visit = pending.back();
        pending.pop_back();
        const PrivilegedNode& node = *visit.node;
        if (visit.depth > kPrivilegedNodeMaxDepth) return PrivilegedNodeFault::tooDeep;
        const std::string_view ownPath = visit.depth == 1 ? rootPath : withoutTrailingSlashes(node.path);
        if (visit.depth > 1 && !node.isAggregate && !componentDirectlyInside(ownPath, visit.parentPath))
            return PrivilegedNodeFault::pathMismatch;
        ChildSums sums;
        components.clear();
        int aggregates = 0;
        for (const PrivilegedNode& child : node.children) {
            sums.add(child.allocatedSize, child.folderCount, child.fileCount);
            if (child.isAggregate) {
                ++aggregates;
            } else if (const auto component =
                           componentDirectlyInside(withoutTrailingSlashes(child.path), ownPath)) {
                components.push_back(*component);
            }
        }
        const RecordFigures figures{node.isDirectory, node.isAggregate, node.allocatedSize, node.folderCount,
                                    node.fileCount};
        if (const auto fault = recordFault(figures, !node.children.empty(), sums, maxBytes)) return fault;
        if (hasRepeatedName(components, aggregates)) return PrivilegedNodeFault::duplicateName;
        for (auto child = node.children.rbegin(); child != node.children.rend(); ++child)
            pending.push_back({&*child, visit.depth + 1, ownPath});
    }
    return std::nullopt;
}

} // namespace quillmere
