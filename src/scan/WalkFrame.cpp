#include "scan/WalkFrame.hpp"

#include "base/Saturating.hpp"
#include "scan/BufferRelease.hpp"
#include "scan/SmallItemFolding.hpp"

#include <stdexcept>
#include <string>
#include <vector>

namespace quillmere {
namespace {

// The walker's or a node's share in `folder` is given up: the folder when that was the last
// share, to be finished; nothing otherwise.
std::shared_ptr<PendingFolder> dropShare(std::shared_ptr<PendingFolder> folder) noexcept {
    if (folder->outstanding.fetch_sub(1, std::memory_order_acq_rel) != 1) return nullptr;
    return folder;
}

// Hands what was built to `sink`: the folder above when this was the last delivery it awaited.
std::shared_ptr<PendingFolder> handTo(NodeSink sink, ChildWalk built) noexcept {
    if (!sink.folder) {
        // Only folders are walked for the scan itself; a part always has a folder to join.
        if (sink.top) sink.top(std::move(built.result), built.holdsDenied);
        return nullptr;
    }
    *sink.slot = std::move(built);
    return dropShare(std::move(sink.folder));
}

// The last share of `folder` is gone: build its node (or, for a part, gather it) and hand it
// on. Returns the folder above when this delivery was the last it awaited, to be finished in
// turn.
std::shared_ptr<PendingFolder> finish(std::shared_ptr<PendingFolder> folder) noexcept {
    ChildWalk built{.holdsDenied = true};
    try {
        Frame& frame = folder->frame;
        takeDeliveredNodes(frame, *folder);
        const bool held = frame.holdsDenied;
        if (folder->isPart)
            built.part = std::make_unique<Frame>(std::move(frame));
        else
            built.result = assembleFolder(frame, folder->name);
        built.holdsDenied = held;
    } catch (...) {
        // Not even the folder could be built: what it held is lost and reported as denied above.
    }
    NodeSink next = std::move(folder->sink);
    folder.reset(); // nobody else holds it now: its frame and slots go before the folder above is built
    return handTo(std::move(next), std::move(built));
}

// Finishes folders up the chain, without recursion.
void finishChain(std::shared_ptr<PendingFolder> folder) noexcept {
    while (folder)
        folder = finish(std::move(folder));
}

} // namespace

void takeDeliveredNodes(Frame& frame, PendingFolder& folder) {
    for (auto& slot : folder.slots) {
        if (slot->result)
            frame.addNode(std::move(*slot->result), slot->holdsDenied);
        else if (slot->part)
            frame.addPart(std::move(slot->part));
        else if (slot->holdsDenied)
            frame.holdsDenied = true; // what was lost there is no longer in the folder's totals
    }
    folder.slots.clear();
}

void Frame::addNode(FileNode node, bool nodeHoldsDenied) {
    const ChildRecord record =
        ChildRecord::of(node.allocatedSize(), 0, nodes.size(),
                        static_cast<uint8_t>(kNode | (node.isExcludedFromTotals() ? kShared : 0) |
                                             (nodeHoldsDenied ? kHoldsDenied : 0)));
    // Node first: a record must never name a node that is not there.
    nodes.push_back(std::move(node));
    try {
        records.push_back(record);
    } catch (...) {
        nodes.pop_back();
        throw;
    }
    holdsDenied = holdsDenied || nodeHoldsDenied;
}

void Frame::addPart(std::unique_ptr<Frame> part) {
    // Parts are kept side by side, never nested, and never copied into this frame's records:
    // a folder of many thousand entries would otherwise hold them twice as it is built.
    holdsDenied = holdsDenied || part->holdsDenied;
    parts.reserve(parts.size() + part->parts.size() + 1);
    for (std::unique_ptr<Frame>& inner : part->parts)
        parts.push_back(std::move(inner));
    part->parts.clear();
    parts.push_back(std::move(part));
}

NodeSink Frame::awaitOneMore() {
    if (!waiting) waiting = std::make_shared<PendingFolder>();
    ChildWalk* slot = waiting->slots.emplace_back(std::make_unique<ChildWalk>()).get();
    waiting->outstanding.fetch_add(1, std::memory_order_relaxed);
    return NodeSink{waiting, slot, {}};
}

namespace {

// The records of a frame and its parts as one sequence, read in order (any number of times
// from the start, until records are taken), each with the frame that holds its name or node.
class RecordSequence {
public:
    explicit RecordSequence(Frame& frame) : frame_(frame), size_(frame.records.size()) {
        for (const std::unique_ptr<Frame>& part : frame.parts)
            size_ += part->records.size();
    }
    size_t size() const { return size_; }
    // Record i and its frame; cheapest when i follows the last one asked for.
    std::pair<Frame&, const ChildRecord&> operator[](size_t i) {
        if (i < base_) {
            piece_ = 0;
            base_ = 0;
        }
        while (i - base_ >= piece(piece_).records.size()) {
            base_ += piece(piece_).records.size();
            ++piece_;
        }
        Frame& holder = piece(piece_);
        return {holder, holder.records[i - base_]};
    }

    // Record i, and every one before it, has been taken into the folder's node: a piece whose
    // last record that was gives its records, names and nodes back at once. A folder of
    // hundreds of thousands of entries would otherwise hold them whole beside the nodes made
    // from them. The sequence can then only be read on from i + 1.
    void taken(size_t i) {
        Frame& holder = piece(piece_);
        if (i + 1 != base_ + holder.records.size()) return;
        base_ += holder.records.size();
        ++piece_;
        giveBack(holder.records);
        giveBack(holder.nodes);
        giveBack(holder.listing);
    }

private:
    // The frame itself, then its parts: most folders have none, and build no list of pieces.
    Frame& piece(size_t index) { return index == 0 ? frame_ : *frame_.parts[index - 1]; }

    Frame& frame_;
    size_t size_;
    size_t piece_ = 0;
    size_t base_ = 0;
};

} // namespace

FileNode assembleFolder(Frame& frame, std::string_view name) {
    if (frame.beingAssembled) throw std::logic_error("a folder's records were taken by an earlier assembly");
    frame.beingAssembled = true;
    RecordSequence records(frame);
    std::vector<FileNode> children;
    children.reserve(records.size());
    const auto keep = [&](size_t i) {
        auto [holder, record] = records[i];
        if (record.flags & kNode) {
            children.push_back(std::move(holder.nodes[record.offset()]));
            records.taken(i);
            return;
        }
        const bool shared = record.flags & kShared;
        const bool cloudOnly = record.flags & kCloudOnly;
        children.push_back(FileNode::under(
            frame.folderPath, holder.listing.data() + record.offset(),
            NodeFields{.isSymbolicLink = bool(record.flags & kSymbolicLink),
                       .allocatedSize = record.size,
                       .isSharedElsewhere = shared,
                       .isCloudOnly = cloudOnly,
                       .cloudOnlyCount = cloudOnly ? 1 : 0,
                       .fileCount = 1,
                       .sharedBytesTotal = shared ? record.size : 0,
                       .modificationDate =
                           (record.flags & kHasDate) ? std::optional<Date>(record.date) : std::nullopt}));
        records.taken(i);
    };
    const auto fold = [&](size_t i, FileNode::Totals& sums) {
        auto [holder, record] = records[i];
        if (record.flags & kNode) {
            sums.add(holder.nodes[record.offset()]);
        } else {
            // Folded leaves are neither shared nor cloud-only.
            sums.allocatedSize = saturatingAdd(sums.allocatedSize, record.size);
            sums.fileCount = saturatingAdd(sums.fileCount, 1);
        }
        records.taken(i);
    };
    std::optional<FileNode> aggregate = foldChildren(
        records.size(), frame.folderPath, [&](size_t i) { return records[i].second.size; },
        [&](size_t i) { return records[i].second.isCounted(); },
        [&](size_t i) { return bool(records[i].second.flags & kHoldsDenied); }, keep, fold);
    if (aggregate) children.push_back(std::move(*aggregate));
    FileNode node = FileNode::folder(frame.folderPath, name, frame.date, std::move(children));
    frame.records.clear();
    frame.nodes.clear();
    frame.listing.clear();
    frame.parts.clear();
    return node;
}

void deliverNode(NodeSink sink, std::optional<FileNode> node, bool holdsDenied) noexcept {
    finishChain(handTo(std::move(sink), ChildWalk{.result = std::move(node), .holdsDenied = holdsDenied}));
}

void deliverPart(NodeSink sink, Frame&& part) noexcept {
    ChildWalk built{.holdsDenied = true};
    try {
        built.holdsDenied = part.holdsDenied;
        built.part = std::make_unique<Frame>(std::move(part));
    } catch (...) {
        // The part's entries are lost; its folder is marked as holding denied paths.
        built.holdsDenied = true;
    }
    finishChain(handTo(std::move(sink), std::move(built)));
}

void releaseWalkerShare(std::shared_ptr<PendingFolder> folder) noexcept {
    finishChain(dropShare(std::move(folder)));
}

} // namespace quillmere
