#pragma once

#include "base/PathText.hpp"
#include "scan/FileNode.hpp"
#include "views/TextMeasure.hpp"

#include <string>
#include <vector>

namespace quillmere::views::test {

inline FileNode file(const std::string& path, int64_t size, bool shared = false, bool cloudOnly = false) {
    return FileNode(std::string(lastPathComponent(path)), path, false, false, size, shared, cloudOnly,
                    cloudOnly ? 1 : 0, false, 0, 1, shared ? size : 0, std::nullopt, {});
}

inline FileNode folder(const std::string& path, std::vector<FileNode> children) {
    const FileNode::Totals t = FileNode::folderTotals(children);
    return FileNode(std::string(lastPathComponent(path)), path, true, false, t.allocatedSize, false, false,
                    t.cloudOnlyCount, false, t.folderCount, t.fileCount, t.sharedBytesTotal, std::nullopt,
                    std::move(children));
}

inline FileNode aggregate(const std::string& path, int64_t size) {
    return FileNode(std::string(lastPathComponent(path)), path, false, false, size, false, false, 0, true, 0,
                    3, 0, std::nullopt, {});
}

// Every character 1 unit wide per point of font size / 10, lines 1.2 × the size high: exact
// sizes the fitting can be checked against.
inline TextMeasurer fakeMeasurer(double widthPerChar = 0.1) {
    return [widthPerChar](std::string_view text, double fontSize, FontWeight) {
        return TextSize{static_cast<double>(text.size()) * fontSize * widthPerChar, fontSize * 1.2};
    };
}

// A measurer whose every text has exactly this box.
inline TextMeasurer fixedMeasurer(double width, double height) {
    return [width, height](std::string_view, double, FontWeight) { return TextSize{width, height}; };
}

} // namespace quillmere::views::test
