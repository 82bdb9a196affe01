#pragma once

#include "scan/FileNode.hpp"

#include <string>
#include <vector>

namespace quillmere::testing {

// Small builders for hand-made trees: paths are given whole, totals follow the folder rule.
inline FileNode file(const std::string& path, int64_t size, bool shared = false, bool cloudOnly = false,
                     std::optional<Date> date = std::nullopt) {
    return FileNode(std::string(lastPathComponent(path)), path, false, false, size, shared, cloudOnly,
                    cloudOnly ? 1 : 0, false, 0, 1, shared ? size : 0, date, {});
}

inline FileNode folder(const std::string& path, std::vector<FileNode> children) {
    const FileNode::Totals t = FileNode::folderTotals(children);
    return FileNode(std::string(lastPathComponent(path)), path, true, false, t.allocatedSize, false, false,
                    t.cloudOnlyCount, false, t.folderCount, t.fileCount, t.sharedBytesTotal, std::nullopt,
                    std::move(children));
}

} // namespace quillmere::testing
