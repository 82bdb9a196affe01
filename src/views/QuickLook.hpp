#pragma once

#include "scan/FileNode.hpp"

#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace quillmere::views {

// The one item a preview shows: the item's path (kept as given, even when it no longer
// exists) and its title.
struct PreviewItem {
    std::string path;
    std::string title;
    bool operator==(const PreviewItem&) const = default;
};

class QuickLookCoordinator;

// The shared preview panel: told who feeds it, brought to the front, and asked to read its
// item again.
class PreviewPanel {
public:
    virtual ~PreviewPanel() = default;
    virtual void setDataSource(const QuickLookCoordinator* source) = 0;
    virtual void makeKeyAndOrderFront() = 0;
    virtual void reloadData() = 0;
};

// Holds the one item being previewed and hands it to the shared panel. The panel may be
// absent (none could be made): the item is then only stored.
class QuickLookCoordinator {
public:
    using PanelProvider = std::function<PreviewPanel*()>;

    explicit QuickLookCoordinator(PanelProvider sharedPanel) : sharedPanel_(std::move(sharedPanel)) {}

    int numberOfPreviewItems() const { return previewItem_ ? 1 : 0; }
    // The item, whatever the index: the panel never holds more than one.
    const std::optional<PreviewItem>& previewItem(int /*index*/ = 0) const { return previewItem_; }

    void preview(std::string path, std::string title);

private:
    PanelProvider sharedPanel_;
    std::optional<PreviewItem> previewItem_;
};

enum class QuickLookResult { nothing, cloudOnlyNotice, previewed };

// The inspector's preview action on the selection: nothing without one; a cloud-only item is
// explained instead of previewed (a preview would download it); anything else, a folder
// holding cloud-only files included, is previewed.
QuickLookResult quickLookSelection(const std::optional<FileNode>& selected,
                                   QuickLookCoordinator& coordinator);

} // namespace quillmere::views
