#pragma once

#include "scan/FileNode.hpp"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace quillmere::views {

// The inspector's texts and choices, apart from drawing. Every text a user reads on the
// column is made here.
namespace inspector {

inline constexpr size_t kContentsRowLimit = 12;

// "0 folders · 1 file" for a folder; "12.5% of disk" (of the scanned root's bytes) or "on
// disk" when the root holds nothing, for anything else.
std::string subtitle(const FileNode& node, int64_t totalUsedBytes);

enum class CalloutKind { cloud, clone, protectedItem };

struct Callout {
    CalloutKind kind;
    // Set in bold before `text` (the protected note's first sentence).
    std::string boldLead;
    std::string text;
    bool operator==(const Callout&) const = default;
};

// The notes, in their order: protected, cloud-only files, cloned bytes.
std::vector<Callout> callouts(const FileNode& node, bool isProtected);

// "About this" for a protected item, "Details" otherwise (shown in capitals).
std::string factsTitle(bool isProtected);

struct Fact {
    std::string label;
    std::string value;
    bool operator==(const Fact&) const = default;
};

// What the protected rows ask of the system; each may find nothing.
struct Lookups {
    std::function<std::optional<std::string>(const std::string& path)> typeDescription;
    std::function<std::optional<std::string>(const std::string& path)> ownerName;
    // A date in the user's style; tests give a fixed one.
    std::function<std::string(Date)> formatDate;
};

// Kind and Modified for an ordinary item; Kind and Owner for a protected one.
std::vector<Fact> facts(const FileNode& node, bool isProtected, const Lookups& lookups);

struct ContentsRow {
    FileNode node;
    std::string symbol;
    std::string sizeText;
    double barFraction = 0;
    bool isOpenable = false;
    std::string helpText;
};

struct Contents {
    std::vector<ContentsRow> rows;
    // "2 smaller items not shown" when more than the shown rows hold bytes.
    std::optional<std::string> footer;
};

// The "Inside" list: none unless the node is a folder with a child of 1 byte or more;
// otherwise its largest 12 such children (equal sizes in stored order). The full order is
// never built, so a folder of a million children costs one pass.
std::optional<Contents> contents(const FileNode& node);

// The Delete button's title, or none when the button is not offered (nothing selected, or a
// protected item).
std::optional<std::string> deleteTitle(const std::optional<FileNode>& node, bool isProtected);

// The folders to append to the chain on screen to reach `target` from `folderShown`: the
// child whose path is the target's or a folder above it, step by step. None when the target
// is not below the folder shown (or is that folder).
std::optional<std::vector<FileNode>> drillExtension(const FileNode& folderShown, const FileNode& target);

} // namespace inspector
} // namespace quillmere::views
