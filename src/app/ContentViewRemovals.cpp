// The window's removals: the delete sheet for a selected item and System Data's reclaims,
// and the System Data report they refresh.
#include "app/ContentView.hpp"
#include "app/SystemDataRefresher.hpp"
#include "app/state/NavigationHistory.hpp"
#include "app/state/ScanState.hpp"
#include "app/state/SelectionState.hpp"
#include "reclaim/view/DeleteConfirmationSheet.hpp"

#include <QDialog>

namespace quillmere {

void ContentView::presentDeleteConfirmation() {
    // Never an empty sheet: without a selected item there is nothing to confirm.
    const std::optional<FileNode> node = selection_->selectedNode();
    if (!node || deleteSheet_) return;
    isDeleteConfirmationPresented_ = true;
    auto* sheet = new DeleteConfirmationSheet(
        ReclaimTarget::node(*node), currentRoot(),
        [this](std::optional<FileNode> newRoot, const Reclaimer::Outcome& outcome) {
            applyDeletion(newRoot, outcome);
        },
        host_.makeReclaimer, window());
    sheet->setAttribute(Qt::WA_DeleteOnClose);
    connect(sheet, &QDialog::finished, this, [this] {
        isDeleteConfirmationPresented_ = false;
        deleteSheet_ = nullptr; // closing; a new request gets a sheet of its own
    });
    deleteSheet_ = sheet;
    sheet->open();
}

void ContentView::applyDeletion(const std::optional<FileNode>& newRoot, const Reclaimer::Outcome&) {
    selection_->setSelectedNode(std::nullopt);
    if (!newRoot) return;
    history_->remap(*newRoot);
    scanState_->replaceRoot(*newRoot);
}

std::optional<FileNode> ContentView::currentRoot() const {
    const auto& chain = history_->currentPath();
    if (chain.empty()) return std::nullopt;
    return chain.front();
}

QWidget* ContentView::deleteSheet() const {
    return deleteSheet_;
}

QWidget* ContentView::systemDataReclaimSheet() const {
    return systemDataSheet_;
}

bool ContentView::isReclaimRunning() const {
    return (deleteSheet_ && deleteSheet_->isWorking()) || (systemDataSheet_ && systemDataSheet_->isWorking());
}

// What a System Data reclaim moved leaves the scanned tree too, so the next report reads the
// category folders as they are now instead of from the tree of the last scan.
void ContentView::removeFromTree(const std::set<std::string>& canonicalPaths) {
    const std::optional<FileNode> root = currentRoot();
    if (canonicalPaths.empty() || !root) return;
    PathSet gone;
    for (const std::string& path : canonicalPaths)
        gone.insert(path);
    applyDeletion(root->removing(gone), {});
}

// After a finished scan or a System Data reclaim; the previous report stays until the new one
// arrives.
void ContentView::refreshSystemData() {
    if (scanState_->isScanning() || !scanState_->finishedScan()) return;
    systemDataRefresher_->start(*scanState_->finishedScan());
}

void ContentView::requestSystemDataReclaim(const std::vector<SystemDataCategory>& categories) {
    // A removal already under way runs to its end before another is asked for.
    if (systemDataSheet_ && (systemDataSheet_->isWorking() || systemDataSheet_->outcome())) return;
    if (systemDataSheet_) systemDataSheet_->reject();
    systemDataReclaimRequest_ = SystemDataReclaimRequest{QUuid::createUuid(), categories};
    presentSystemDataReclaim();
    emit systemDataReclaimRequested();
}

void ContentView::presentSystemDataReclaim() {
    const QUuid id = systemDataReclaimRequest_->id;
    auto* sheet = new DeleteConfirmationSheet(
        ReclaimTarget::systemData(systemDataReclaimRequest_->categories), std::nullopt,
        [this](std::optional<FileNode>, const Reclaimer::Outcome& outcome) {
            removeFromTree(outcome.systemDataRemovedPaths);
            finishSystemDataReclaim();
        },
        host_.makeReclaimer, window());
    sheet->setAttribute(Qt::WA_DeleteOnClose);
    connect(sheet, &QDialog::finished, this, [this, id] {
        systemDataSheet_ = nullptr;
        if (systemDataReclaimRequest_ && systemDataReclaimRequest_->id == id) dismissSystemDataReclaim();
    });
    systemDataSheet_ = sheet;
    sheet->open();
}

void ContentView::finishSystemDataReclaim() {
    systemDataReclaimRequest_.reset();
    ++systemDataReprobeToken_;
    refreshSystemData();
}

void ContentView::dismissSystemDataReclaim() {
    systemDataReclaimRequest_.reset();
}

} // namespace quillmere
