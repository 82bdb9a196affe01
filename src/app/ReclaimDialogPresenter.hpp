#pragma once

#include "applications/view/ReclaimPresenter.hpp"

namespace quillmere {

// Confirms an Applications reclaim in a window-modal dialog that lists exactly what will move,
// runs the Reclaimer off the main thread and shows what happened; "Done" hands the outcome
// back. Stands in for the shared confirmation sheet where the window has none.
class ReclaimDialogPresenter : public ReclaimPresenter {
public:
    explicit ReclaimDialogPresenter(ReclaimerServices services = ReclaimerServices::current());
    void present(QWidget* window, ApplicationReclaimTarget target, Finished onFinished) override;

    // What the reclaim of `target` moves, in order: the bundle first for an uninstall; items
    // another application uses never; a path named twice once.
    struct Plan {
        std::optional<FileNode> bundle;
        std::vector<FileNode> items;
        // Listed but kept: another application uses them.
        std::vector<std::string> keptNames;
    };
    static Plan plan(const ApplicationReclaimTarget& target);
    static Reclaimer::Outcome run(const ReclaimerServices& services, const Plan& plan);

private:
    ReclaimerServices services_;
};

} // namespace quillmere
