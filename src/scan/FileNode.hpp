#pragma once

#include "base/PathText.hpp"

#include <atomic>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace quillmere {

// Seconds since 1 January 1970, UTC.
using Date = double;

namespace detail {
struct PathRep;
struct NodeRep;
} // namespace detail

// A folder's path, shared by the folder and everything below it: each folder keeps
// only its own name and a reference to its parent's path, so a scanned tree stores
// every name once and a 100,000-level chain costs memory linear in its depth.
class FolderPath {
public:
    FolderPath() = default;
    static FolderPath root(std::string_view fullPath);
    FolderPath child(std::string_view name) const;
    [[nodiscard]] std::string text() const;
    // The last segment: the folder's own name (the whole path for a root).
    [[nodiscard]] std::string_view name() const;
    [[nodiscard]] bool isNull() const { return rep_ == nullptr; }

    FolderPath(const FolderPath& other) noexcept;
    FolderPath(FolderPath&& other) noexcept : rep_(other.rep_) { other.rep_ = nullptr; }
    FolderPath& operator=(FolderPath other) noexcept {
        std::swap(rep_, other.rep_);
        return *this;
    }
    ~FolderPath();

private:
    friend class FileNode;
    explicit FolderPath(detail::PathRep* adopted) : rep_(adopted) {}
    detail::PathRep* rep_ = nullptr;
};

// The fields of a node besides its name, path and children, in their usual order.
struct NodeFields {
    bool isDirectory = false;
    bool isSymbolicLink = false;
    int64_t allocatedSize = 0;
    bool isSharedElsewhere = false;
    bool isCloudOnly = false;
    int64_t cloudOnlyCount = 0;
    bool isAggregate = false;
    int64_t folderCount = 0;
    int64_t fileCount = 0;
    int64_t sharedBytesTotal = 0;
    std::optional<Date> modificationDate;

    bool operator==(const NodeFields&) const = default;
};

// One file, folder or aggregate of a scanned tree.
//
// A FileNode is a handle to an immutable node shared by every copy: copying a
// tree of millions of nodes costs one reference count, operations share the
// subtrees they leave untouched, and nobody can change a tree another holds.
// Building, copying, destroying and searching never recurse, so arbitrarily deep
// trees are safe.
//
// Memory (x86-64, measured by the FileNode memory test): the handle is 8 bytes;
// a file is one allocation of 32 bytes plus its name; a folder or aggregate is one
// allocation of 72 bytes plus 8 per child plus its name, and a folder adds one
// shared path segment of 16 bytes plus its name.
class FileNode {
public:
    // An empty, nameless file; useful only as a placeholder.
    FileNode();
    FileNode(std::string_view name, std::string_view path, bool isDirectory, bool isSymbolicLink,
             int64_t allocatedSize, bool isSharedElsewhere, bool isCloudOnly, int64_t cloudOnlyCount,
             bool isAggregate, int64_t folderCount, int64_t fileCount, int64_t sharedBytesTotal,
             std::optional<Date> modificationDate, std::vector<FileNode> children);

    // Builders that share path text. `under` places a node at parent/name; `at` gives
    // a node the path `ownPath` (its children may have been built under that path).
    static FileNode under(const FolderPath& parent, std::string_view name, const NodeFields& fields,
                          std::vector<FileNode> children = {});
    static FileNode at(const FolderPath& ownPath, std::string_view name, const NodeFields& fields,
                       std::vector<FileNode> children = {});
    // A folder whose totals follow from its children (see folderTotals).
    static FileNode folder(const FolderPath& ownPath, std::string_view name,
                           std::optional<Date> modificationDate, std::vector<FileNode> children);

    FileNode(const FileNode& other) noexcept;
    FileNode(FileNode&& other) noexcept : rep_(other.rep_) { other.rep_ = nullptr; }
    FileNode& operator=(FileNode other) noexcept {
        std::swap(rep_, other.rep_);
        return *this;
    }
    ~FileNode();

    std::string_view name() const;
    std::string path() const;
    bool isDirectory() const;
    bool isSymbolicLink() const;
    int64_t allocatedSize() const;
    bool isSharedElsewhere() const;
    bool isCloudOnly() const;
    int64_t cloudOnlyCount() const;
    bool isAggregate() const;
    int64_t folderCount() const;
    int64_t fileCount() const;
    int64_t sharedBytesTotal() const;
    std::optional<Date> modificationDate() const;
    std::span<const FileNode> children() const;

    NodeFields fields() const;
    // Whether this node's bytes are left out of its folder's allocatedSize.
    bool isExcludedFromTotals() const { return isSharedElsewhere() || isCloudOnly(); }
    // The shared path of a node built with `at`/`folder`, so children can be built under it.
    FolderPath ownFolderPath() const;

    // The node whose path equals `path`, depth first. Paths compare byte for byte first; only
    // when no node matches exactly do they compare by canonical equivalence.
    [[nodiscard]] std::optional<FileNode> find(std::string_view path) const;
    // The tree without the nodes whose canonical path is in `canonicalPaths`; nothing when
    // this node itself goes. Reads the file system (canonicalPath).
    [[nodiscard]] std::optional<FileNode> removing(const PathSet& canonicalPaths) const;
    // The tree in which the folder at `folderPath` holds `node` as its last child, replacing
    // a child with the same path; nothing when no such folder is found. Like find, an exact
    // match wins over a canonical one.
    [[nodiscard]] std::optional<FileNode> replacingSubtree(std::string_view folderPath,
                                                           const FileNode& node) const;
    // The same folder with these children and its totals recomputed.
    FileNode rebuilt(std::vector<FileNode> children) const;
    // This folder's fields with its totals summed from `children` (and no longer an aggregate).
    NodeFields fieldsWithTotalsOf(std::span<const FileNode> children) const;
    // The folders strictly between this root and the node at `path`.
    [[nodiscard]] std::optional<std::vector<FileNode>> ancestors(std::string_view path) const;

    // Symbolic links resolved in the longest existing ancestor, missing components re-appended.
    static std::string canonicalPath(std::string_view path);

    // Sums of a folder's children by the folder-totals rule: allocatedSize leaves out shared
    // and cloud-only children; folderCount includes the folder itself. Sums saturate at the
    // 64-bit limits.
    struct Totals {
        int64_t allocatedSize = 0;
        int64_t cloudOnlyCount = 0;
        int64_t folderCount = 1;
        int64_t fileCount = 0;
        int64_t sharedBytesTotal = 0;
        bool operator==(const Totals&) const = default;
        // Adds one child by the folder-totals rule.
        Totals& add(const FileNode& child);
    };
    static Totals folderTotals(std::span<const FileNode> children);

    // The last component of this node's path when the path is known, without building
    // any text, to be `parent`'s path joined with it; nothing otherwise.
    std::optional<std::string_view> componentBelow(const FileNode& parent) const;

    // Copy on write, for code finishing a tree it has just built (the scan settling which hard
    // link owns its bytes): change a node in place instead of copying its folder and every
    // folder above. A node another handle shares is copied first (its children stay shared),
    // so no other holder ever sees a change.
    // This node with `fields`; its name, path and children kept.
    void setFields(const NodeFields& fields);
    // The handle of child `index`, to change through; this node is made sole first.
    FileNode& mutableChild(size_t index);

    // For tests and diagnostics: whether two handles share one node.
    bool sharesNodeWith(const FileNode& other) const { return rep_ == other.rep_; }

private:
    explicit FileNode(detail::NodeRep* adopted) : rep_(adopted) {}
    // Copies the node when another handle shares it.
    void makeSole();
    static FileNode make(detail::PathRep* pathRep, bool pathIsJoined, std::string_view name,
                         const NodeFields& fields, std::vector<FileNode> children);
    detail::NodeRep* rep_ = nullptr;
};

} // namespace quillmere
