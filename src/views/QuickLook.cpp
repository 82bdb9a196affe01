#include "views/QuickLook.hpp"

namespace quillmere::views {

void QuickLookCoordinator::preview(std::string path, std::string title) {
    previewItem_ = PreviewItem{std::move(path), std::move(title)};
    PreviewPanel* panel = sharedPanel_ ? sharedPanel_() : nullptr;
    if (!panel) return;
    panel->setDataSource(this);
    panel->makeKeyAndOrderFront();
    panel->reloadData();
}

QuickLookResult quickLookSelection(const std::optional<FileNode>& selected,
                                   QuickLookCoordinator& coordinator) {
    if (!selected) return QuickLookResult::nothing;
    if (selected->isCloudOnly()) return QuickLookResult::cloudOnlyNotice;
    coordinator.preview(selected->path(), std::string(selected->name()));
    return QuickLookResult::previewed;
}

} // namespace quillmere::views
