#include "access/PrivilegedTreeDecoder.hpp"

#include "access/PrivilegedNodeFields.hpp"
#include "access/PrivilegedNodeRules.hpp"
#include "access/PrivilegedPaths.hpp"
#include "access/PrivilegedWalkMerge.hpp"
#include "base/PathText.hpp"
#include "base/Saturating.hpp"
#include "scan/SmallItemFolding.hpp"

#include <deque>

namespace quillmere {
namespace {

using Fault = PrivilegedNodeFault;

RecordFigures figuresOf(const RecordFields& record) {
    return {record.isDirectory, record.isAggregate, record.allocatedSize, record.folderCount,
            record.fileCount};
}

std::string aggregateComponentOf(const RecordFields& record) {
    return aggregateComponent(saturatingAdd(record.folderCount, record.fileCount));
}

// Builds each node as soon as its record closes. Records arrive the way the helper writes them,
// a folder's path before its children; a folder whose children come before it says where it
// lies is read as records and converted when it closes.
class TreeBuilder final : public RecordSink {
public:
    explicit TreeBuilder(const PrivilegedReplyBounds& bounds)
        : bounds_(bounds), asked_(withoutTrailingSlashes(bounds.askedPath)) {}

    std::optional<Fault> beginChildren(const RecordFields& soFar) override {
        if (records_) {
            ++recordsDepth_;
            return records_->beginChildren(soFar);
        }
        if (!soFar.has(RecordKey::path) || !soFar.has(RecordKey::isAggregate) || soFar.isAggregate) {
            records_.emplace();
            recordsDepth_ = 1;
            return records_->beginChildren(soFar);
        }
        Folder folder;
        folder.pathText = std::string(withoutTrailingSlashes(soFar.path));
        if (folders_.empty()) {
            if (!folder.pathText.starts_with('/') || folder.pathText != asked_) return Fault::pathMismatch;
            folder.path = FolderPath::root(fileURLPath(soFar.path));
        } else {
            const auto component = componentDirectlyInside(folder.pathText, folders_.back().pathText);
            if (!component) return Fault::pathMismatch;
            folder.path = folders_.back().path.child(*component);
        }
        folders_.push_back(std::move(folder));
        return std::nullopt;
    }

    std::optional<Fault> endRecord(RecordFields&& record, bool hadChildren) override {
        if (records_) {
            if (const auto fault = records_->endRecord(std::move(record), hadChildren)) return fault;
            if (!hadChildren || --recordsDepth_ > 0) return std::nullopt;
            PrivilegedNode subtree = std::move(*records_->result());
            records_.reset();
            return adopt(subtree);
        }
        if (hadChildren) {
            Folder folder = std::move(folders_.back());
            folders_.pop_back();
            if (const auto fault = recordFault(figuresOf(record), true, folder.sums, bounds_.maxBytes))
                return fault;
            if (hasRepeatedName(folder.components, folder.aggregates)) return Fault::duplicateName;
            FileNode node =
                FileNode::at(folder.path, record.name, nodeFieldsOf(record), std::move(folder.children));
            const std::string_view component = node.ownFolderPath().name();
            return add(std::move(node), record, component);
        }
        if (const auto fault = recordFault(figuresOf(record), false, {}, bounds_.maxBytes)) return fault;
        const NodeFields fields = nodeFieldsOf(record);
        if (folders_.empty()) {
            if (record.isAggregate) {
                const std::string parent = deletingLastPathComponent(bounds_.askedPath);
                return add(
                    FileNode::at(FolderPath::root(fileURLPath(parent)).child(aggregateComponentOf(record)),
                                 record.name, fields),
                    record, {});
            }
            const std::string_view path = withoutTrailingSlashes(record.path);
            if (!path.starts_with('/') || path != asked_) return Fault::pathMismatch;
            return add(FileNode::at(FolderPath::root(fileURLPath(record.path)), record.name, fields), record,
                       {});
        }
        Folder& parent = folders_.back();
        if (record.isAggregate)
            return add(FileNode::at(parent.path.child(aggregateComponentOf(record)), record.name, fields),
                       record, {});
        const auto component = componentDirectlyInside(withoutTrailingSlashes(record.path), parent.pathText);
        if (!component) return Fault::pathMismatch;
        if (*component == record.name && !record.isDirectory) {
            FileNode node = FileNode::under(parent.path, record.name, fields);
            const std::string_view name = node.name();
            return add(std::move(node), record, name);
        }
        FileNode node = FileNode::at(parent.path.child(*component), record.name, fields);
        const std::string_view ownName = node.ownFolderPath().name();
        return add(std::move(node), record, ownName);
    }

    std::optional<FileNode>& result() { return result_; }

private:
    // A folder whose children are being read.
    struct Folder {
        FolderPath path;
        std::string pathText; // without trailing "/", to place the children
        std::vector<FileNode> children;
        std::vector<std::string_view> components; // into the children, or into `ownedComponents`
        std::deque<std::string> ownedComponents;
        int aggregates = 0;
        ChildSums sums;
    };

    // `component` is the node's name in its folder (a view the node keeps alive); empty for an
    // aggregate or the root.
    std::optional<Fault> add(FileNode node, const RecordFields& record, std::string_view component) {
        if (folders_.empty()) {
            result_ = std::move(node);
            return std::nullopt;
        }
        Folder& parent = folders_.back();
        parent.sums.add(record.allocatedSize, record.folderCount, record.fileCount);
        if (record.isAggregate)
            ++parent.aggregates;
        else
            parent.components.push_back(component);
        parent.children.push_back(std::move(node));
        return std::nullopt;
    }

    // A subtree read as records: checked as a tree of its own, then converted.
    std::optional<Fault> adopt(const PrivilegedNode& subtree) {
        if (folders_.empty()) {
            if (const auto fault = privilegedTreeFault(subtree, bounds_.askedPath, bounds_.maxBytes))
                return fault;
            result_ = fileNodeFromPrivileged(subtree, deletingLastPathComponent(bounds_.askedPath));
            return std::nullopt;
        }
        Folder& parent = folders_.back();
        std::optional<std::string_view> component;
        if (!subtree.isAggregate) {
            component = componentDirectlyInside(withoutTrailingSlashes(subtree.path), parent.pathText);
            if (!component) return Fault::pathMismatch;
        }
        if (const auto fault = privilegedTreeFault(subtree, subtree.path, bounds_.maxBytes)) return fault;
        RecordFields figures;
        figures.isAggregate = subtree.isAggregate;
        figures.allocatedSize = subtree.allocatedSize;
        figures.folderCount = subtree.folderCount;
        figures.fileCount = subtree.fileCount;
        std::string_view owned;
        if (component) owned = parent.ownedComponents.emplace_back(*component);
        return add(fileNodeFromPrivileged(subtree, parent.pathText), figures, owned);
    }

    const PrivilegedReplyBounds& bounds_;
    std::string_view asked_;
    std::vector<Folder> folders_;
    std::optional<RecordBuilder> records_;
    size_t recordsDepth_ = 0;
    std::optional<FileNode> result_;
};

} // namespace

std::expected<FileNode, PrivilegedNodeFault> decodePrivilegedTree(PrivilegedReplySource& source,
                                                                  const PrivilegedReplyBounds& bounds) {
    TreeBuilder builder(bounds);
    if (const auto fault = readPrivilegedRecord(source, builder)) return std::unexpected(*fault);
    if (!builder.result()) return std::unexpected(PrivilegedNodeFault::malformedJSON);
    return std::move(*builder.result());
}

std::expected<FileNode, PrivilegedNodeFault> decodePrivilegedTree(std::string_view bytes,
                                                                  const PrivilegedReplyBounds& bounds) {
    WholeReplySource source(bytes);
    return decodePrivilegedTree(source, bounds);
}

} // namespace quillmere
