#pragma once

#include "scan/FileNode.hpp"

#include <string>
#include <vector>

namespace quillmere::bench {

// A scanned tree of about 1,000,000 nodes shaped like a busy disk: 90 folders of 10,000 files
// each, one folder of 100,000 files ("huge"), sizes spread over five orders of magnitude, so
// the views have a wide range of tile and row sizes to lay out.
inline FileNode makeViewBenchTree() {
    const FolderPath root = FolderPath::root("/bench");
    std::vector<FileNode> top;
    const auto folderOf = [&](const std::string& name, int files, int seed) {
        const FolderPath path = root.child(name);
        std::vector<FileNode> children;
        children.reserve(static_cast<size_t>(files));
        uint64_t state = static_cast<uint64_t>(seed) * 2654435761u + 1;
        for (int i = 0; i < files; ++i) {
            state = state * 6364136223846793005ull + 1442695040888963407ull;
            const int64_t size =
                4096 * static_cast<int64_t>(1 + (state >> 33) % 100000 / (1 + (state >> 20) % 97));
            children.push_back(FileNode::under(
                path, "file-" + std::to_string(i) + ".dat",
                NodeFields{.allocatedSize = size, .fileCount = 1, .modificationDate = 1.6e9}));
        }
        return FileNode::folder(path, name, 1.6e9, std::move(children));
    };
    for (int f = 0; f < 90; ++f)
        top.push_back(folderOf("folder-" + std::to_string(f), 10'000, f));
    top.push_back(folderOf("huge", 100'000, 999));
    return FileNode::folder(root, "bench", 1.6e9, std::move(top));
}

} // namespace quillmere::bench
