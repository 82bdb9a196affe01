#pragma once

#include "scan/FileNode.hpp"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace quillmere::views {

enum class FileListBadge { none, lock, cloud };
enum class FileListClick { nothing, drill, select };

// What one row of the list shows, computed when the row first comes into view.
struct FileListRow {
    FileNode node;
    std::string sizeText;
    std::string detailText;
    FileListBadge badge = FileListBadge::none;
    // The size bar's fill, relative to the first (largest) row.
    double barFraction = 0;
    bool isOpenable = false;
    std::string tooltip;
};

// "Too small to show individually", "File", "Empty folder" or "3 folders · 1 file".
std::string fileListDetailText(const FileNode& node);
// The lock wins over the cloud: a protected item is explained first.
FileListBadge fileListBadge(const FileNode& node, bool isProtected);
double fileListBarFraction(int64_t size, int64_t maxSize);
// Folders open, files select, aggregates do nothing.
FileListClick fileListClick(const FileNode& node);

// The rows of one folder: the children of 1 byte or more, largest first, equal sizes in
// stored order. The order is taken once per folder; each row's texts and protected test are
// computed on first use and kept, so scrolling a huge folder touches only the rows it shows.
class FileListRows {
public:
    using ProtectedTest = std::function<bool(const FileNode&)>;

    FileListRows() = default;
    FileListRows(const FileNode& root, ProtectedTest isProtected);

    size_t size() const { return order_.size(); }
    bool empty() const { return order_.empty(); }
    int64_t maxSize() const { return maxSize_; }
    const FileNode& node(size_t index) const { return *order_[index]; }
    const FileListRow& row(size_t index);
    // Drops the rows made so far, for the next use to make them anew.
    void forgetRows();
    // Whether these rows were made from this very tree.
    bool isFor(const FileNode& root) const { return root_ && root_->sharesNodeWith(root); }

private:
    std::optional<FileNode> root_;
    ProtectedTest isProtected_;
    std::vector<const FileNode*> order_;
    // Made on first use: a folder of 100,000 children costs a pointer a row until then.
    std::vector<std::unique_ptr<FileListRow>> rows_;
    int64_t maxSize_ = 0;
};

} // namespace quillmere::views
