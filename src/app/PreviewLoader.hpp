#pragma once

#include "scan/FileNode.hpp"

#include <QImage>
#include <QString>
#include <cstdint>
#include <optional>
#include <string>

namespace quillmere {

// What the preview window shows for one item.
struct PreviewContent {
    enum class Kind { image, text, details, missing };
    Kind kind = Kind::details;
    QImage image;
    // The start of a text file.
    QString text;
    // For the details: what the item is, its size (files only) and when it last changed.
    bool isDirectory = false;
    QString kindDescription;
    std::optional<int64_t> size;
    std::optional<Date> modified;
    // Why there is nothing to show.
    QString sentence;
};

struct PreviewLimits {
    // Images are scaled to fit this side and refused beyond this many pixels.
    int maxImageSide = 1600;
    int64_t maxImagePixels = 100'000'000;
    // The start of a text file, in bytes.
    int64_t maxTextBytes = 64 * 1024;
};

// What the item at `path` is, in the desktop's words spelt as the inspector spells its kinds
// ("PNG image", "Folder", "File" for a type nobody names), from its name and, for a regular
// file only, its first bytes; a link, FIFO or device is named from its metadata and never
// opened. Empty when the item cannot be examined.
QString itemTypeDescription(const std::string& path);

// Reads what a preview of `path` shows. Only regular files are opened, never following a
// final symbolic link and never waiting on a FIFO or a device; anything else is described
// from its metadata. Nothing is ever run or opened with an application. Safe on any thread.
PreviewContent loadPreview(const std::string& path, const PreviewLimits& limits = {});

} // namespace quillmere
