#pragma once

#include "applications/view/ReclaimPresenter.hpp"
#include "reclaim/view/DeleteConfirmationSheet.hpp"

namespace quillmere {

// Presents the Applications removals on the window's one confirmation sheet. The panels pass
// no scanned tree, and the rebuilt root the sheet hands back is of no use to them.
class SheetReclaimPresenter : public ReclaimPresenter {
public:
    explicit SheetReclaimPresenter(DeleteConfirmationSheet::MakeReclaimer makeReclaimer)
        : makeReclaimer_(std::move(makeReclaimer)) {}

    void present(QWidget* window, ReclaimTarget target, Finished onFinished) override {
        auto* sheet = new DeleteConfirmationSheet(
            std::move(target), std::nullopt,
            [onFinished = std::move(onFinished)](std::optional<FileNode>, const Reclaimer::Outcome& outcome) {
                onFinished(outcome);
            },
            makeReclaimer_, window);
        sheet->setAttribute(Qt::WA_DeleteOnClose);
        sheet->open();
    }

private:
    DeleteConfirmationSheet::MakeReclaimer makeReclaimer_;
};

} // namespace quillmere
