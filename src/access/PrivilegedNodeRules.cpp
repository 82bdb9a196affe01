// What makes a walked tree fit to graft: the rules every reply and every tree handed to the
// merge must meet, so that a graft can neither count bytes twice nor land in the wrong place.
#include "access/PrivilegedNode.hpp"
#include "access/PrivilegedPaths.hpp"

namespace quillmere {

std::optional<PrivilegedNodeFault> privilegedTreeFault(const PrivilegedNode& root,
                                                       std::string_view askedPath) {
    const std::string_view rootPath = withoutTrailingSlashes(root.path);
    if (!root.isAggregate && (!rootPath.starts_with('/') || rootPath != withoutTrailingSlashes(askedPath)))
        return PrivilegedNodeFault::pathMismatch;

    struct Visit {
        const PrivilegedNode* node;
        std::size_t depth;
        std::string_view parentPath; // empty for the root
    };
    std::vector<Visit> pending{{&root, 1, {}}};
    while (!pending.empty()) {
        const Visit visit = pending.back();
        pending.pop_back();
        const PrivilegedNode& node = *visit.node;
        if (visit.depth > kPrivilegedNodeMaxDepth) return PrivilegedNodeFault::tooDeep;
        if (node.allocatedSize < 0 || node.folderCount < 0 || node.fileCount < 0)
            return PrivilegedNodeFault::negativeCount;
        if (!node.children.empty() && (!node.isDirectory || node.isAggregate))
            return PrivilegedNodeFault::childrenOnLeaf;
        const std::string_view ownPath = visit.depth == 1 ? rootPath : std::string_view(node.path);
        if (visit.depth > 1 && !node.isAggregate && !componentDirectlyInside(ownPath, visit.parentPath))
            return PrivilegedNodeFault::pathMismatch;
        for (auto child = node.children.rbegin(); child != node.children.rend(); ++child)
            pending.push_back({&*child, visit.depth + 1, ownPath});
    }
    return std::nullopt;
}

} // namespace quillmere
