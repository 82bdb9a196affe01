#include "views/FileListModel.hpp"

#include "base/Format.hpp"
#include "views/ItemCounts.hpp"

#include <algorithm>

namespace quillmere::views {

std::string fileListDetailText(const FileNode& node) {
    if (node.isAggregate()) return "Too small to show individually";
    if (!node.isDirectory()) return "File";
    if (node.folderCount() <= 1 && node.fileCount() == 0) return "Empty folder";
    return folderAndFileCounts(node);
}

FileListBadge fileListBadge(const FileNode& node, bool isProtected) {
    if (isProtected) return FileListBadge::lock;
    if (node.isCloudOnly()) return FileListBadge::cloud;
    return FileListBadge::none;
}

double fileListBarFraction(int64_t size, int64_t maxSize) {
    if (maxSize < 1) return 0;
    return std::clamp(static_cast<double>(size) / static_cast<double>(maxSize), 0.0, 1.0);
}

FileListClick fileListClick(const FileNode& node) {
    if (node.isAggregate()) return FileListClick::nothing;
    return node.isDirectory() ? FileListClick::drill : FileListClick::select;
}

FileListRows::FileListRows(const FileNode& root, ProtectedTest isProtected)
    : root_(root), isProtected_(std::move(isProtected)) {
    // Sorted by size and stored place side by side, so the sort never reaches into the nodes.
    struct Key {
        int64_t size;
        uint32_t place;
    };
    const auto children = root_->children();
    std::vector<Key> keys;
    for (size_t i = 0; i < children.size() && i < UINT32_MAX; ++i)
        if (children[i].allocatedSize() >= 1)
            keys.push_back(Key{children[i].allocatedSize(), static_cast<uint32_t>(i)});
    std::sort(keys.begin(), keys.end(), [](const Key& a, const Key& b) {
        return a.size != b.size ? a.size > b.size : a.place < b.place;
    });
    order_.reserve(keys.size());
    for (const Key& key : keys)
        order_.push_back(&children[key.place]);
    rows_.resize(order_.size());
    maxSize_ = order_.empty() ? 0 : order_.front()->allocatedSize();
}

const FileListRow& FileListRows::row(size_t index) {
    auto& slot = rows_[index];
    if (!slot) {
        const FileNode& node = *order_[index];
        FileListRow row{node};
        row.sizeText = formatByteCount(std::max<int64_t>(node.allocatedSize(), 0));
        row.detailText = fileListDetailText(node);
        row.badge = fileListBadge(node, isProtected_ && isProtected_(node));
        row.barFraction = fileListBarFraction(node.allocatedSize(), maxSize_);
        row.isOpenable = node.isDirectory() && !node.isAggregate();
        row.tooltip = row.isOpenable ? "Open " + std::string(node.name()) : std::string(node.name());
        slot = std::make_unique<FileListRow>(std::move(row));
    }
    return *slot;
}

void FileListRows::forgetRows() {
    for (auto& slot : rows_)
        slot.reset();
}

} // namespace quillmere::views
