#include "access/PrivilegedNode.hpp"
#include "access/PrivilegedNodeText.hpp"
#include "access/PrivilegedReplyReader.hpp"

namespace quillmere {
namespace {

void setFields(PrivilegedNode& node, RecordFields&& fields) {
    node.name = std::move(fields.name);
    node.path = std::move(fields.path);
    node.isDirectory = fields.isDirectory;
    node.allocatedSize = fields.allocatedSize;
    node.folderCount = fields.folderCount;
    node.fileCount = fields.fileCount;
    node.modificationDate = fields.modificationDate;
    node.isAggregate = fields.isAggregate;
}

} // namespace

std::optional<PrivilegedNodeFault> RecordBuilder::beginChildren(const RecordFields&) {
    open_.emplace_back();
    return std::nullopt;
}

std::optional<PrivilegedNodeFault> RecordBuilder::endRecord(RecordFields&& record, bool hadChildren) {
    PrivilegedNode node;
    if (hadChildren) {
        node = std::move(open_.back());
        open_.pop_back();
    }
    setFields(node, std::move(record));
    if (open_.empty()) {
        result_ = std::move(node);
    } else {
        open_.back().children.push_back(std::move(node));
    }
    return std::nullopt;
}

std::string encodePrivilegedNode(const PrivilegedNode& node) {
    std::string out;
    const auto head = [&](const PrivilegedNode& record) {
        appendRecordHead(out, RecordHead{record.name, record.path, record.isDirectory, record.allocatedSize,
                                         record.folderCount, record.fileCount, record.modificationDate,
                                         record.isAggregate});
    };
    struct Visit {
        const PrivilegedNode* node;
        std::size_t next = 0;
    };
    std::vector<Visit> stack{{&node}};
    head(node);
    while (!stack.empty()) {
        Visit& visit = stack.back();
        if (visit.next == visit.node->children.size()) {
            out += kRecordEnd;
            stack.pop_back();
            continue;
        }
        const PrivilegedNode& child = visit.node->children[visit.next];
        if (visit.next++ > 0) out += ',';
        head(child);
        stack.push_back({&child});
    }
    return out;
}

std::expected<PrivilegedNode, PrivilegedNodeFault> decodePrivilegedNode(std::string_view bytes,
                                                                        std::string_view askedPath) {
    WholeReplySource source(bytes);
    RecordBuilder builder;
    if (const auto fault = readPrivilegedRecord(source, builder)) return std::unexpected(*fault);
    if (!builder.result()) return std::unexpected(PrivilegedNodeFault::malformedJSON);
    if (const auto fault = privilegedTreeFault(*builder.result(), askedPath)) return std::unexpected(*fault);
    return std::move(*builder.result());
}

} // namespace quillmere
