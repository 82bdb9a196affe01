#pragma once

// Builders shared by the access tests: denied paths and walked records.

#include "access/PrivilegedNode.hpp"
#include "scan/ScanRecords.hpp"

#include <string>
#include <vector>

namespace quillmere::testing {

// A denied path whose parent is the folder above it.
inline DeniedPath denied(const std::string& url, int64_t bytes = 512) {
    const std::size_t slash = url.rfind('/');
    std::string parent = slash == std::string::npos ? "" : slash == 0 ? "/" : url.substr(0, slash);
    return DeniedPath{.url = url, .parent = std::move(parent), .estimatedBytes = bytes};
}

inline std::vector<std::string> urls(const std::vector<DeniedPath>& paths) {
    std::vector<std::string> out;
    for (const DeniedPath& path : paths)
        out.push_back(path.url);
    return out;
}

inline std::string lastComponent(const std::string& path) {
    return path.substr(path.rfind('/') + 1);
}

inline PrivilegedNode fileRecord(std::string path, int64_t bytes) {
    return PrivilegedNode{
        .name = lastComponent(path), .path = std::move(path), .allocatedSize = bytes, .fileCount = 1};
}

// A folder record whose counts follow from its children; its size is `bytes`.
inline PrivilegedNode folderRecord(std::string path, int64_t bytes,
                                   std::vector<PrivilegedNode> children = {}) {
    PrivilegedNode node{.name = lastComponent(path),
                        .path = std::move(path),
                        .isDirectory = true,
                        .allocatedSize = bytes,
                        .folderCount = 1};
    for (const PrivilegedNode& child : children) {
        node.folderCount += child.folderCount;
        node.fileCount += child.fileCount;
    }
    node.children = std::move(children);
    return node;
}

} // namespace quillmere::testing
