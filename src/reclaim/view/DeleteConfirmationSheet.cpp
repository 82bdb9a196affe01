#include "reclaim/view/DeleteConfirmationSheet.hpp"

#include "reclaim/SheetFlow.hpp"
#include "reclaim/view/DeleteSteps.hpp"
#include "reclaim/view/SheetControls.hpp"

#include <QKeyEvent>
#include <QVBoxLayout>

namespace quillmere {

DeleteConfirmationSheet::DeleteConfirmationSheet(ReclaimTarget target, std::optional<FileNode> currentRoot,
                                                 OnFinished onFinished, MakeReclaimer makeReclaimer,
                                                 QWidget* parent)
    : QDialog(parent), target_(std::move(target)), currentRoot_(std::move(currentRoot)),
      onFinished_(std::move(onFinished)), makeReclaimer_(std::move(makeReclaimer)),
      content_(sheetContent(target_)) {
    setObjectName("DeleteConfirmationSheet");
    setWindowModality(Qt::WindowModal);
    setWindowTitle(QString::fromStdString(content_.title));
    if (parent) {
        setPalette(parent->palette());
        parent->installEventFilter(this);
    }
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    confirmView_ = new DeleteConfirmView(content_, this);
    connect(confirmView_, &DeleteConfirmView::cancelRequested, this, &DeleteConfirmationSheet::reject);
    connect(confirmView_, &DeleteConfirmView::confirmRequested, this, &DeleteConfirmationSheet::confirm);
    showStep(confirmView_);
    confirmView_->confirmButton()->setFocus(Qt::OtherFocusReason);
}

DeleteConfirmationSheet::~DeleteConfirmationSheet() {
    // The worker posts to this object; it must be done before the object goes.
    if (worker_.joinable()) worker_.join();
}

void DeleteConfirmationSheet::showStep(QWidget* step) {
    if (step_) {
        layout()->removeWidget(step_);
        step_->hide();
        step_->deleteLater();
    }
    step_ = step;
    layout()->addWidget(step);
    setFixedSize(kWidth, step->heightForWidth(kWidth));
}

void DeleteConfirmationSheet::confirm() {
    if (isWorking_ || outcome_) return;
    isWorking_ = true;
    confirmView_->setWorking(true);
    ReclaimerInput input = reclaimerInput(target_);
    worker_ = std::jthread([this, input = std::move(input), reclaimer = makeReclaimer_()] {
        Reclaimer::Outcome outcome = runReclaim(reclaimer, input);
        // Back on the main thread; the destructor waits for this thread, so the sheet is alive.
        QMetaObject::invokeMethod(
            this, [this, outcome = std::move(outcome)]() mutable { showResult(std::move(outcome)); },
            Qt::QueuedConnection);
    });
}

void DeleteConfirmationSheet::showResult(Reclaimer::Outcome outcome) {
    isWorking_ = false;
    outcome_ = std::move(outcome);
    resultView_ = new DeleteResultView(*outcome_, content_, this);
    connect(resultView_, &DeleteResultView::doneRequested, this, &DeleteConfirmationSheet::finishWithResult);
    confirmView_ = nullptr;
    showStep(resultView_);
    resultView_->doneButton()->setFocus(Qt::OtherFocusReason);
    emit workFinished();
}

void DeleteConfirmationSheet::finishWithResult() {
    if (!outcome_ || finished_) return;
    finished_ = true;
    std::optional<FileNode> newRoot = rootAfterRemoval(target_, currentRoot_, *outcome_);
    if (onFinished_) onFinished_(std::move(newRoot), *outcome_);
    QDialog::accept();
}

void DeleteConfirmationSheet::reject() {
    if (isWorking_) return;
    if (outcome_) {
        finishWithResult();
        return;
    }
    QDialog::reject();
}

bool DeleteConfirmationSheet::eventFilter(QObject* watched, QEvent* event) {
    if (watched == parentWidget() && event->type() == QEvent::PaletteChange)
        setPalette(parentWidget()->palette());
    return QDialog::eventFilter(watched, event);
}

void DeleteConfirmationSheet::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (outcome_)
            finishWithResult();
        else
            confirm();
        event->accept();
        return;
    case Qt::Key_Escape:
        reject();
        event->accept();
        return;
    default:
        QDialog::keyPressEvent(event);
    }
}

} // namespace quillmere
