#include "access/helper/HelperRecord.hpp"

#include "base/Unicode.hpp"
#include "scan/SmallItemFolding.hpp"

#include <utility>

namespace quillmere {

namespace {
PrivilegedNode shallowRecord(const FileNode& node) {
    PrivilegedNode record{.name = std::string(node.name()),
                          .path = node.path(),
                          .isDirectory = node.isDirectory(),
                          .allocatedSize = node.allocatedSize(),
                          .folderCount = node.folderCount(),
                          .fileCount = node.fileCount(),
                          .isAggregate = node.isAggregate()};
    if (auto date = node.modificationDate()) record.modificationDate = *date - kSecondsFrom1970To2001;
    return record;
}

bool isAggregateOrFile(const FileNode& node) {
    return node.isAggregate() || !node.isDirectory();
}
} // namespace

PrivilegedNode privilegedNodeFromScan(const FileNode& root) {
    PrivilegedNode result = shallowRecord(root);
    // A scan's root is named by its whole path; as a grafted folder it shows its own name.
    if (const auto slash = result.path.rfind('/'); slash != std::string::npos && result.path.size() > 1)
        result.name = result.path.substr(slash + 1);
    std::vector<std::pair<const FileNode*, PrivilegedNode*>> work{{&root, &result}};
    while (!work.empty()) {
        auto [source, target] = work.back();
        work.pop_back();
        if (isAggregateOrFile(*source)) continue;
        const auto children = source->children();
        // Reserved up front so the addresses pushed below stay valid.
        target->children.reserve(children.size() + 1);
        std::vector<const FileNode*> kept;
        int64_t foldedItems = 0;
        PrivilegedNode folded{.isAggregate = true};
        for (const FileNode& child : children) {
            if (isValidUtf8(child.name())) {
                target->children.push_back(shallowRecord(child));
                kept.push_back(&child);
                continue;
            }
            ++foldedItems;
            folded.allocatedSize += child.allocatedSize();
            folded.folderCount += child.folderCount();
            folded.fileCount += child.fileCount();
        }
        for (std::size_t i = 0; i < kept.size(); ++i)
            if (!isAggregateOrFile(*kept[i])) work.emplace_back(kept[i], &target->children[i]);
        if (foldedItems == 0) continue;
        PrivilegedNode* aggregate = nullptr;
        for (auto& child : target->children)
            if (child.isAggregate) aggregate = &child;
        if (aggregate == nullptr) {
            target->children.push_back(std::move(folded));
            aggregate = &target->children.back();
            aggregate->path = target->path + "/" + aggregateComponent(foldedItems);
        } else {
            foldedItems += aggregate->folderCount + aggregate->fileCount;
            aggregate->allocatedSize += folded.allocatedSize;
            aggregate->folderCount += folded.folderCount;
            aggregate->fileCount += folded.fileCount;
        }
        aggregate->name = aggregateName(foldedItems);
    }
    return result;
}

} // namespace quillmere
