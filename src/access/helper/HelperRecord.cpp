#include "access/helper/HelperRecord.hpp"

#include "access/PrivilegedNode.hpp"
#include "access/PrivilegedNodeText.hpp"
#include "base/PathText.hpp"
#include "base/Saturating.hpp"
#include "base/Unicode.hpp"
#include "scan/SmallItemFolding.hpp"

#include <algorithm>
#include <string>
#include <vector>

namespace quillmere {

namespace {

std::optional<double> wireDate(const FileNode& node) {
    if (const auto date = node.modificationDate()) return *date - kSecondsFrom1970To2001;
    return std::nullopt;
}

RecordHead headOf(const FileNode& node, std::string_view name, std::string_view path) {
    return RecordHead{name,
                      path,
                      node.isDirectory(),
                      node.allocatedSize(),
                      node.folderCount(),
                      node.fileCount(),
                      wireDate(node),
                      node.isAggregate()};
}

bool hasChildrenOnTheWire(const FileNode& node) {
    return node.isDirectory() && !node.isAggregate();
}

// A folder being written: where its children stand, and what it folds into its aggregate.
struct Visit {
    const FileNode* node;
    std::string path;
    std::size_t next = 0;
    bool wroteChild = false;
    const FileNode* aggregate = nullptr; // its own, written last
    int64_t foldedItems = 0;
    int64_t foldedBytes = 0;
    int64_t foldedFolders = 0;
    int64_t foldedFiles = 0;

    void fold(const FileNode& child, int64_t items) {
        foldedItems = saturatingAdd(foldedItems, items);
        foldedBytes = saturatingAdd(foldedBytes, child.allocatedSize());
        foldedFolders = saturatingAdd(foldedFolders, child.folderCount());
        foldedFiles = saturatingAdd(foldedFiles, child.fileCount());
    }
};

} // namespace

bool writeScannedTree(const FileNode& root, std::size_t pieceBytes,
                      FunctionRef<bool(std::string_view)> sink) {
    std::string out;
    out.reserve(pieceBytes + 4096);
    // Whole pieces as soon as they are full; what is left of the text waits for more.
    const auto handOver = [&](bool last) {
        size_t from = 0;
        while (out.size() - from >= pieceBytes || (last && from < out.size())) {
            const size_t length = std::min(pieceBytes, out.size() - from);
            if (!sink(std::string_view(out).substr(from, length))) return false;
            from += length;
        }
        out.erase(0, from);
        return true;
    };

    const std::string rootPath = root.path();
    std::string_view rootName = root.name();
    // A scan's root is named by its whole path; as a grafted folder it shows its own name.
    if (const auto slash = rootPath.rfind('/'); slash != std::string::npos && rootPath.size() > 1)
        rootName = std::string_view(rootPath).substr(slash + 1);
    appendRecordHead(out, headOf(root, rootName, rootPath));
    if (!hasChildrenOnTheWire(root)) {
        out += kRecordEnd;
        return handOver(true);
    }
    std::vector<Visit> stack;
    stack.push_back({.node = &root, .path = rootPath});
    while (!stack.empty()) {
        Visit& visit = stack.back();
        const auto children = visit.node->children();
        if (visit.next == children.size()) {
            if (visit.foldedItems > 0 || visit.aggregate) {
                if (visit.wroteChild) out += ',';
                if (visit.foldedItems == 0) {
                    appendRecordHead(
                        out, headOf(*visit.aggregate, visit.aggregate->name(), visit.aggregate->path()));
                } else {
                    if (visit.aggregate)
                        visit.fold(*visit.aggregate, saturatingAdd(visit.aggregate->folderCount(),
                                                                   visit.aggregate->fileCount()));
                    const std::string name = aggregateName(visit.foldedItems);
                    const std::string path =
                        appendingPathComponent(visit.path, aggregateComponent(visit.foldedItems));
                    appendRecordHead(
                        out, RecordHead{name, path, false, visit.foldedBytes, visit.foldedFolders,
                                        visit.foldedFiles,
                                        visit.aggregate ? wireDate(*visit.aggregate) : std::nullopt, true});
                }
                out += kRecordEnd;
            }
            out += kRecordEnd;
            stack.pop_back();
            if (!handOver(false)) return false;
            continue;
        }
        const FileNode& child = children[visit.next++];
        if (child.isAggregate()) {
            // The one aggregate goes last; a second, which a scan never makes, is folded in.
            if (visit.aggregate)
                visit.fold(child, saturatingAdd(child.folderCount(), child.fileCount()));
            else
                visit.aggregate = &child;
            continue;
        }
        if (!isValidUtf8(child.name())) {
            visit.fold(child, 1);
            continue;
        }
        if (visit.wroteChild) out += ',';
        visit.wroteChild = true;
        const auto component = child.componentBelow(*visit.node);
        std::string path = component ? appendingPathComponent(visit.path, *component) : child.path();
        appendRecordHead(out, headOf(child, child.name(), path));
        if (hasChildrenOnTheWire(child)) {
            stack.push_back({.node = &child, .path = std::move(path)});
        } else {
            out += kRecordEnd;
            if (!handOver(false)) return false;
        }
    }
    return handOver(true);
}

} // namespace quillmere
