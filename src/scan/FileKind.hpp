#pragma once

#include "scan/FileNode.hpp"

#include <array>
#include <cstddef>
#include <optional>
#include <string_view>

namespace quillmere {

// What sort of thing an item of a scanned tree is, in the words the insight screens use.
// The first kinds are about content; the last three describe what the scan could not name:
// files of no known kind, folders whose contents were never recorded, and aggregates.
enum class FileKind {
    videos,
    images,
    audio,
    diskImages,
    archives,
    installers,
    virtualMachines,
    applications,
    mediaLibraries,
    buildFolders,
    documents,
    other,
    unexplored,
    smallFiles,
};

inline constexpr std::size_t kFileKindCount = 14;

// Every kind in declaration order; the order in which ties between kinds are listed.
inline constexpr std::array<FileKind, kFileKindCount> allFileKinds() {
    return {FileKind::videos,          FileKind::images,       FileKind::audio,
            FileKind::diskImages,      FileKind::archives,     FileKind::installers,
            FileKind::virtualMachines, FileKind::applications, FileKind::mediaLibraries,
            FileKind::buildFolders,    FileKind::documents,    FileKind::other,
            FileKind::unexplored,      FileKind::smallFiles};
}

// The stored name of a kind (the case name, such as "diskImages") and back.
std::string_view rawValue(FileKind kind);
std::optional<FileKind> fileKindFromRawValue(std::string_view text);

std::string_view title(FileKind kind);
// One sentence on what the items are and whether they can go.
std::string_view explanation(FileKind kind);

// The node's kind by its name and extension, or nothing for a plain folder whose
// contents are to be classified one by one instead.
std::optional<FileKind> classify(const FileNode& node);

} // namespace quillmere
